// The console: messages and prompts on standard output, answers from
// standard input. Two implementations, chosen by the build:
// console_posix.cc and console_win32.cc.
#ifndef BRANTIX_TEXT_CONSOLE_H_
#define BRANTIX_TEXT_CONSOLE_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

/// Writes |text| to standard output at once, so that it is visible before
/// the program waits or ends. Returns false when it could not be written.
bool ConsoleWrite(std::string_view text);

/// Whether standard output is a console that shows UTF-8 text as its
/// characters: a terminal whose locale is UTF-8, or a Windows console,
/// which is given them in UTF-16.
bool ConsoleShowsUtf8();

/// Writes |text| to the error stream, as ConsoleWrite() does to standard
/// output: words for the user that scripts reading the output do not get.
bool ConsoleWriteError(std::string_view text);

/// Reads up to |size| bytes of standard input, as one read delivers them.
/// Returns the count, or 0 at the end of input, on a read error or once the
/// run has been interrupted.
std::size_t ConsoleRead(char* data, std::size_t size);

/// Drops what has been typed at a terminal but not yet read by the program.
/// Does nothing when standard input is not a terminal.
void ConsoleDropTypedAhead();

/// Standard input as the program receives it: read in blocks into its own
/// buffer, the way a C runtime does.
struct ConsoleInput {
  static constexpr std::size_t kBlock = 4096;
  char buffer[kBlock];
  std::size_t pos = 0;
  std::size_t len = 0;
  bool at_end = false;
};

/// The next byte of standard input, or -1 at the end of input.
int NextInputByte(ConsoleInput* input);

/// Drops everything received and not yet used, and what has been typed
/// ahead at a terminal: the next read starts from fresh input.
void DropReceivedInput(ConsoleInput* input);

#endif  // BRANTIX_TEXT_CONSOLE_H_
