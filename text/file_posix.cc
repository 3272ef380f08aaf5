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

static int Descriptor(const Folder& folder) {
  return static_cast<int>(folder.handle());
}

// The last part of |path|, which the held folder looks up: "." for a name
// that ends with a separator, which then names the folder itself.
static std::string LastPart(const std::string& path) {
  std::string base = path.substr(FolderPart(path).size());
  return base.empty() ? "." : base;
}

Folder::~Folder() {
  if (is_open()) (void)OsClose(Descriptor(*this));
}

// The failure of the call that just failed, from errno.
static CallResult Failed() { return CallFailed(errno); }

// Opens |path|, in the folder open as |folder| unless that is AT_FDCWD; on
// failure returns false with errno as the system left it.
static bool OpenWith(int folder, const std::string& path, int flags,
                     mode_t mode, File* file) {
  flags |= O_CLOEXEC | O_NOCTTY;
  int fd;
  do {
    fd = folder == AT_FDCWD ? OsOpen(path.c_str(), flags, mode)
                            : OsOpenat(folder, path.c_str(), flags, mode);
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
  if (!OpenWith(AT_FDCWD, path, flags, 0, &opened)) return OpenFailure();
  return KeepIfRegular(std::move(opened), file);
}

// OpenWritableIfAllowed() of |path| in |folder| (or AT_FDCWD), with the
// flags |extra| added.
static OpenResult OpenWritable(int folder, const std::string& path, int extra,
                               File* file, bool* writable) {
  File opened;
  *writable = OpenWith(folder, path, O_RDWR | O_NONBLOCK | extra, 0, &opened);
  if (!*writable) {
    // A folder, or a file this user may only read; any other failure, of
    // the disk say, is the open's.
    if (errno != EACCES && errno != EPERM && errno != EROFS &&
        errno != ETXTBSY) {
      return OpenFailure();
    }
    if (!OpenWith(folder, path, O_RDONLY | O_NONBLOCK | extra, 0, &opened)) {
      return OpenFailure();
    }
  }
  return KeepIfRegular(std::move(opened), file);
}

OpenResult OpenWritableIfAllowed(const std::string& path, File* file,
                                 bool* writable) {
  return OpenWritable(AT_FDCWD, path, 0, file, writable);
}

CallResult OpenFolder(const std::string& path, Folder* folder) {
  const std::string name = FolderPart(path);
  const std::string open_name = name.empty() ? "." : name;
  File opened;
  int flush_error = 0;
  if (!OpenWith(AT_FDCWD, open_name, O_RDONLY | O_DIRECTORY, 0, &opened)) {
#ifdef O_PATH
    // A folder this user may go through but not list (0711) is still held,
    // by a handle that cannot flush it.
    if (errno != EACCES) return Failed();
    flush_error = errno;
    if (!OpenWith(AT_FDCWD, open_name, O_PATH | O_DIRECTORY, 0, &opened)) {
      return Failed();
    }
#else
    return Failed();
#endif
  }
  *folder = Folder();
  folder->Adopt(opened.Release(), name, flush_error);
  return {};
}

OpenResult OpenWritableIn(const Folder& folder, const std::string& path,
                          File* file, bool* writable, Links links) {
  return OpenWritable(Descriptor(folder), LastPart(path),
                      links == Links::kRefuse ? O_NOFOLLOW : 0, file, writable);
}

// Creates |path| in |folder| (or AT_FDCWD), exclusively.
static CallResult CreateIn(int folder, const std::string& path, File* file) {
  if (OpenWith(folder, path, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW, 0600,
               file)) {
    return {};
  }
  return Failed();
}

CallResult CreateExclusive(const std::string& path, File* file) {
  return CreateIn(AT_FDCWD, path, file);
}

CallResult CreateExclusiveIn(const Folder& folder, const std::string& path,
                             File* file) {
  return CreateIn(Descriptor(folder), LastPart(path), file);
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

// The outcome of a look-up that returned |result| into |status|.
static CallResult LookedUp(int result, const struct stat& status,
                           FileInfo* info, bool* exists) {
  *exists = result == 0;
  if (*exists) {
    FillInfo(status, info);
    return {};
  }
  return Named(errno == ENOENT || errno == ENOTDIR ? 0 : -1);
}

CallResult GetNameInfo(const std::string& path, FileInfo* info, bool* exists) {
  struct stat status;
  const int result = OsStat(path.c_str(), &status);
  return LookedUp(result, status, info, exists);
}

CallResult GetNameInfoIn(const Folder& folder, const std::string& path,
                         FileInfo* info, bool* exists, Links links) {
  struct stat status;
  const int result =
      OsFstatat(Descriptor(folder), LastPart(path).c_str(), &status,
                links == Links::kRefuse ? AT_SYMLINK_NOFOLLOW : 0);
  return LookedUp(result, status, info, exists);
}

CallResult GetFolderInfo(const Folder& folder, FileInfo* info) {
  struct stat status;
  if (OsFstat(Descriptor(folder), &status) != 0) return Failed();
  FillInfo(status, info);
  return {};
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
  // A file system without the call: zeros take the blocks as well, where
  // the file reads as zeros already; bytes that another program wrote
  // there meanwhile are left for the caller's checks to find.
  const std::vector<char> zeros(64 * 1024, '\0');
  std::vector<char> now(zeros.size());
  for (std::uint64_t done = 0; done < length;) {
    const std::size_t part = static_cast<std::size_t>(
        std::min<std::uint64_t>(length - done, zeros.size()));
    std::size_t got = 0;
    CallResult result = SeekTo(file, offset + done);
    while (result && got < part) {
      const ReadResult read = ReadSome(file, now.data() + got, part - got);
      if (read.count < 0) return CallFailed(read.error);
      if (read.count == 0) break;
      got += static_cast<std::size_t>(read.count);
    }
    const bool empty = std::all_of(now.begin(), now.begin() + got,
                                   [](char c) { return c == '\0'; });
    if (result && empty) result = SeekTo(file, offset + done);
    if (result && empty) result = WriteAll(file, zeros.data(), part);
    if (!result) return result;
    done += part;
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

CallResult FlushFolder(const Folder& folder) {
  if (folder.flush_error() != 0) return CallFailed(folder.flush_error());
  // A file system that cannot flush a folder says so with EINVAL: there is
  // nothing more to do there.
  if (OsFsync(Descriptor(folder)) == 0 || errno == EINVAL || errno == ENOTSUP ||
      errno == EOPNOTSUPP) {
    return {};
  }
  return Failed();
}

CallResult RenameReplacing(const Folder& folder, const std::string& from,
                           const std::string& to, File*) {
  // A file open here can be replaced: the lock stays with the old file
  // until the end of the run.
  CallResult renamed = Named(OsRenameat(
      Descriptor(folder), LastPart(from).c_str(), LastPart(to).c_str()));
  if (renamed) (void)FlushFolder(folder);
  return renamed;
}

CallResult RemoveFile(const Folder& folder, const std::string& path) {
  return Named(OsUnlinkat(Descriptor(folder), LastPart(path).c_str()));
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

CallResult MayCreateIn(const Folder& folder) {
  return Named(OsAccess(Descriptor(folder), ".", W_OK | X_OK));
}
