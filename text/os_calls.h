// The POSIX system calls that the program makes (files, the console, the
// process's set-up and signals), behind one seam.
// The program links os_calls_posix.cc, which forwards to the system; a test
// program links a variant that makes a chosen call fail, or kills the
// process at a chosen call, to prove that every failure is reported and
// loses nothing.
#ifndef BRANTIX_TEXT_OS_CALLS_H_
#define BRANTIX_TEXT_OS_CALLS_H_

#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>

int OsOpen(const char* path, int flags, mode_t mode);
ssize_t OsRead(int fd, void* data, size_t size);
ssize_t OsWrite(int fd, const void* data, size_t size);
int OsClose(int fd);
int OsDup(int fd);
/// openat(): |path| in the folder open as |folder|.
int OsOpenat(int folder, const char* path, int flags, mode_t mode);
/// renameat() within the one folder open as |folder|.
int OsRenameat(int folder, const char* from, const char* to);
/// unlinkat(folder, path, 0).
int OsUnlinkat(int folder, const char* path);
int OsFstat(int fd, struct stat* status);
int OsStat(const char* path, struct stat* status);
/// fstatat(): |path| in the folder open as |folder|.
int OsFstatat(int folder, const char* path, struct stat* status, int flags);
int OsFlock(int fd, int operation);
int OsFsync(int fd);
/// Starts writing a range of the file to the disk without waiting
/// (sync_file_range on Linux; elsewhere it does nothing and succeeds).
int OsStartWriteBack(int fd, off_t offset, off_t length);
off_t OsLseek(int fd, off_t offset, int whence);
int OsFtruncate(int fd, off_t length);
/// fallocate(fd, 0, offset, length) on Linux; elsewhere it fails with
/// EOPNOTSUPP.
int OsFallocate(int fd, off_t offset, off_t length);
int OsFchmod(int fd, mode_t mode);
int OsFchown(int fd, uid_t owner, gid_t group);
/// The extended attributes of an open file (Linux; elsewhere there are
/// none: listing gives nothing and the others fail with ENOTSUP).
ssize_t OsFlistxattr(int fd, char* names, size_t size);
ssize_t OsFgetxattr(int fd, const char* name, void* value, size_t size);
int OsFsetxattr(int fd, const char* name, const void* value, size_t size);
int OsFremovexattr(int fd, const char* name);
int OsClockGettime(clockid_t clock, struct timespec* now);
/// geteuid(), which cannot fail.
uid_t OsGeteuid();
/// faccessat(folder, path, mode, AT_EACCESS): whether this user, as the
/// program runs, may use |path| of the folder open as |folder| so.
int OsAccess(int folder, const char* path, int mode);
/// getpid(), which cannot fail.
pid_t OsGetpid();
int OsFcntlGetFd(int fd);  ///< fcntl(fd, F_GETFD).
int OsDup2(int fd, int to);
int OsPoll(struct pollfd* fds, nfds_t count, int timeout);
int OsIsatty(int fd);
int OsTcflush(int fd, int queue);
int OsSigaction(int number, const struct sigaction* action,
                struct sigaction* before);
/// realpath(): the name with every link followed; |resolved| holds PATH_MAX
/// bytes. Returns nullptr on failure.
char* OsRealpath(const char* path, char* resolved);

#endif  // BRANTIX_TEXT_OS_CALLS_H_
