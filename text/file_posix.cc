// File access on POSIX systems.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "text/file.h"
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

static bool OpenWith(const std::string& path, int flags, mode_t mode,
                     File* file) {
  int fd;
  do {
    fd = OsOpen(path.c_str(), flags | O_CLOEXEC, mode);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return false;
  *file = File();
  file->handle = fd;
  return true;
}

OpenReadResult OpenForReading(const std::string& path, File* file) {
  if (!OpenWith(path, O_RDONLY, 0, file)) {
    return errno == EISDIR ? OpenReadResult::kIsDirectory
                           : OpenReadResult::kCannotOpen;
  }
  return OpenReadResult::kOk;
}

bool OpenForWriting(const std::string& path, File* file) {
  return OpenWith(path, O_WRONLY | O_CREAT | O_TRUNC, 0666, file);
}

bool OpenForRewriting(const std::string& path, File* file) {
  return OpenWith(path, O_WRONLY | O_CREAT, 0666, file);
}

bool SetLength(File* file, std::uint64_t length) {
  return OsFtruncate(static_cast<int>(file->handle),
                     static_cast<off_t>(length)) == 0;
}

bool CreateExclusive(const std::string& path, File* file) {
  return OpenWith(path, O_WRONLY | O_CREAT | O_EXCL, 0600, file);
}

void CopyPermissions(const File& from, const File& to) {
  struct stat status;
  if (fstat(static_cast<int>(from.handle), &status) == 0) {
    fchmod(static_cast<int>(to.handle), status.st_mode & 0777);
  }
}

std::int64_t ReadSome(File* file, char* data, std::size_t size) {
  for (;;) {
    ssize_t got = OsRead(static_cast<int>(file->handle), data, size);
    if (got >= 0) return got;
    if (errno != EINTR) return -1;
  }
}

bool WriteAll(File* file, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t put = OsWrite(static_cast<int>(file->handle), data, size);
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
  int fd = static_cast<int>(file->handle);
  file->handle = -1;
  // After EINTR the descriptor is already released on Linux: never retry.
  return OsClose(fd) == 0;
}

bool RenameReplacing(const std::string& from, const std::string& to) {
  return OsRename(from.c_str(), to.c_str()) == 0;
}

bool RemoveFile(const std::string& path) { return unlink(path.c_str()) == 0; }

std::string FolderPart(const std::string& path) {
  std::string::size_type slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

unsigned long ProcessNumber() { return static_cast<unsigned long>(getpid()); }
