// The POSIX system calls that file_posix.cc makes, behind one seam.
// The program links os_calls_posix.cc, which forwards to the system; a test
// program links a variant that makes a chosen call fail, to prove that every
// failure is reported and loses nothing.
#ifndef BRANTIX_TEXT_OS_CALLS_H_
#define BRANTIX_TEXT_OS_CALLS_H_

#include <sys/types.h>

int OsOpen(const char* path, int flags, mode_t mode);
ssize_t OsRead(int fd, void* data, size_t size);
ssize_t OsWrite(int fd, const void* data, size_t size);
int OsClose(int fd);
int OsRename(const char* from, const char* to);
int OsFtruncate(int fd, off_t length);

#endif  // BRANTIX_TEXT_OS_CALLS_H_
