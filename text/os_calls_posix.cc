#include "text/os_calls.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

int OsOpen(const char* path, int flags, mode_t mode) {
  return open(path, flags, mode);
}
ssize_t OsRead(int fd, void* data, size_t size) { return read(fd, data, size); }
ssize_t OsWrite(int fd, const void* data, size_t size) {
  return write(fd, data, size);
}
int OsClose(int fd) { return close(fd); }
int OsRename(const char* from, const char* to) { return rename(from, to); }
int OsFtruncate(int fd, off_t length) { return ftruncate(fd, length); }
