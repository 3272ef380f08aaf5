// The entry on Windows. The command line is taken as the system holds it,
// in UTF-16 (wmain, linked with -municode; the C runtime splits it by the
// usual rules), so that a name the ANSI code page cannot hold arrives
// whole rather than with "best fit" letters: "Dvořák.htm" is not taken
// for "Dvorák.htm". The program keeps each argument in UTF-8.
#include <string>
#include <vector>

#include "run/run.h"
#include "text/wide_win32.h"

int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> arguments;
  arguments.reserve(static_cast<std::size_t>(argc));
  for (int i = 0; i < argc; ++i) arguments.push_back(Utf8Of(argv[i]));
  std::vector<char*> pointers;
  for (std::string& argument : arguments) pointers.push_back(argument.data());
  pointers.push_back(nullptr);
  return RealMain(argc, pointers.data());
}
