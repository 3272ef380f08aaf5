// A run on Windows: the process set up, the help option, the length of a
// page name, the advice for an error number, and the last lines of --help
// (the README comes in the zip beside brantix.exe).
#include <windows.h>

#include "run/messages.h"
#include "run/process.h"
#include "text/interrupt.h"
#include "text/wide_win32.h"

extern const char kMsgHelpMore[] =
    "Noms de fichier en toute langue, chemins de plus de 260 caracteres "
    "acceptes.\n"
    "Plus de details : le fichier README.md, a cote de brantix.exe\n";

void PrepareProcess() { WatchInterruptions(); }

bool AsksForHelp(std::string_view argument) {
  return argument == "--help" || argument == "-h" || argument == "/?";
}

std::size_t TypedLength(const std::string& nom_du_fichier) {
  std::wstring wide;
  std::string ansi;
  if (!Utf16Of(nom_du_fichier, &wide)) return nom_du_fichier.size();
  return ExactAnsiOf(wide, &ansi) ? ansi.size() : CharacterCount(wide);
}

FailureKind KindOf(int error) {
  switch (static_cast<DWORD>(error)) {
    case 0:
    // A name that is a folder, missing, taken or not valid: the message
    // says enough, as on POSIX.
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
    case ERROR_INVALID_NAME:
    case ERROR_DIRECTORY:
    case ERROR_FILENAME_EXCED_RANGE:
      return FailureKind::kNone;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return FailureKind::kNoSpace;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
      return FailureKind::kRefused;
    case ERROR_TOO_MANY_OPEN_FILES:
      return FailureKind::kTooManyFiles;
    default:
      return FailureKind::kOther;
  }
}
