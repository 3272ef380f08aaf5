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

// The failure of the call that just failed, from errno.
static CallResult Failed() { return CallFailed(errno); }

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
static OpenResult KeepIfRegular(File opened, File* file) {
  struct stat status;
  if (OsFstat(Descriptor(opened), &status) != 0) {
    return {OpenReadResult::kCannotOpen, errno};
  }
  if (S_ISDIR(status.st_mode)) return {OpenReadResult::kIsDirectory, 0};
  if (!S_ISREG(status.st_mode)) return {OpenReadResult::kNotRegular, 0};
  *file = std::move(opened);
  return {};
}

// The result of the open that just failed, with its error number.
static OpenResult OpenFailure() {
  return {errno == EISDIR ? OpenReadResult::kIsDirectory
                          : OpenReadResult::kCannotOpen,
          errno};
}

OpenResult OpenForReading(const std::string& path, File* file, Links links) {
  // O_NONBLOCK: opening a FIFO must not wait for a writer. It changes
  // nothing for a regular file.
  int flags = O_RDONLY | O_NONBLOCK;
  if (links == Links::kRefuse) flags |= O_NOFOLLOW;
  File opened;
  if (!OpenWith(path, flags, 0, &opened)) return OpenFailure();
  return KeepIfRegular(std::move(opened), file);
}

OpenResult OpenWritableIfAllowed(const std::string& path, File* file,
                                 bool* writable) {
  File opened;
  *writable = OpenWith(path, O_RDWR | O_NONBLOCK, 0, &opened);
  if (!*writable) {
    // A folder, or a file this user may only read; any other failure, of
    // the disk say, is the open's.
    if (errno != EACCES && errno != EPERM && errno != EROFS &&
        errno != ETXTBSY) {
      return OpenFailure();
    }
    if (!OpenWith(path, O_RDONLY | O_NONBLOCK, 0, &opened)) {
      return OpenFailure();
    }
  }
  return KeepIfRegular(std::move(opened), file);
}

CallResult CreateExclusive(const std::string& path, File* file) {
  if (OpenWith(path, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW, 0600, file)) {
    return {};
  }
  return Failed();
}

bool NameTaken(int error) { return error == EEXIST; }

CallResult Duplicate(const File& file, File* copy) {
  int fd = OsDup(Descriptor(file));
  if (fd < 0) return Failed();
  *copy = File();
  copy->Adopt(fd);
  return {};
}

CallResult GetFileInfo(File* file, FileInfo* info) {
  struct stat status;
  if (OsFstat(Descriptor(*file), &status) != 0) return Failed();
  FillInfo(status, info);
  return {};
}

// The result of a call on a name that returned |result|.
static CallResult Named(int result) {
  return result == 0 ? CallResult{} : Failed();
}

