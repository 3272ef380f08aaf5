// What differs between platforms around a run: the process set up for it,
// the options it recognises, and what a system's error number says
// happened. Two implementations, chosen by the build: process_posix.cc and
// process_win32.cc.
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

/// What a system's error number says happened: each has its own words in
/// the messages. POSIX numbers and Windows errors map to the same causes.
enum class Cause {
  kNone,          ///< No error number: the step alone is the reason.
  kRefused,       ///< Access refused.
  kNoSpace,       ///< The disk or the user's quota is full.
  kTooLarge,      ///< The file would pass a file size limit.
  kNameTooLong,   ///< A name, or a part of it, is too long.
  kInvalidName,   ///< A name the file system does not take (Windows).
  kLinkLoop,      ///< Too many symbolic links to follow.
  kTooManyLinks,  ///< A file or folder with too many links.
  kTooManyFiles,  ///< Too many open files.
  kReadOnly,      ///< A read-only file system.
  kInputOutput,   ///< An input-output error of the disk.
  kMissing,       ///< No such file or folder.
  kFolder,        ///< The name is a folder.
  kNotFolder,     ///< A part of the path is not a folder.
  kNameTaken,     ///< The name is taken.
  kOther,         ///< Any other: the message gives the number itself.
};

/// The cause of the system's error number |error| (0 gives kNone).
Cause CauseOf(int error);

/// The system's error number of an access refused, for a refusal that the
/// program sees before the system gives it.
int AccessRefusedError();

/// The system's error number of an input-output error, for a file that
/// comes short of the bytes the program wrote to it.
int InputOutputError();

/// Whether a failed open with the system's error number |error| is the
/// system's failure (a disk, too many open files, anything unforeseen)
/// rather than the name's (missing, refused, a link): an error to report,
/// not a file to miss.
inline bool SystemFailed(int error) {
  const Cause cause = CauseOf(error);
  return cause == Cause::kInputOutput || cause == Cause::kTooManyFiles ||
         cause == Cause::kOther;
}

#endif  // BRANTIX_RUN_PROCESS_H_
