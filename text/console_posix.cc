// The console on POSIX systems.
#include <errno.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include "text/console.h"

void PrepareProcess() { signal(SIGXFSZ, SIG_IGN); }

bool ConsoleWrite(std::string_view text) {
  const char* p = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    ssize_t put = write(STDOUT_FILENO, p, left);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    p += put;
    left -= static_cast<std::size_t>(put);
  }
  return true;
}

std::size_t ConsoleRead(char* data, std::size_t size) {
  for (;;) {
    ssize_t got = read(STDIN_FILENO, data, size);
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno != EINTR) return 0;
  }
}

void ConsoleDropTypedAhead() {
  if (isatty(STDIN_FILENO)) tcflush(STDIN_FILENO, TCIFLUSH);
}
