// The system calls behind os_calls.h with a fault injected: linked only
// into brantix_faulty, the program that the fault sweep runs.
//
// Every call behind os_calls.h is counted.
// BRANTIX_FAULT_AT=N makes the Nth call fail (N counts from 1); with
// BRANTIX_FAULT_PERSIST=1 every later call fails too, as on a disk that has
// gone away. With BRANTIX_FAULT_CRASH=1 the process kills itself (SIGKILL)
// at the Nth call instead, before making it, as a power loss or a kill
// would stop it. When BRANTIX_FAULT_LOG names a file, the program writes
// there at exit, or just before it kills itself, "<calls> <failures>
// <console>": the sweep stops once a run made fewer calls than the one it
// was told to fail, and <console> is 1 when a failed call was a write to
// standard output, after which the run can print no message.
// BRANTIX_FAULT_KIND=eintr makes the chosen call fail with EINTR instead,
// where the system may do so (open, read, write, flock, ftruncate), and
// BRANTIX_FAULT_KIND=short makes a chosen read or write move only half of
// its bytes: the program must then get through with the same result.
// BRANTIX_FAULT_NO_ATTRIBUTES=1 makes every extended-attribute call fail
// with ENOTSUP, as on a file system without them (vfat, NFSv3, an older
// tmpfs).
// BRANTIX_FAULT_ERRNO=E gives the failing call the error number E instead
// of its usual one, and BRANTIX_FAULT_CALL=name counts only the calls of
// that name for BRANTIX_FAULT_AT: the system call's name ("open", "read",
// "lseek", "dup", "flistxattr"...), with "console" for a write to standard
// output and "fsync-folder" for the flush of a folder; the log then ends
// with the count of those calls. BRANTIX_FAULT_ALSO="name N E" makes the
// Nth call of that name fail with E as well, whatever the other fault: a
// failure that the run may tolerate, before the chosen one.
// BRANTIX_FAULT_EDIT_AT=offset makes that edit write over the file there
// instead, keeping its size, just after the program's next write.
// BRANTIX_FAULT_APPEND=path makes the chosen call append a line to that
// file first (a cut: just after), as another program editing the page
// would, and go through.
// BRANTIX_FAULT_SWAP=link,folder makes the chosen call first switch the
// symbolic link |link| to |folder| (a new link renamed over it), as the
// user who owns a link in the page's path would, and go through; the log
// then ends with 1 when the run created a file in |folder| (or, when that
// names a file, in its folder).
// BRANTIX_FAULT_POWER=all|half|first|blocks|cuts|zeros|torn, with
// BRANTIX_FAULT_CRASH=1, makes the kill a power cut, as SQLite's crash-test
// file system does: before it, what the run wrote or cut since the file's
// last flush is taken back: all of it; the later half of the changes; the
// earlier half, as a disk that writes out of order may lose; every other
// 4 KiB block of each write over bytes the file already had; or the cuts
// only. In these the size of a file follows the data that stays: an
// extension is lost with its bytes. The last two keep the sizes, as NTFS,
// FAT or ext4 with data=writeback may: each write taken back whole, or
// from its middle on (a torn write), its extension read as zeros.
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/xattr.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "text/os_calls.h"

