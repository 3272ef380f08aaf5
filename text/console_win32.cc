// The console on Windows. Standard output gets CR LF line ends, as every
// console program's text output does there. Names in messages are UTF-8
// inside the program: a console is given them in UTF-16 (WriteConsoleW),
// so that each shows as typed whatever the console's code page; a file or
// a pipe gets bytes, in the ANSI code page when it holds every character
// of the text, as ANSI programs wrote them, otherwise in UTF-8. Answers
// typed at a console are read in UTF-16 (ReadConsoleW) and given to the
// program in the ANSI code page, the one Windows programs write text files
// in; input from a file or a pipe is taken as its bytes.
#include <windows.h>

#include <string>

#include "text/console.h"
#include "text/interrupt.h"
#include "text/wide_win32.h"

namespace {

// Whether |h| is a console rather than a file or a pipe.
bool IsConsole(HANDLE h) {
  DWORD mode = 0;
  return GetConsoleMode(h, &mode) != 0;
}

// Writes |text| whole to the console |h|, each LF as CR LF.
bool WriteToConsole(HANDLE h, std::wstring_view text) {
  std::wstring out;
  out.reserve(text.size() + 8);
  for (wchar_t c : text) {
    if (c == L'\n') out += L'\r';
    out += c;
  }
  const wchar_t* p = out.data();
  std::size_t left = out.size();
  while (left > 0) {
    DWORD put = 0;
    if (!WriteConsoleW(h, p, static_cast<DWORD>(left), &put, nullptr) ||
        put == 0) {
      return false;
    }
    p += put;
    left -= put;
  }
  return true;
}

// Writes the bytes |text| whole to the file or pipe |h|, each LF as CR LF.
bool WriteBytes(HANDLE h, std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
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

// Reads one line typed at the console |h| into |data|, in the ANSI code
// page: at most |size| / 2 UTF-16 units, which take at most |size| bytes
// there. A surrogate pair is not cut. Ctrl-Z at the start of a line is
// the end of input, as for a read of the console's bytes.
std::size_t ReadTyped(HANDLE h, char* data, std::size_t size) {
  std::wstring typed(size / 2 > 1 ? size / 2 : 1, L'\0');
  const DWORD want =
      static_cast<DWORD>(typed.size() > 1 ? typed.size() - 1 : typed.size());
  DWORD got = 0;
  if (!ReadConsoleW(h, typed.data(), want, &got, nullptr) || got == 0) {
    return 0;
  }
  const wchar_t last = typed[got - 1];
  if (got == want && want < typed.size() && last >= 0xD800 && last <= 0xDBFF) {
    DWORD more = 0;
    if (ReadConsoleW(h, typed.data() + got, 1, &more, nullptr)) got += more;
  }
  typed.resize(got);
  if (typed[0] == 0x1A) return 0;
  const std::string ansi = AnsiOf(typed);
  const std::size_t n = ansi.size() < size ? ansi.size() : size;
  ansi.copy(data, n);
  return n;
}

// Writes |text| to the standard handle |which|, as the file header says.
bool WriteText(DWORD which, std::string_view text) {
  HANDLE h = GetStdHandle(which);
  std::wstring wide;
  if (!Utf16Of(text, &wide)) return WriteBytes(h, text);
  if (IsConsole(h)) return WriteToConsole(h, wide);
  std::string ansi;
  return WriteBytes(h,
                    ExactAnsiOf(wide, &ansi) ? std::string_view(ansi) : text);
}

}  // namespace

bool ConsoleWrite(std::string_view text) {
  return WriteText(STD_OUTPUT_HANDLE, text);
}

bool ConsoleWriteError(std::string_view text) {
  return WriteText(STD_ERROR_HANDLE, text);
}

bool ConsoleShowsUtf8() { return IsConsole(GetStdHandle(STD_OUTPUT_HANDLE)); }

std::size_t ConsoleRead(char* data, std::size_t size) {
  // The console's handler cancels a read that is waiting; one that has not
  // started yet is not started.
  if (Interrupted() || size == 0) return 0;
  HANDLE h = GetStdHandle(STD_INPUT_HANDLE);
  if (IsConsole(h)) return ReadTyped(h, data, size);
  DWORD got = 0;
  if (!ReadFile(h, data, static_cast<DWORD>(size), &got, nullptr)) {
    return 0;
  }
  return got;
}

void ConsoleDropTypedAhead() {
  HANDLE h = GetStdHandle(STD_INPUT_HANDLE);
  if (IsConsole(h)) FlushConsoleInputBuffer(h);
}
