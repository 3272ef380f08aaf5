#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

#include "text/os_calls.h"

int OsOpen(const char* path, int flags, mode_t mode) {
  return open(path, flags, mode);
}
ssize_t OsRead(int fd, void* data, size_t size) { return read(fd, data, size); }
ssize_t OsWrite(int fd, const void* data, size_t size) {
  return write(fd, data, size);
}
int OsClose(int fd) { return close(fd); }
int OsRename(const char* from, const char* to) { return rename(from, to); }
int OsUnlink(const char* path) { return unlink(path); }
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
int OsFchmod(int fd, mode_t mode) { return fchmod(fd, mode); }
int OsFchown(int fd, uid_t owner, gid_t group) {
  return fchown(fd, owner, group);
}
char* OsRealpath(const char* path, char* resolved) {
  return realpath(path, resolved);
}