namespace {

struct Injection {
  long long at = 0;  // 0: never fail.
  bool persist = false;
  bool crash = false;
  bool no_attributes = false;
  std::string power;           // Empty: a kill keeps everything written.
  std::string append;          // A file another program appends to.
  long long edit_at = -1;      // Or writes over, at that offset.
  bool edit_waits = false;     // That edit is made after the next write.
  std::string swap;            // "link,folder": a link another user switches.
  bool created_there = false;  // A file created where it leads.
  enum class Kind { kFail, kEintr, kShort } kind = Kind::kFail;
  int error = 0;          // 0: each call's usual error number.
  std::string call;       // Empty: every call counts for |at|.
  std::string also_call;  // BRANTIX_FAULT_ALSO: its name, its call, errno.
  long long also_at = 0;
  int also_error = 0;
  long long also_calls = 0;
  long long calls = 0;
  long long named_calls = 0;  // Calls of the name |call|.
  long long failures = 0;
  bool console_failed = false;
  const char* log = nullptr;
};

Injection& State() {
  static Injection state = [] {
    Injection s;
    if (const char* at = getenv("BRANTIX_FAULT_AT")) s.at = atoll(at);
    if (const char* p = getenv("BRANTIX_FAULT_PERSIST")) s.persist = *p == '1';
    if (const char* c = getenv("BRANTIX_FAULT_CRASH")) s.crash = *c == '1';
    if (const char* a = getenv("BRANTIX_FAULT_NO_ATTRIBUTES")) {
      s.no_attributes = *a == '1';
    }
    s.log = getenv("BRANTIX_FAULT_LOG");
    if (const char* p = getenv("BRANTIX_FAULT_POWER")) s.power = p;
    if (const char* a = getenv("BRANTIX_FAULT_APPEND")) s.append = a;
    if (const char* e = getenv("BRANTIX_FAULT_EDIT_AT")) s.edit_at = atoll(e);
    if (const char* w = getenv("BRANTIX_FAULT_SWAP")) s.swap = w;
    if (const char* e = getenv("BRANTIX_FAULT_ERRNO")) s.error = atoi(e);
    if (const char* c = getenv("BRANTIX_FAULT_CALL")) s.call = c;
    if (const char* a = getenv("BRANTIX_FAULT_ALSO")) {
      char name[32];
      if (sscanf(a, "%31s %lld %d", name, &s.also_at, &s.also_error) == 3) {
        s.also_call = name;
      }
    }
    if (const char* k = getenv("BRANTIX_FAULT_KIND")) {
      std::string kind = k;
      if (kind == "eintr") s.kind = Injection::Kind::kEintr;
      if (kind == "short") s.kind = Injection::Kind::kShort;
    }
    return s;
  }();
  return state;
}

// Written with the system's own calls, which are not counted.
void WriteLog() {
  const Injection& s = State();
  if (s.log == nullptr || *s.log == '\0') return;
  std::string line =
      std::to_string(s.calls) + " " + std::to_string(s.failures) + " " +
      (s.console_failed ? "1" : "0") + " " + std::to_string(s.named_calls) +
      (s.created_there ? " 1" : " 0") + "\n";
  int fd = open(s.log, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return;
  ssize_t ignored = write(fd, line.data(), line.size());
  (void)ignored;
  close(fd);
}

// One change not yet flushed: a write at |offset| over |old| (the bytes the
// file had there, fewer where it ended sooner), or a cut; either from a
// file of |old_size| bytes.
struct Change {
  bool cut = false;
  off_t offset = 0;
  std::string old;
  off_t old_size = 0;
  off_t length = 0;  // Of the write.
};

struct Unflushed {
  int fd = -1;  // A descriptor of the program's own, to take changes back.
  std::vector<Change> changes;
};

using FileKey = std::pair<dev_t, ino_t>;

std::map<FileKey, Unflushed>& Pending() {
  static std::map<FileKey, Unflushed> pending;
  return pending;
}

// The regular file behind |fd| and its size, with the system's own calls.
bool KeyOf(int fd, FileKey* key, off_t* size) {
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
  *key = {st.st_dev, st.st_ino};
  *size = st.st_size;
  return true;
}

std::string OldBytes(int fd, off_t offset, off_t length, off_t size) {
  std::string old;
  if (offset >= size) return old;
  old.resize(static_cast<std::size_t>(std::min(length, size - offset)));
  const ssize_t got = pread(fd, old.data(), old.size(), offset);
  old.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return old;
}

// Notes a change about to be made to |fd|.
void NoteChange(int fd, bool cut, off_t offset, off_t length) {
  if (State().power.empty()) return;
  FileKey key;
  off_t size = 0;
  if (!KeyOf(fd, &key, &size)) return;
  Unflushed& u = Pending()[key];
  if (u.fd < 0) u.fd = fcntl(fd, F_DUPFD_CLOEXEC, 100);
  Change c;
  c.cut = cut;
  c.old_size = size;
  if (cut) {
    c.offset = length;
    if (length < size) c.old = OldBytes(fd, length, size - length, size);
  } else {
    c.offset = offset;
    c.length = length;
    c.old = OldBytes(fd, offset, length, size);
  }
  u.changes.push_back(std::move(c));
}

void NoteFlush(int fd) {
  FileKey key;
  off_t size = 0;
  if (!State().power.empty() && KeyOf(fd, &key, &size)) {
    Pending()[key].changes.clear();
  }
}

// Takes a change back whole. A write past the file's old end is lost with
// the size it gave the file; with |keep_size|, as when a later change
// stays, its bytes read as zeros instead.
void TakeBack(int fd, const Change& c, bool keep_size) {
  if (c.cut) {
    if (ftruncate(fd, c.old_size) != 0) return;
    if (!c.old.empty()) (void)!pwrite(fd, c.old.data(), c.old.size(), c.offset);
    return;
  }
  if (!c.old.empty()) (void)!pwrite(fd, c.old.data(), c.old.size(), c.offset);
  const off_t past = c.offset + static_cast<off_t>(c.old.size());
  struct stat st;
  if (keep_size) {
    const std::string zeros(
        static_cast<std::size_t>(c.offset + c.length - past), '\0');
    (void)!pwrite(fd, zeros.data(), zeros.size(), past);
  } else if (fstat(fd, &st) == 0 && st.st_size > c.old_size &&
             c.offset + c.length >= st.st_size) {
    (void)!ftruncate(fd, c.old_size);
  }
}

// Takes back a write from its |keep|th byte on, the size it gave the file
// kept: its bytes past the file's old end read as zeros, as a file system
// that writes a file's size before its data leaves it.
void TakeBackKeepingSize(int fd, const Change& c, off_t keep) {
  const off_t old_length = static_cast<off_t>(c.old.size());
  if (old_length > keep) {
    (void)!pwrite(fd, c.old.data() + keep, c.old.size() - keep,
                  c.offset + keep);
  }
  const off_t past = c.offset + std::max(keep, old_length);
  if (c.offset + c.length > past) {
    const std::string zeros(
        static_cast<std::size_t>(c.offset + c.length - past), '\0');
    (void)!pwrite(fd, zeros.data(), zeros.size(), past);
  }
}

// Takes back every other 4 KiB block of a write over bytes the file had.
void TakeBackOddBlocks(int fd, const Change& c) {
  constexpr off_t kBlock = 4096;
  const off_t end = c.offset + static_cast<off_t>(c.old.size());
  for (off_t at = c.offset; at < end;) {
    const off_t block_end = std::min(end, (at / kBlock + 1) * kBlock);
    if ((at / kBlock) % 2 == 1) {
      (void)!pwrite(fd, c.old.data() + (at - c.offset),
                    static_cast<size_t>(block_end - at), at);
    }
    at = block_end;
  }
}

void CutThePower() {
  const std::string& how = State().power;
  for (auto& [key, u] : Pending()) {
    const std::size_t n = u.changes.size();
    for (std::size_t i = n; i-- > 0;) {
      const Change& c = u.changes[i];
      if (how == "all" || (how == "half" && i >= n / 2) ||
          (how == "first" && i < n / 2) || (how == "cuts" && c.cut)) {
        TakeBack(u.fd, c, how == "first");
      } else if (how == "blocks" && !c.cut) {
        TakeBackOddBlocks(u.fd, c);
      } else if ((how == "zeros" || how == "torn") && !c.cut) {
        TakeBackKeepingSize(u.fd, c, how == "torn" ? c.length / 2 : 0);
      }
    }
  }
}

// Counts one call, named |name|; whether it is one chosen for a fault.
bool Chosen(const char* name) {
  Injection& s = State();
  if (s.calls == 0 && s.log != nullptr) atexit(WriteLog);
  ++s.calls;
  long long count = s.calls;
  if (!s.call.empty()) {
    if (s.call != name) return false;
    count = ++s.named_calls;
  }
  return s.at > 0 && (count == s.at || (s.persist && count > s.at));
}

// Appends a line to the file of BRANTIX_FAULT_APPEND, as another program
// would, with the system's own calls.
void AppendEdit() {
  Injection& s = State();
  const int fd = open(s.append.c_str(),
                      O_WRONLY | O_CLOEXEC | (s.edit_at < 0 ? O_APPEND : 0));
  if (fd >= 0 && s.edit_at >= 0) (void)lseek(fd, s.edit_at, SEEK_SET);
  if (fd >= 0) {
    static const char kEdit[] = "<!-- ajout -->\n";
    (void)!write(fd, kEdit, sizeof kEdit - 1);
    close(fd);
  }
  ++s.failures;
}

// Switches the link of BRANTIX_FAULT_SWAP at once, with the system's own
// calls.
void SwapLink() {
  Injection& s = State();
  const std::size_t comma = s.swap.find(',');
  const std::string link = s.swap.substr(0, comma);
  const std::string fresh = link + ".swap";
  if (symlink(s.swap.c_str() + comma + 1, fresh.c_str()) == 0) {
    (void)rename(fresh.c_str(), link.c_str());
  }
  ++s.failures;
}

// Notes a file created in the folder open as |folder| when that is where
// the link of BRANTIX_FAULT_SWAP leads.
void NoteCreation(int folder) {
  Injection& s = State();
  std::string to = s.swap.substr(s.swap.find(',') + 1);
  struct stat there, here;
  if (stat(to.c_str(), &there) == 0 && !S_ISDIR(there.st_mode)) {
    to.erase(to.rfind('/'));
  }
  if (stat(to.c_str(), &there) == 0 && fstat(folder, &here) == 0 &&
      there.st_dev == here.st_dev && there.st_ino == here.st_ino) {
    s.created_there = true;
  }
}

// Counts one call, named |name|; true when this one must fail, with
// |error| (or the one BRANTIX_FAULT_ERRNO gives) in errno. With
// BRANTIX_FAULT_KIND set, only calls that take such a fault fail.
bool Fail(int error, bool may_take_eintr, const char* name) {
  Injection& s = State();
  bool fail = Chosen(name);
  if (s.also_call == name && ++s.also_calls == s.also_at) {
    errno = s.also_error;
    return true;
  }
  if (fail && !s.swap.empty()) {
    SwapLink();
    return false;
  }
  if (fail && !s.append.empty()) {
    // Another program's edit, made just before the chosen call, which then
    // goes through; an edit of the same size waits for the program's next
    // write (OsWrite()).
    if (s.edit_at >= 0) {
      s.edit_waits = true;
    } else {
      AppendEdit();
    }
    return false;
  }
  if (s.error != 0) error = s.error;
  if (s.kind != Injection::Kind::kFail) {
    if (!fail || s.kind != Injection::Kind::kEintr || !may_take_eintr) {
      return false;
    }
    ++s.failures;
    errno = EINTR;
    return true;
  }
  if (fail && s.crash) {
    ++s.failures;
    WriteLog();
    if (!s.power.empty()) CutThePower();
    kill(getpid(), SIGKILL);
  }
  if (fail) {
    ++s.failures;
    errno = error;
  }
  return fail;
}

}  // namespace

// A read or write chosen to come up short moves half of its bytes.
size_t Shortened(size_t size) {
  Injection& s = State();
  if (s.kind != Injection::Kind::kShort || size < 2 || s.at <= 0 ||
      !(s.calls == s.at || (s.persist && s.calls > s.at))) {
    return size;
  }
  ++s.failures;
  return size / 2;
}

int OsOpen(const char* path, int flags, mode_t mode) {
  if (Fail(EIO, true, "open")) return -1;
  return open(path, flags, mode);
}

ssize_t OsRead(int fd, void* data, size_t size) {
  if (Fail(EIO, true, "read")) return -1;
  return read(fd, data, Shortened(size));
}

ssize_t OsWrite(int fd, const void* data, size_t size) {
  if (Fail(fd == STDOUT_FILENO ? EIO : ENOSPC, true,
           fd == STDOUT_FILENO ? "console" : "write")) {
    if (fd == STDOUT_FILENO && errno != EINTR) State().console_failed = true;
    return -1;
  }
  if (fd != STDOUT_FILENO) {
    const off_t at = lseek(fd, 0, SEEK_CUR);
    if (at >= 0) NoteChange(fd, false, at, static_cast<off_t>(size));
  }
  const ssize_t done = write(fd, data, Shortened(size));
  // An edit of the same size made since the program last looked at the
  // bytes, just before it writes over them, cannot be told from them: it
  // is made just after its next write instead.
  if (State().edit_waits) {
    State().edit_waits = false;
    AppendEdit();
  }
  return done;
}

int OsDup(int fd) {
  if (Fail(EMFILE, false, "dup")) return -1;
  return fcntl(fd, F_DUPFD_CLOEXEC, 0);
}

// A close that fails still releases the descriptor, as on Linux.
int OsClose(int fd) {
  if (Fail(EIO, false, "close")) {
    close(fd);
    errno = State().error != 0 ? State().error : EIO;
    return -1;
  }
  return close(fd);
}

int OsOpenat(int folder, const char* path, int flags, mode_t mode) {
  if (Fail(EIO, true, "openat")) return -1;
  const int fd = openat(folder, path, flags, mode);
  if (fd >= 0 && (flags & O_CREAT) != 0 && !State().swap.empty()) {
    NoteCreation(folder);
  }
  return fd;
}

int OsRenameat(int folder, const char* from, const char* to) {
  if (Fail(EIO, false, "renameat")) return -1;
  return renameat(folder, from, folder, to);
}

int OsUnlinkat(int folder, const char* path) {
  if (Fail(EIO, false, "unlinkat")) return -1;
  return unlinkat(folder, path, 0);
}

int OsFstatat(int folder, const char* path, struct stat* status, int flags) {
  if (Fail(EIO, false, "fstatat")) return -1;
  return fstatat(folder, path, status, flags);
}

int OsFstat(int fd, struct stat* status) {
  if (Fail(EIO, false, "fstat")) return -1;
  return fstat(fd, status);
}

int OsStat(const char* path, struct stat* status) {
  if (Fail(EIO, false, "stat")) return -1;
  return stat(path, status);
}

int OsFlock(int fd, int operation) {
  if (Fail(ENOLCK, true, "flock")) return -1;
  return flock(fd, operation);
}

int OsFsync(int fd) {
  struct stat status;
  const bool folder = fstat(fd, &status) == 0 && S_ISDIR(status.st_mode);
  if (Fail(EIO, false, folder ? "fsync-folder" : "fsync")) return -1;
  const int done = fsync(fd);
  if (done == 0) NoteFlush(fd);
  return done;
}

int OsStartWriteBack(int fd, off_t offset, off_t length) {
  if (Fail(EIO, false, "sync_file_range")) return -1;
  return sync_file_range(fd, offset, length, SYNC_FILE_RANGE_WRITE);
}

off_t OsLseek(int fd, off_t offset, int whence) {
  if (Fail(EIO, false, "lseek")) return -1;
  return lseek(fd, offset, whence);
}

int OsFtruncate(int fd, off_t length) {
  // An edit just before a cut, after the size was last looked at, cannot be
  // told from the page's own bytes: it is made just after the cut instead.
  if (!State().append.empty()) {
    const bool chosen = Chosen("ftruncate");
    const int done = ftruncate(fd, length);
    if (chosen) AppendEdit();
    return done;
  }
  if (Fail(EIO, true, "ftruncate")) return -1;
  NoteChange(fd, true, 0, length);
  return ftruncate(fd, length);
}

int OsFallocate(int fd, off_t offset, off_t length) {
  if (Fail(ENOSPC, false, "fallocate")) return -1;
  return fallocate(fd, 0, offset, length);
}

// Counts an extended-attribute call; true when it must fail, with errno
// set: the chosen fault, or ENOTSUP where there are no attributes.
static bool FailAttribute(int error, const char* name) {
  if (Fail(error, false, name)) return true;
  if (!State().no_attributes) return false;
  errno = ENOTSUP;
  return true;
}

ssize_t OsFlistxattr(int fd, char* names, size_t size) {
  if (FailAttribute(EIO, "flistxattr")) return -1;
  return flistxattr(fd, names, size);
}

ssize_t OsFgetxattr(int fd, const char* name, void* value, size_t size) {
  if (FailAttribute(EIO, "fgetxattr")) return -1;
  return fgetxattr(fd, name, value, size);
}

int OsFsetxattr(int fd, const char* name, const void* value, size_t size) {
  if (FailAttribute(EPERM, "fsetxattr")) return -1;
  return fsetxattr(fd, name, value, size, 0);
}

int OsFremovexattr(int fd, const char* name) {
  if (FailAttribute(EPERM, "fremovexattr")) return -1;
  return fremovexattr(fd, name);
}

int OsFchmod(int fd, mode_t mode) {
  if (Fail(EIO, false, "fchmod")) return -1;
  return fchmod(fd, mode);
}

int OsFchown(int fd, uid_t owner, gid_t group) {
  if (Fail(EPERM, false, "fchown")) return -1;
  return fchown(fd, owner, group);
}

int OsClockGettime(clockid_t clock, struct timespec* now) {
  if (Fail(EINVAL, false, "clock_gettime")) return -1;
  return clock_gettime(clock, now);
}

// Cannot fail: only counted.
uid_t OsGeteuid() {
  (void)Chosen("geteuid");
  return geteuid();
}

pid_t OsGetpid() {
  (void)Chosen("getpid");
  return getpid();
}

int OsFcntlGetFd(int fd) {
  if (Fail(EIO, false, "fcntl")) return -1;
  return fcntl(fd, F_GETFD);
}

int OsDup2(int fd, int to) {
  if (Fail(EMFILE, false, "dup2")) return -1;
  return dup2(fd, to);
}

int OsPoll(struct pollfd* fds, nfds_t count, int timeout) {
  if (Fail(ENOMEM, true, "poll")) return -1;
  return poll(fds, count, timeout);
}

int OsIsatty(int fd) {
  if (Fail(EIO, false, "isatty")) return 0;
  return isatty(fd);
}

int OsTcflush(int fd, int queue) {
  if (Fail(EIO, false, "tcflush")) return -1;
  return tcflush(fd, queue);
}

int OsSigaction(int number, const struct sigaction* action,
                struct sigaction* before) {
  if (Fail(EINVAL, false, "sigaction")) return -1;
  return sigaction(number, action, before);
}

char* OsRealpath(const char* path, char* resolved) {
  if (Fail(EIO, false, "realpath")) return nullptr;
  return realpath(path, resolved);
}

int OsAccess(int folder, const char* path, int mode) {
  if (Fail(EIO, false, "faccessat")) return -1;
  return faccessat(folder, path, mode, AT_EACCESS);
}
