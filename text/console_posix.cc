// The console on POSIX systems.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include "text/console.h"
#include "text/interrupt.h"

// A standard stream that is closed is given /dev/null, opened so that it
// cannot be used: otherwise the next file the program opens would take its
// number, and prompts would be written into it. Writing to a closed standard
// output then fails, as it should.
static void KeepStandardStreamsTaken() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    int taken = open("/dev/null", fd == 0 ? O_WRONLY : O_RDONLY);
    if (taken >= 0 && taken != fd) {
      dup2(taken, fd);
      close(taken);
    }
  }
}

void PrepareProcess() {
  KeepStandardStreamsTaken();
  // A file size limit must give a write error that is reported, and a
  // closed pipe on standard output a failed write, not signals that kill.
  signal(SIGXFSZ, SIG_IGN);
  signal(SIGPIPE, SIG_IGN);
  WatchInterruptions();
}

bool AsksForHelp(std::string_view argument) {
  return argument == "--help" || argument == "-h";
}

bool ConsoleWrite(std::string_view text) {
  const char* p = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    ssize_t put = write(STDOUT_FILENO, p, left);
    if (put < 0 && errno == EINTR && !Interrupted()) continue;
    if (put <= 0) return false;
    p += put;
    left -= static_cast<std::size_t>(put);
  }
  return true;
}

std::size_t ConsoleRead(char* data, std::size_t size) {
  for (;;) {
    if (Interrupted()) return 0;
    // Waits in short steps: a signal that arrives just before the wait
    // starts is still seen within a quarter of a second.
    struct pollfd ready = {STDIN_FILENO, POLLIN, 0};
    int events = poll(&ready, 1, 250);
    if (events == 0 || (events < 0 && errno == EINTR)) continue;
    ssize_t got = read(STDIN_FILENO, data, size);
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno != EINTR && errno != EAGAIN) return 0;
  }
}

void ConsoleDropTypedAhead() {
  if (isatty(STDIN_FILENO)) tcflush(STDIN_FILENO, TCIFLUSH);
}
