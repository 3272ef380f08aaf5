// What differs between platforms around a run: the process set up for it,
// the options it recognises, and the advice that a system's error number
// calls for. Two implementations, chosen by the build: process_posix.cc and
// process_win32.cc, which also hold the last line of --help.
#ifndef BRANTIX_RUN_PROCESS_H_
#define BRANTIX_RUN_PROCESS_H_

#include <cstddef>
#include <string>
#include <string_view>

/// Sets up the process for the run: interruptions are noted rather than
/// fatal, and a file size limit or a closed output gives a write error that
/// the program reports, not a signal that kills it.
void PrepareProcess();

/// Whether |argument|, the first on the command line, asks for the usage:
/// "--help" or "-h", and on Windows also "/?", as its console programs take.
bool AsksForHelp(std::string_view argument);

/// The length of the page name |nom_du_fichier| as the program counts it:
/// the bound of the name (250) and of the link path. On POSIX systems, its
/// bytes as typed (UTF-8 in most terminals). On Windows, for a name that
/// the ANSI code page holds exactly, its bytes in that code page (a
/// double-byte character counts two), as an ANSI program counted it; for
/// any other name, its characters as typed, a surrogate pair counting once.
std::size_t TypedLength(const std::string& nom_du_fichier);

/// What kind of failure a system's error number stands for, as far as the
/// advice given to the user goes.
enum class FailureKind {
  kNone,          ///< No error number: an interruption, or a check.
  kNoSpace,       ///< The disk or the user's quota is full.
  kRefused,       ///< Access refused, or a read-only file system.
  kTooManyFiles,  ///< Too many open files.
  kOther,         ///< Any other input/output error.
};

/// The kind of the system's error number |error| (0 gives kNone).
FailureKind KindOf(int error);

/// Whether a failed open with the system's error number |error| is the
/// system's failure (a disk, too many open files) rather than the name's
/// (missing, refused, a link): an error to report, not a file to miss.
inline bool SystemFailed(int error) {
  const FailureKind kind = KindOf(error);
  return kind == FailureKind::kOther || kind == FailureKind::kTooManyFiles;
}

#endif  // BRANTIX_RUN_PROCESS_H_
