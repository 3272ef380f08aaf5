// File access on POSIX systems. Every system call goes through os_calls.h.
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

#include "text/file.h"
#include "text/interrupt.h"
#include "text/os_calls.h"

#ifndef O_CLOEXEC
#define O_CLOEXEC 0
#endif

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    CloseFile(this);
    handle = other.handle;
    other.handle = -1;
  }
  return *this;
}

File::~File() { CloseFile(this); }

static int Descriptor(const File& file) {
  return static_cast<int>(file.handle);
}

static bool OpenWith(const std::string& path, int flags, mode_t mode,
                     File* file) {
  int fd;
  do {
    fd = OsOpen(path.c_str(), flags | O_CLOEXEC | O_NOCTTY, mode);
  } while (fd < 0 && errno == EINTR && !Interrupted());
  if (fd < 0) return false;
  *file = File();
  file->handle = fd;
  return true;
}

static void FillInfo(const struct stat& status, FileInfo* info) {
  info->regular = S_ISREG(status.st_mode);
  info->device = static_cast<std::uint64_t>(status.st_dev);
  info->inode = static_cast<std::uint64_t>(status.st_ino);
  info->size = static_cast<std::uint64_t>(status.st_size);
  info->modified =
      static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1000000000 +
      status.st_mtim.tv_nsec;
  info->mode = static_cast<std::uint32_t>(status.st_mode & 07777);
  info->owner = static_cast<std::uint32_t>(status.st_uid);
  info->group = static_cast<std::uint32_t>(status.st_gid);
}

OpenReadResult OpenForReading(const std::string& path, File* file) {
  // O_NONBLOCK: opening a FIFO must not wait for a writer. It changes
  // nothing for a regular file.
  File opened;
  if (!OpenWith(path, O_RDONLY | O_NONBLOCK, 0, &opened)) {
    return errno == EISDIR ? OpenReadResult::kIsDirectory
                           : OpenReadResult::kCannotOpen;
  }
  struct stat status;
  if (OsFstat(Descriptor(opened), &status) != 0) {
    return OpenReadResult::kCannotOpen;
  }
  if (S_ISDIR(status.st_mode)) return OpenReadResult::kIsDirectory;
  if (!S_ISREG(status.st_mode)) return OpenReadResult::kNotRegular;
  *file = std::move(opened);
  return OpenReadResult::kOk;
}

bool OpenForWriting(const std::string& path, File* file) {
  return OpenWith(path, O_WRONLY | O_CREAT | O_TRUNC, 0666, file);
}

bool CanOpenForWriting(const std::string& path) {
  File probe;
  return OpenWith(path, O_WRONLY | O_NONBLOCK, 0, &probe);
}

bool CreateExclusive(const std::string& path, File* file) {
  return OpenWith(path, O_WRONLY | O_CREAT | O_EXCL, 0600, file);
}

bool GetFileInfo(const File& file, FileInfo* info) {
  struct stat status;
  if (OsFstat(Descriptor(file), &status) != 0) return false;
  FillInfo(status, info);
  return true;
}

bool GetNameInfo(const std::string& path, FileInfo* info, bool* exists) {
  struct stat status;
  *exists = OsStat(path.c_str(), &status) == 0;
  if (*exists) {
    FillInfo(status, info);
    return true;
  }
  return errno == ENOENT || errno == ENOTDIR;
}

LockResult LockExclusive(const File& file) {
  int result;
  do {
    result = OsFlock(Descriptor(file), LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR && !Interrupted());
  if (result == 0) return LockResult::kLocked;
  return errno == EWOULDBLOCK ? LockResult::kBusy : LockResult::kUnsupported;
}

bool CopyOwnerAndMode(const FileInfo& like, const File& to) {
  // Only root, or an owner giving away a group of its own, may change them:
  // otherwise the file stays the user's.
  (void)OsFchown(Descriptor(to), static_cast<uid_t>(like.owner),
                 static_cast<gid_t>(like.group));
  return OsFchmod(Descriptor(to), static_cast<mode_t>(like.mode)) == 0;
}

bool FlushToDisk(const File& file) { return OsFsync(Descriptor(file)) == 0; }

void StartFlushing(const File& file, std::uint64_t offset,
                   std::uint64_t length) {
  (void)OsStartWriteBack(Descriptor(file), static_cast<off_t>(offset),
                         static_cast<off_t>(length));
}

std::int64_t ReadSome(File* file, char* data, std::size_t size) {
  for (;;) {
    if (Interrupted()) return -1;
    ssize_t got = OsRead(Descriptor(*file), data, size);
    if (got >= 0) return got;
    if (errno != EINTR) return -1;
  }
}

bool WriteAll(File* file, const char* data, std::size_t size) {
  while (size > 0) {
    if (Interrupted()) return false;
    ssize_t put = OsWrite(Descriptor(*file), data, size);
    if (put < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (put == 0) return false;
    data += put;
    size -= static_cast<std::size_t>(put);
  }
  return true;
}

bool CloseFile(File* file) {
  if (!file->is_open()) return true;
  int fd = Descriptor(*file);
  file->handle = -1;
  // After EINTR the descriptor is already released on Linux: never retry.
  return OsClose(fd) == 0;
}

// Writes the folder's entries to the disk, so that a rename survives a
// power loss. Some file systems cannot flush a folder: best-effort.
static void FlushFolder(const std::string& path) {
  std::string folder = FolderPart(path);
  File handle;
  if (OpenWith(folder.empty() ? "." : folder, O_RDONLY | O_DIRECTORY, 0,
               &handle)) {
    (void)FlushToDisk(handle);
  }
}

bool RenameReplacing(const std::string& from, const std::string& to, File*) {
  // A file open here can be replaced: the lock stays with the old file
  // until the end of the run.
  if (OsRename(from.c_str(), to.c_str()) != 0) return false;
  FlushFolder(to);
  return true;
}

bool RemoveFile(const std::string& path) { return OsUnlink(path.c_str()) == 0; }

bool RealName(const std::string& path, std::string* real) {
  char resolved[PATH_MAX];
  if (OsRealpath(path.c_str(), resolved) == nullptr) return false;
  *real = resolved;
  return true;
}

std::string FolderPart(const std::string& path) {
  std::string::size_type slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

unsigned long ProcessNumber() { return static_cast<unsigned long>(getpid()); }
