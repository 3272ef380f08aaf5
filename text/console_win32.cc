// The console on Windows. Standard output gets CR LF line ends, as every
// console program's text output does there.
#include <windows.h>

#include <string>

#include "text/console.h"
#include "text/interrupt.h"

bool ConsoleWrite(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  HANDLE h = GetStdHandle(STD_OUTPUT_HANDLE);
  const char* p = out.data();
  std::size_t left = out.size();
  while (left > 0) {
    DWORD put = 0;
    if (!WriteFile(h, p, static_cast<DWORD>(left), &put, nullptr) || put == 0) {
      return false;
    }
    p += put;
    left -= put;
  }
  return true;
}

std::size_t ConsoleRead(char* data, std::size_t size) {
  // The console's handler cancels a read that is waiting; one that has not
  // started yet is not started.
  if (Interrupted()) return 0;
  DWORD got = 0;
  if (!ReadFile(GetStdHandle(STD_INPUT_HANDLE), data, static_cast<DWORD>(size),
                &got, nullptr)) {
    return 0;
  }
  return got;
}

void ConsoleDropTypedAhead() {
  HANDLE h = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  if (GetConsoleMode(h, &mode)) FlushConsoleInputBuffer(h);
}
