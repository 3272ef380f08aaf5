// File access on POSIX systems. Every system call goes through os_calls.h.
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "text/file.h"
#include "text/interrupt.h"
#include "text/os_calls.h"

#ifndef O_CLOEXEC
#define O_CLOEXEC 0
#endif

static int Descriptor(const File& file) {
  return static_cast<int>(file.handle());
}

// Notes errno in |file| and returns false, for the failures of its calls.
static bool Failed(File* file) {
  file->NoteError(errno);
  return false;
}

// Opens |path|; on failure returns false with errno as the system left it.
static bool OpenWith(const std::string& path, int flags, mode_t mode,
                     File* file) {
  int fd;
  do {
    fd = OsOpen(path.c_str(), flags | O_CLOEXEC | O_NOCTTY, mode);
  } while (fd < 0 && errno == EINTR && !Interrupted());
  if (fd < 0) return false;
  *file = File();
  file->Adopt(fd);
  return true;
}

static std::int64_t Nanoseconds(const struct timespec& t) {
  return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

static void FillInfo(const struct stat& status, FileInfo* info) {
  info->device = static_cast<std::uint64_t>(status.st_dev);
  info->inode = static_cast<std::uint64_t>(status.st_ino);
  info->size = static_cast<std::uint64_t>(status.st_size);
  info->modified = Nanoseconds(status.st_mtim);
  info->changed = Nanoseconds(status.st_ctim);
  info->links = static_cast<std::uint64_t>(status.st_nlink);
  info->mode = static_cast<std::uint32_t>(status.st_mode & 07777);
  info->owner = static_cast<std::uint32_t>(status.st_uid);
  info->group = static_cast<std::uint32_t>(status.st_gid);
}

// Keeps |opened| in |file| when it is a regular file.
static OpenReadResult KeepIfRegular(File opened, File* file) {
  struct stat status;
  if (OsFstat(Descriptor(opened), &status) != 0) {
    file->NoteError(errno);
    return OpenReadResult::kCannotOpen;
  }
  if (S_ISDIR(status.st_mode)) return OpenReadResult::kIsDirectory;
  if (!S_ISREG(status.st_mode)) return OpenReadResult::kNotRegular;
  *file = std::move(opened);
  return OpenReadResult::kOk;
}

// The result of a failed open, its error number noted in |file| for the
// message.
static OpenReadResult OpenFailure(File* file) {
  file->NoteError(errno);
  return errno == EISDIR ? OpenReadResult::kIsDirectory
                         : OpenReadResult::kCannotOpen;
}

OpenReadResult OpenForReading(const std::string& path, File* file,
                              Links links) {
  // O_NONBLOCK: opening a FIFO must not wait for a writer. It changes
  // nothing for a regular file.
  int flags = O_RDONLY | O_NONBLOCK;
  if (links == Links::kRefuse) flags |= O_NOFOLLOW;
  File opened;
  if (!OpenWith(path, flags, 0, &opened)) return OpenFailure(file);
  return KeepIfRegular(std::move(opened), file);
}

OpenReadResult OpenWritableIfAllowed(const std::string& path, File* file,
                                     bool* writable) {
  File opened;
  *writable = OpenWith(path, O_RDWR | O_NONBLOCK, 0, &opened);
  if (!*writable) {
    // A folder, or a file this user may only read; any other failure, of
    // the disk say, is the open's.
    if (errno == EISDIR) return OpenReadResult::kIsDirectory;
    if (errno != EACCES && errno != EPERM && errno != EROFS &&
        errno != ETXTBSY) {
      return OpenFailure(file);
    }
    if (!OpenWith(path, O_RDONLY | O_NONBLOCK, 0, &opened)) {
      return OpenFailure(file);
    }
  }
  return KeepIfRegular(std::move(opened), file);
}

bool CreateExclusive(const std::string& path, File* file) {
  if (OpenWith(path, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW, 0600, file)) {
    return true;
  }
  return Failed(file);
}

bool NameTaken(int error) { return error == EEXIST; }

bool Duplicate(const File& file, File* copy) {
  int fd = OsDup(Descriptor(file));
  if (fd < 0) return Failed(copy);
  *copy = File();
  copy->Adopt(fd);
  return true;
}

bool GetFileInfo(File* file, FileInfo* info) {
  struct stat status;
  if (OsFstat(Descriptor(*file), &status) != 0) return Failed(file);
  FillInfo(status, info);
  return true;
}

// The result of a call on a name that returned |result|.
static NameResult Named(int result) {
  return NameResult{result == 0 ? 0 : errno};
}

NameResult GetNameInfo(const std::string& path, FileInfo* info, bool* exists) {
  struct stat status;
  *exists = OsStat(path.c_str(), &status) == 0;
  if (*exists) {
    FillInfo(status, info);
    return {};
  }
  return Named(errno == ENOENT || errno == ENOTDIR ? 0 : -1);
}

std::int64_t TimeNow() {
  // Without a clock the page looks just changed, and its bytes are checked.
  struct timespec now;
  if (OsClockGettime(CLOCK_REALTIME, &now) != 0) return 0;
  return Nanoseconds(now);
}

LockResult LockExclusive(const File& file) {
  int result;
  do {
    result = OsFlock(Descriptor(file), LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR && !Interrupted());
  if (result == 0) return LockResult::kLocked;
  return errno == EWOULDBLOCK ? LockResult::kBusy : LockResult::kUnsupported;
}

bool CopyOwnerAndMode(const FileInfo& like, File* to, bool* same_owner) {
  // Only root may give a file away; an owner may give it a group of its
  // own. When the owner cannot be set, the group alone still may.
  const int fd = Descriptor(*to);
  if (OsFchown(fd, static_cast<uid_t>(like.owner),
               static_cast<gid_t>(like.group)) != 0) {
    (void)OsFchown(fd, static_cast<uid_t>(-1), static_cast<gid_t>(like.group));
  }
  // After the owner, which may clear the set-user-ID bits.
  if (OsFchmod(fd, static_cast<mode_t>(like.mode)) != 0) return Failed(to);
  FileInfo now;
  if (!GetFileInfo(to, &now)) return false;
  *same_owner = now.owner == like.owner && now.group == like.group;
  return true;
}

// The names of |file|'s extended attributes, each ended by a NUL, or false.
static bool AttributeNames(File* file, std::string* names) {
  for (int attempt = 0; attempt < 8; ++attempt) {
    ssize_t size = OsFlistxattr(Descriptor(*file), nullptr, 0);
    if (size < 0) {
      // A file system without extended attributes has none to keep.
      if (errno == ENOTSUP) return names->clear(), true;
      return Failed(file);
    }
    names->assign(static_cast<std::size_t>(size), '\0');
    if (size == 0) return true;
    ssize_t got = OsFlistxattr(Descriptor(*file), names->data(), names->size());
    if (got >= 0) return names->resize(static_cast<std::size_t>(got)), true;
    if (errno != ERANGE) return Failed(file);
  }
  return false;
}

// The value of attribute |name| of |file|, or false (with errno).
static bool AttributeValue(File* file, const char* name, std::string* value) {
  for (int attempt = 0; attempt < 8; ++attempt) {
    ssize_t size = OsFgetxattr(Descriptor(*file), name, nullptr, 0);
    if (size < 0) return false;
    value->assign(static_cast<std::size_t>(size), '\0');
    ssize_t got =
        OsFgetxattr(Descriptor(*file), name, value->data(), value->size());
    if (got >= 0) return value->resize(static_cast<std::size_t>(got)), true;
    if (errno != ERANGE) return false;
  }
  return false;
}

static std::vector<std::string> Split(const std::string& names) {
  std::vector<std::string> list;
  for (std::size_t at = 0; at < names.size();) {
    std::size_t end = names.find('\0', at);
    if (end == std::string::npos) end = names.size();
    if (end > at) list.push_back(names.substr(at, end - at));
    at = end + 1;
  }
  return list;
}

bool CopyAttributes(File* from, File* to) {
  std::string from_names, to_names;
  if (!AttributeNames(from, &from_names) || !AttributeNames(to, &to_names)) {
    return false;
  }
  const std::vector<std::string> wanted = Split(from_names);
  // An attribute the new file got from its folder (a default access list)
  // and the old one did not have would change who may use it.
  for (const std::string& name : Split(to_names)) {
    bool keep = false;
    for (const std::string& w : wanted) keep = keep || w == name;
    if (!keep && OsFremovexattr(Descriptor(*to), name.c_str()) != 0) {
      return Failed(to);
    }
  }
  std::string value, present;
  for (const std::string& name : wanted) {
    if (!AttributeValue(from, name.c_str(), &value)) return Failed(from);
    // Already there with the same value (a label given by the system).
    if (AttributeValue(to, name.c_str(), &present) && present == value) {
      continue;
    }
    if (OsFsetxattr(Descriptor(*to), name.c_str(), value.data(),
                    value.size()) != 0) {
      return Failed(to);
    }
  }
  return true;
}

bool FlushToDisk(File* file) {
  if (OsFsync(Descriptor(*file)) == 0) return true;
  return Failed(file);
}

void StartFlushing(const File& file, std::uint64_t offset,
                   std::uint64_t length) {
  (void)OsStartWriteBack(Descriptor(file), static_cast<off_t>(offset),
                         static_cast<off_t>(length));
}

bool SeekTo(File* file, std::uint64_t offset) {
  const off_t at = static_cast<off_t>(offset);
  if (OsLseek(Descriptor(*file), at, SEEK_SET) == at) return true;
  return Failed(file);
}

bool SetLength(File* file, std::uint64_t length) {
  int result;
  do {
    result = OsFtruncate(Descriptor(*file), static_cast<off_t>(length));
  } while (result != 0 && errno == EINTR);
  return result == 0 || Failed(file);
}

bool ReserveSpace(File* file, std::uint64_t offset, std::uint64_t length) {
  int result;
  do {
    result = OsFallocate(Descriptor(*file), static_cast<off_t>(offset),
                         static_cast<off_t>(length));
  } while (result != 0 && errno == EINTR);
  if (result == 0) return true;
  if (errno != EOPNOTSUPP && errno != ENOSYS) return Failed(file);
  // A file system without the call: zeros take the blocks as well.
  const std::vector<char> zeros(64 * 1024, '\0');
  if (!SeekTo(file, offset)) return false;
  for (std::uint64_t left = length; left > 0;) {
    const std::size_t part =
        static_cast<std::size_t>(std::min<std::uint64_t>(left, zeros.size()));
    if (!WriteAll(file, zeros.data(), part)) return false;
    left -= part;
  }
  return true;
}

std::int64_t ReadSome(File* file, char* data, std::size_t size) {
  for (;;) {
    if (Interrupted()) return -1;
    ssize_t got = OsRead(Descriptor(*file), data, size);
    if (got >= 0) return got;
    if (errno != EINTR) return Failed(file), -1;
  }
}

bool WriteAll(File* file, const char* data, std::size_t size) {
  while (size > 0) {
    if (Interrupted()) return false;
    ssize_t put = OsWrite(Descriptor(*file), data, size);
    if (put < 0) {
      if (errno == EINTR) continue;
      return Failed(file);
    }
    if (put == 0) return file->NoteError(EIO), false;
    data += put;
    size -= static_cast<std::size_t>(put);
  }
  return true;
}

bool CloseFile(File* file) {
  if (!file->is_open()) return true;
  int fd = static_cast<int>(file->Release());
  // After EINTR the descriptor is already released on Linux: never retry.
  if (OsClose(fd) == 0) return true;
  return Failed(file);
}

NameResult FlushFolderOf(const std::string& path) {
  std::string folder = FolderPart(path);
  File handle;
  if (!OpenWith(folder.empty() ? "." : folder, O_RDONLY | O_DIRECTORY, 0,
                &handle)) {
    return NameResult{errno};
  }
  // A file system that cannot flush a folder says so with EINVAL: there is
  // nothing more to do there.
  if (!FlushToDisk(&handle) && handle.error() != EINVAL &&
      handle.error() != ENOTSUP && handle.error() != EOPNOTSUPP) {
    return NameResult{handle.error()};
  }
  return {};
}

NameResult RenameReplacing(const std::string& from, const std::string& to,
                           File*) {
  // A file open here can be replaced: the lock stays with the old file
  // until the end of the run.
  NameResult renamed = Named(OsRename(from.c_str(), to.c_str()));
  if (renamed) (void)FlushFolderOf(to);
  return renamed;
}

NameResult RemoveFile(const std::string& path) {
  return Named(OsUnlink(path.c_str()));
}

NameResult RealName(const std::string& path, std::string* real) {
  char resolved[PATH_MAX];
  if (OsRealpath(path.c_str(), resolved) == nullptr) return Named(-1);
  *real = resolved;
  return {};
}

std::string FolderPart(const std::string& path) {
  std::string::size_type slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::uint32_t CurrentUser() { return static_cast<std::uint32_t>(OsGeteuid()); }

bool FilesHaveOwners() { return true; }

unsigned long ProcessNumber() { return static_cast<unsigned long>(OsGetpid()); }

bool MayCreateIn(const std::string& folder) {
  return OsAccess(folder.empty() ? "." : folder.c_str(), W_OK | X_OK) == 0;
}
