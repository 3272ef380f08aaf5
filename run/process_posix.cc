// A run on Linux and other POSIX systems: the process set up, the help
// option, and the cause of an error number.
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include "run/process.h"
#include "text/interrupt.h"
#include "text/os_calls.h"

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

Cause CauseOf(int error) {
  switch (error) {
    case 0:
      return Cause::kNone;
    case EACCES:
    case EPERM:
      return Cause::kRefused;
    case ENOSPC:
    case EDQUOT:
      return Cause::kNoSpace;
    case EFBIG:
      return Cause::kTooLarge;
    case ENAMETOOLONG:
      return Cause::kNameTooLong;
    case ELOOP:
      return Cause::kLinkLoop;
    case EMLINK:
      return Cause::kTooManyLinks;
    case EMFILE:
    case ENFILE:
      return Cause::kTooManyFiles;
    case EROFS:
      return Cause::kReadOnly;
    case EIO:
      return Cause::kInputOutput;
    case ENOENT:
      return Cause::kMissing;
    case EISDIR:
      return Cause::kFolder;
    case ENOTDIR:
      return Cause::kNotFolder;
    case EEXIST:
      return Cause::kNameTaken;
    default:
      return Cause::kOther;
  }
}

int AccessRefusedError() { return EACCES; }

int InputOutputError() { return EIO; }