CallResult GetNameInfo(const std::string& path, FileInfo* info, bool* exists) {
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

CallResult CopyOwnerAndMode(const FileInfo& like, File* to, bool* same_owner) {
  // Only root may give a file away; an owner may give it a group of its
  // own. When the owner cannot be set, the group alone still may.
  const int fd = Descriptor(*to);
  if (OsFchown(fd, static_cast<uid_t>(like.owner),
               static_cast<gid_t>(like.group)) != 0) {
    (void)OsFchown(fd, static_cast<uid_t>(-1), static_cast<gid_t>(like.group));
  }
  // After the owner, which may clear the set-user-ID bits.
  if (OsFchmod(fd, static_cast<mode_t>(like.mode)) != 0) return Failed();
  FileInfo now;
  const CallResult looked = GetFileInfo(to, &now);
  if (!looked) return looked;
  *same_owner = now.owner == like.owner && now.group == like.group;
  return {};
}

// The names of |file|'s extended attributes, each ended by a NUL. Should
// they keep growing between the calls, fails with ERANGE.
static CallResult AttributeNames(File* file, std::string* names) {
  for (int attempt = 0; attempt < 8; ++attempt) {
    ssize_t size = OsFlistxattr(Descriptor(*file), nullptr, 0);
    if (size < 0) {
      // A file system without extended attributes has none to keep.
      if (errno == ENOTSUP) return names->clear(), CallResult{};
      return Failed();
    }
    names->assign(static_cast<std::size_t>(size), '\0');
    if (size == 0) return {};
    ssize_t got = OsFlistxattr(Descriptor(*file), names->data(), names->size());
    if (got >= 0) {
      names->resize(static_cast<std::size_t>(got));
      return {};
    }
    if (errno != ERANGE) return Failed();
  }
  return CallFailed(ERANGE);
}

// The value of attribute |name| of |file|.
static CallResult AttributeValue(File* file, const char* name,
                                 std::string* value) {
  for (int attempt = 0; attempt < 8; ++attempt) {
    ssize_t size = OsFgetxattr(Descriptor(*file), name, nullptr, 0);
    if (size < 0) return Failed();
    value->assign(static_cast<std::size_t>(size), '\0');
    ssize_t got =
        OsFgetxattr(Descriptor(*file), name, value->data(), value->size());
    if (got >= 0) {
      value->resize(static_cast<std::size_t>(got));
      return {};
    }
    if (errno != ERANGE) return Failed();
  }
  return CallFailed(ERANGE);
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

CallResult CopyAttributes(File* from, File* to) {
  std::string from_names, to_names;
  CallResult result = AttributeNames(from, &from_names);
  if (result) result = AttributeNames(to, &to_names);
  if (!result) return result;
  const std::vector<std::string> wanted = Split(from_names);
  // An attribute the new file got from its folder (a default access list)
  // and the old one did not have would change who may use it.
  for (const std::string& name : Split(to_names)) {
    bool keep = false;
    for (const std::string& w : wanted) keep = keep || w == name;
    if (!keep && OsFremovexattr(Descriptor(*to), name.c_str()) != 0) {
      return Failed();
    }
  }
  std::string value, present;
  for (const std::string& name : wanted) {
    result = AttributeValue(from, name.c_str(), &value);
    if (!result) return result;
    // Already there with the same value (a label given by the system).
    if (AttributeValue(to, name.c_str(), &present) && present == value) {
      continue;
    }
    if (OsFsetxattr(Descriptor(*to), name.c_str(), value.data(),
                    value.size()) != 0) {
      return Failed();
    }
  }
  return {};
}

CallResult FlushToDisk(File* file) {
  if (OsFsync(Descriptor(*file)) == 0) return {};
  return Failed();
}

void StartFlushing(const File& file, std::uint64_t offset,
                   std::uint64_t length) {
  (void)OsStartWriteBack(Descriptor(file), static_cast<off_t>(offset),
                         static_cast<off_t>(length));
}

CallResult SeekTo(File* file, std::uint64_t offset) {
  const off_t at = static_cast<off_t>(offset);
  const off_t now = OsLseek(Descriptor(*file), at, SEEK_SET);
  if (now == at) return {};
  // A position other than the one asked is no error of the system's.
  return now < 0 ? Failed() : CallFailed(EIO);
}

CallResult SetLength(File* file, std::uint64_t length) {
  int result;
  do {
    result = OsFtruncate(Descriptor(*file), static_cast<off_t>(length));
  } while (result != 0 && errno == EINTR);
  return result == 0 ? CallResult{} : Failed();
}

CallResult ReserveSpace(File* file, std::uint64_t offset,
                        std::uint64_t length) {
  int result;
  do {
    result = OsFallocate(Descriptor(*file), static_cast<off_t>(offset),
                         static_cast<off_t>(length));
  } while (result != 0 && errno == EINTR);
  if (result == 0) return {};
  if (errno != EOPNOTSUPP && errno != ENOSYS) return Failed();
  // A file system without the call: zeros take the blocks as well.
  const std::vector<char> zeros(64 * 1024, '\0');
  if (const CallResult sought = SeekTo(file, offset); !sought) return sought;
  for (std::uint64_t left = length; left > 0;) {
    const std::size_t part =
        static_cast<std::size_t>(std::min<std::uint64_t>(left, zeros.size()));
    if (const CallResult wrote = WriteAll(file, zeros.data(), part); !wrote) {
      return wrote;
    }
    left -= part;
  }
  return {};
}

ReadResult ReadSome(File* file, char* data, std::size_t size) {
  for (;;) {
    if (Interrupted()) return {-1, 0};
    ssize_t got = OsRead(Descriptor(*file), data, size);
    if (got >= 0) return {got, 0};
    if (errno != EINTR) return {-1, errno};
  }
}

CallResult WriteAll(File* file, const char* data, std::size_t size) {
  while (size > 0) {
    if (Interrupted()) return CallFailed(0);
    ssize_t put = OsWrite(Descriptor(*file), data, size);
    if (put < 0) {
      if (errno == EINTR) continue;
      return Failed();
    }
    if (put == 0) return CallFailed(EIO);
    data += put;
    size -= static_cast<std::size_t>(put);
  }
  return {};
}

CallResult CloseFile(File* file) {
  if (!file->is_open()) return {};
  int fd = static_cast<int>(file->Release());
  // After EINTR the descriptor is already released on Linux: never retry.
  if (OsClose(fd) == 0) return {};
  return Failed();
}

CallResult FlushFolderOf(const std::string& path) {
  std::string folder = FolderPart(path);
  File handle;
  if (!OpenWith(folder.empty() ? "." : folder, O_RDONLY | O_DIRECTORY, 0,
                &handle)) {
    return Failed();
  }
  // A file system that cannot flush a folder says so with EINVAL: there is
  // nothing more to do there.
  const CallResult flushed = FlushToDisk(&handle);
  if (!flushed && flushed.error != EINVAL && flushed.error != ENOTSUP &&
      flushed.error != EOPNOTSUPP) {
    return flushed;
  }
  return {};
}

CallResult RenameReplacing(const std::string& from, const std::string& to,
                           File*) {
  // A file open here can be replaced: the lock stays with the old file
  // until the end of the run.
  CallResult renamed = Named(OsRename(from.c_str(), to.c_str()));
  if (renamed) (void)FlushFolderOf(to);
  return renamed;
}

CallResult RemoveFile(const std::string& path) {
  return Named(OsUnlink(path.c_str()));
}

CallResult RealName(const std::string& path, std::string* real) {
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

CallResult MayCreateIn(const std::string& folder) {
  return Named(OsAccess(folder.empty() ? "." : folder.c_str(), W_OK | X_OK));
}
