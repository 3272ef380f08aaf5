// The platform calls of file_posix.cc served from memory: see memory_files.h.
#include "fuzz/memory_files.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "text/os_calls.h"

MemoryFiles& Memory() {
  static MemoryFiles memory;
  return memory;
}

void ResetMemory() { Memory() = MemoryFiles(); }

namespace {

std::string* OpenFile(int fd) {
  MemoryFiles& m = Memory();
  std::size_t i = static_cast<std::size_t>(fd - 3);
  if (fd < 3 || i >= m.open_path.size() || m.open_path[i].empty()) {
    return nullptr;
  }
  return &m.files[m.open_path[i]];
}

std::size_t InTurn(const std::vector<std::size_t>& sizes, std::size_t n,
                   std::size_t asked) {
  if (sizes.empty()) return asked;
  return std::max<std::size_t>(1, std::min(asked, sizes[n % sizes.size()]));
}

}  // namespace

int OsOpen(const char* path, int flags, mode_t) {
  MemoryFiles& m = Memory();
  bool exists = m.files.count(path) > 0;
  if ((flags & O_ACCMODE) == O_RDONLY) {
    if (!exists) {
      errno = ENOENT;
      return -1;
    }
  } else {
    if ((flags & O_EXCL) && exists) {
      errno = EEXIST;
      return -1;
    }
    if (!exists || (flags & O_TRUNC)) m.files[path].clear();
  }
  m.open_path.push_back(path);
  m.position.push_back(0);
  return static_cast<int>(m.open_path.size() - 1 + 3);
}

ssize_t OsRead(int fd, void* data, size_t size) {
  MemoryFiles& m = Memory();
  std::string* file = OpenFile(fd);
  if (file == nullptr) {
    errno = EBADF;
    return -1;
  }
  if (static_cast<long long>(m.reads++) == m.fail_read) {
    errno = EIO;
    return -1;
  }
  std::size_t& pos = m.position[static_cast<std::size_t>(fd - 3)];
  std::size_t n = std::min(InTurn(m.read_sizes, m.reads, size),
                           file->size() - std::min(pos, file->size()));
  if (n > 0) std::memcpy(data, file->data() + pos, n);
  pos += n;
  return static_cast<ssize_t>(n);
}

ssize_t OsWrite(int fd, const void* data, size_t size) {
  std::string* file = OpenFile(fd);
  if (file == nullptr) {
    errno = EBADF;
    return -1;
  }
  file->append(static_cast<const char*>(data), size);
  return static_cast<ssize_t>(size);
}

int OsClose(int fd) {
  if (OpenFile(fd) == nullptr) {
    errno = EBADF;
    return -1;
  }
  Memory().open_path[static_cast<std::size_t>(fd - 3)].clear();
  return 0;
}

// Names are whole in memory: a folder's descriptor adds nothing to them.
int OsUnlinkat(int, const char* path) {
  if (Memory().files.erase(path) == 0) {
    errno = ENOENT;
    return -1;
  }
  return 0;
}

// Every file is a regular file of the owner, changed at no time.
static void Describe(const std::string& bytes, struct stat* status) {
  *status = {};
  status->st_mode = S_IFREG | 0644;
  status->st_size = static_cast<off_t>(bytes.size());
}

int OsFstat(int fd, struct stat* status) {
  std::string* file = OpenFile(fd);
  if (file == nullptr) {
    errno = EBADF;
    return -1;
  }
  Describe(*file, status);
  status->st_ino = static_cast<ino_t>(fd);
  return 0;
}

int OsStat(const char* path, struct stat* status) {
  auto it = Memory().files.find(path);
  if (it == Memory().files.end()) {
    errno = ENOENT;
    return -1;
  }
  Describe(it->second, status);
  return 0;
}

int OsOpenat(int, const char* path, int flags, mode_t mode) {
  return OsOpen(path, flags, mode);
}
int OsFstatat(int, const char* path, struct stat* status, int) {
  return OsStat(path, status);
}

int OsFlock(int, int) { return 0; }
int OsFsync(int) { return 0; }
int OsStartWriteBack(int, off_t, off_t) { return 0; }
int OsFchmod(int, mode_t) { return 0; }
int OsFchown(int, uid_t, gid_t) { return 0; }

char* OsRealpath(const char* path, char* resolved) {
  std::strncpy(resolved, path, PATH_MAX - 1);
  resolved[PATH_MAX - 1] = '\0';
  return resolved;
}

int OsRenameat(int, const char* from, const char* to) {
  MemoryFiles& m = Memory();
  auto it = m.files.find(from);
  if (it == m.files.end()) {
    errno = ENOENT;
    return -1;
  }
  std::string bytes = std::move(it->second);
  m.files.erase(it);
  m.files[to] = std::move(bytes);
  return 0;
}

// The calls that only the run sequence makes. A copy of a descriptor keeps
// its own position here, which the fuzz targets never rely on.
int OsDup(int fd) {
  MemoryFiles& m = Memory();
  if (OpenFile(fd) == nullptr) {
    errno = EBADF;
    return -1;
  }
  std::size_t i = static_cast<std::size_t>(fd - 3);
  m.open_path.push_back(m.open_path[i]);
  m.position.push_back(m.position[i]);
  return static_cast<int>(m.open_path.size() - 1 + 3);
}

off_t OsLseek(int fd, off_t offset, int whence) {
  if (OpenFile(fd) == nullptr || whence != SEEK_SET || offset < 0) {
    errno = EINVAL;
    return -1;
  }
  Memory().position[static_cast<std::size_t>(fd - 3)] =
      static_cast<std::size_t>(offset);
  return offset;
}

int OsFtruncate(int fd, off_t length) {
  std::string* file = OpenFile(fd);
  if (file == nullptr || length < 0) {
    errno = EINVAL;
    return -1;
  }
  file->resize(static_cast<std::size_t>(length));
  return 0;
}

// A file in memory has no blocks to take.
int OsFallocate(int fd, off_t offset, off_t length) {
  if (OpenFile(fd) == nullptr || offset < 0 || length <= 0) {
    errno = EINVAL;
    return -1;
  }
  return 0;
}

ssize_t OsFlistxattr(int, char*, size_t) { return 0; }
ssize_t OsFgetxattr(int, const char*, void*, size_t) {
  errno = ENOTSUP;
  return -1;
}
int OsFsetxattr(int, const char*, const void*, size_t) {
  errno = ENOTSUP;
  return -1;
}
int OsFremovexattr(int, const char*) {
  errno = ENOTSUP;
  return -1;
}

int OsClockGettime(clockid_t, struct timespec* now) {
  now->tv_sec = 0;
  now->tv_nsec = 0;
  return 0;
}
uid_t OsGeteuid() { return 0; }
// The process's own calls, which no fuzz target makes in a way that
// matters: the system's.
pid_t OsGetpid() { return getpid(); }
int OsFcntlGetFd(int fd) { return fcntl(fd, F_GETFD); }
int OsDup2(int fd, int to) { return dup2(fd, to); }
int OsPoll(struct pollfd* fds, nfds_t count, int timeout) {
  return poll(fds, count, timeout);
}
int OsIsatty(int fd) { return isatty(fd); }
int OsTcflush(int fd, int queue) { return tcflush(fd, queue); }
int OsSigaction(int number, const struct sigaction* action,
                struct sigaction* before) {
  return sigaction(number, action, before);
}
int OsAccess(int, const char*, int) { return 0; }
