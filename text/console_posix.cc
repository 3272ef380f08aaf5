// The console on POSIX systems. Every system call goes through os_calls.h.
#include <errno.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "text/console.h"
#include "text/interrupt.h"
#include "text/os_calls.h"

namespace {

// Writes |text| whole to |fd|.
bool WriteAll(int fd, std::string_view text) {
  const char* p = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    ssize_t put = OsWrite(fd, p, left);
    if (put < 0 && errno == EINTR && !Interrupted()) continue;
    if (put <= 0) return false;
    p += put;
    left -= static_cast<std::size_t>(put);
  }
  return true;
}

}  // namespace

bool ConsoleWrite(std::string_view text) {
  return WriteAll(STDOUT_FILENO, text);
}

bool ConsoleWriteError(std::string_view text) {
  return WriteAll(STDERR_FILENO, text);
}

bool ConsoleShowsUtf8() {
  if (OsIsatty(STDOUT_FILENO) != 1) return false;
  // The locale's character set, as the C library would take it.
  const char* locale = nullptr;
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    locale = std::getenv(name);
    if (locale != nullptr && *locale != '\0') break;
  }
  if (locale == nullptr) return false;
  std::string set(locale);
  for (char& c : set) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return set.find("utf-8") != std::string::npos ||
         set.find("utf8") != std::string::npos;
}

std::size_t ConsoleRead(char* data, std::size_t size) {
  for (;;) {
    if (Interrupted()) return 0;
    // Waits in short steps: a signal that arrives just before the wait
    // starts is still seen within a quarter of a second.
    struct pollfd ready = {STDIN_FILENO, POLLIN, 0};
    int events = OsPoll(&ready, 1, 250);
    if (events == 0 || (events < 0 && errno == EINTR)) continue;
    ssize_t got = OsRead(STDIN_FILENO, data, size);
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno != EINTR && errno != EAGAIN) return 0;
  }
}

void ConsoleDropTypedAhead() {
  if (OsIsatty(STDIN_FILENO)) (void)OsTcflush(STDIN_FILENO, TCIFLUSH);
}
