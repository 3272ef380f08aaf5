// The platform calls of file_posix.cc with a fault injected: linked only into
// brantix_faulty, the program that the fault sweep runs.
//
// Every call behind os_calls.h is counted.
// BRANTIX_FAULT_AT=N makes the Nth call fail (N counts from 1); with
// BRANTIX_FAULT_PERSIST=1 every later call fails too, as on a disk that has
// gone away. With BRANTIX_FAULT_CRASH=1 the process kills itself (SIGKILL)
// at the Nth call instead, before making it, as a power loss or a kill
// would stop it. When BRANTIX_FAULT_LOG names a file, the program writes
// there at exit, or just before it kills itself, "<calls> <failures>": the
// sweep stops once a run made fewer calls than the one it was told to fail.
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/file.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "text/os_calls.h"

namespace {

struct Injection {
  long long at = 0;  // 0: never fail.
  bool persist = false;
  bool crash = false;
  long long calls = 0;
  long long failures = 0;
  const char* log = nullptr;
};

Injection& State() {
  static Injection state = [] {
    Injection s;
    if (const char* at = getenv("BRANTIX_FAULT_AT")) s.at = atoll(at);
    if (const char* p = getenv("BRANTIX_FAULT_PERSIST")) s.persist = *p == '1';
    if (const char* c = getenv("BRANTIX_FAULT_CRASH")) s.crash = *c == '1';
    s.log = getenv("BRANTIX_FAULT_LOG");
    return s;
  }();
  return state;
}

// Written with the system's own calls, which are not counted.
void WriteLog() {
  const Injection& s = State();
  if (s.log == nullptr || *s.log == '\0') return;
  std::string line =
      std::to_string(s.calls) + " " + std::to_string(s.failures) + "\n";
  int fd = open(s.log, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return;
  ssize_t ignored = write(fd, line.data(), line.size());
  (void)ignored;
  close(fd);
}

// Counts one call; true when this one must fail, with |error| in errno.
bool Fail(int error) {
  Injection& s = State();
  if (s.calls == 0 && s.log != nullptr) atexit(WriteLog);
  ++s.calls;
  bool fail = s.at > 0 && (s.calls == s.at || (s.persist && s.calls > s.at));
  if (fail && s.crash) {
    ++s.failures;
    WriteLog();
    kill(getpid(), SIGKILL);
  }
  if (fail) {
    ++s.failures;
    errno = error;
  }
  return fail;
}

}  // namespace

int OsOpen(const char* path, int flags, mode_t mode) {
  if (Fail(EIO)) return -1;
  return open(path, flags, mode);
}

ssize_t OsRead(int fd, void* data, size_t size) {
  if (Fail(EIO)) return -1;
  return read(fd, data, size);
}

ssize_t OsWrite(int fd, const void* data, size_t size) {
  if (Fail(ENOSPC)) return -1;
  return write(fd, data, size);
}

// A close that fails still releases the descriptor, as on Linux.
int OsClose(int fd) {
  if (Fail(EIO)) {
    close(fd);
    errno = EIO;
    return -1;
  }
  return close(fd);
}

int OsRename(const char* from, const char* to) {
  if (Fail(EIO)) return -1;
  return rename(from, to);
}


int OsUnlink(const char* path) {
  if (Fail(EIO)) return -1;
  return unlink(path);
}

int OsFstat(int fd, struct stat* status) {
  if (Fail(EIO)) return -1;
  return fstat(fd, status);
}

int OsStat(const char* path, struct stat* status) {
  if (Fail(EIO)) return -1;
  return stat(path, status);
}

int OsFlock(int fd, int operation) {
  if (Fail(ENOLCK)) return -1;
  return flock(fd, operation);
}

int OsFsync(int fd) {
  if (Fail(EIO)) return -1;
  return fsync(fd);
}

int OsStartWriteBack(int fd, off_t offset, off_t length) {
  if (Fail(EIO)) return -1;
  return sync_file_range(fd, offset, length, SYNC_FILE_RANGE_WRITE);
}

int OsFchmod(int fd, mode_t mode) {
  if (Fail(EIO)) return -1;
  return fchmod(fd, mode);
}

int OsFchown(int fd, uid_t owner, gid_t group) {
  if (Fail(EPERM)) return -1;
  return fchown(fd, owner, group);
}

char* OsRealpath(const char* path, char* resolved) {
  if (Fail(EIO)) return nullptr;
  return realpath(path, resolved);
}
