// A run on Linux and other POSIX systems: the process set up, the help
// option, the advice for an error number, and the last line of --help (the
// manual page comes with the Debian package).
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include "run/messages.h"
#include "run/process.h"
#include "text/interrupt.h"
#include "text/os_calls.h"

extern const char kMsgHelpMore[] = "Plus de details : man brantix\n";

// A standard stream that is closed is given /dev/null, opened so that it
// cannot be used: otherwise the next file the program opens would take its
// number, and prompts would be written into it. Writing to a closed standard
// output then fails, as it should.
static void KeepStandardStreamsTaken() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (OsFcntlGetFd(fd) != -1 || errno != EBADF) continue;
    int taken =
        OsOpen("/dev/null", (fd == 0 ? O_WRONLY : O_RDONLY) | O_CLOEXEC, 0);
    if (taken >= 0 && taken != fd) {
      (void)OsDup2(taken, fd);
      (void)OsClose(taken);
    }
  }
}

void PrepareProcess() {
  KeepStandardStreamsTaken();
  // A file size limit must give a write error that is reported, and a
  // closed pipe on standard output a failed write, not signals that kill.
  struct sigaction ignore = {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  (void)OsSigaction(SIGXFSZ, &ignore, nullptr);
  (void)OsSigaction(SIGPIPE, &ignore, nullptr);
  WatchInterruptions();
}

bool AsksForHelp(std::string_view argument) {
  return argument == "--help" || argument == "-h";
}

std::size_t TypedLength(const std::string& nom_du_fichier) {
  return nom_du_fichier.size();
}

FailureKind KindOf(int error) {
  switch (error) {
    case 0:
    // A name that is a folder, missing or taken: the message says enough.
    case EISDIR:
    case ENOTDIR:
    case ENOTEMPTY:
    case EEXIST:
    case ENOENT:
    case ELOOP:
    case ENAMETOOLONG:
      return FailureKind::kNone;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return FailureKind::kNoSpace;
    case EACCES:
    case EPERM:
    case EROFS:
      return FailureKind::kRefused;
    case EMFILE:
    case ENFILE:
      return FailureKind::kTooManyFiles;
    default:
      return FailureKind::kOther;
  }
}
