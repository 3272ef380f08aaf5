#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/xattr.h>
#endif

#include "text/os_calls.h"

int OsOpen(const char* path, int flags, mode_t mode) {
  return open(path, flags, mode);
}
ssize_t OsRead(int fd, void* data, size_t size) { return read(fd, data, size); }
ssize_t OsWrite(int fd, const void* data, size_t size) {
  return write(fd, data, size);
}
int OsClose(int fd) { return close(fd); }
int OsDup(int fd) { return fcntl(fd, F_DUPFD_CLOEXEC, 0); }
int OsOpenat(int folder, const char* path, int flags, mode_t mode) {
  return openat(folder, path, flags, mode);
}
int OsRenameat(int folder, const char* from, const char* to) {
  return renameat(folder, from, folder, to);
}
int OsUnlinkat(int folder, const char* path) {
  return unlinkat(folder, path, 0);
}
int OsFstatat(int folder, const char* path, struct stat* status, int flags) {
  return fstatat(folder, path, status, flags);
}
int OsFstat(int fd, struct stat* status) { return fstat(fd, status); }
int OsStat(const char* path, struct stat* status) { return stat(path, status); }
int OsFlock(int fd, int operation) { return flock(fd, operation); }
int OsFsync(int fd) { return fsync(fd); }
int OsStartWriteBack(int fd, off_t offset, off_t length) {
#if defined(__linux__)
  return sync_file_range(fd, offset, length, SYNC_FILE_RANGE_WRITE);
#else
  (void)fd, (void)offset, (void)length;
  return 0;
#endif
}
off_t OsLseek(int fd, off_t offset, int whence) {
  return lseek(fd, offset, whence);
}
int OsFtruncate(int fd, off_t length) { return ftruncate(fd, length); }
int OsFallocate(int fd, off_t offset, off_t length) {
#if defined(__linux__)
  return fallocate(fd, 0, offset, length);
#else
  (void)fd, (void)offset, (void)length;
  errno = EOPNOTSUPP;
  return -1;
#endif
}
int OsFchmod(int fd, mode_t mode) { return fchmod(fd, mode); }
int OsFchown(int fd, uid_t owner, gid_t group) {
  return fchown(fd, owner, group);
}
#if defined(__linux__)
ssize_t OsFlistxattr(int fd, char* names, size_t size) {
  return flistxattr(fd, names, size);
}
ssize_t OsFgetxattr(int fd, const char* name, void* value, size_t size) {
  return fgetxattr(fd, name, value, size);
}
int OsFsetxattr(int fd, const char* name, const void* value, size_t size) {
  return fsetxattr(fd, name, value, size, 0);
}
int OsFremovexattr(int fd, const char* name) { return fremovexattr(fd, name); }
#else
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
#endif
int OsClockGettime(clockid_t clock, struct timespec* now) {
  return clock_gettime(clock, now);
}
uid_t OsGeteuid() { return geteuid(); }
char* OsRealpath(const char* path, char* resolved) {
  return realpath(path, resolved);
}
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
int OsAccess(int folder, const char* path, int mode) {
  return faccessat(folder, path, mode, AT_EACCESS);
}
