// A run on Windows: the process set up, the help option, the length of a
// page name, and the cause of an error number.
#include <windows.h>

#include "run/process.h"
#include "text/interrupt.h"
#include "text/wide_win32.h"

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

// ERROR_DISK_QUOTA_EXCEEDED, which MinGW-w64's headers leave out.
constexpr DWORD kDiskQuotaExceeded = 1295;

// The Windows errors, mapped to the causes of their POSIX counterparts.
Cause CauseOf(int error) {
  switch (static_cast<DWORD>(error)) {
    case 0:
      return Cause::kNone;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_PRIVILEGE_NOT_HELD:
      return Cause::kRefused;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    case kDiskQuotaExceeded:
      return Cause::kNoSpace;
    case ERROR_FILE_TOO_LARGE:
      return Cause::kTooLarge;
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_BUFFER_OVERFLOW:
      return Cause::kNameTooLong;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
      return Cause::kInvalidName;
    case ERROR_CANT_RESOLVE_FILENAME:
      return Cause::kLinkLoop;
    case ERROR_TOO_MANY_LINKS:
      return Cause::kTooManyLinks;
    case ERROR_TOO_MANY_OPEN_FILES:
      return Cause::kTooManyFiles;
    case ERROR_WRITE_PROTECT:
      return Cause::kReadOnly;
    case ERROR_CRC:
    case ERROR_IO_DEVICE:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
    case ERROR_GEN_FAILURE:
      return Cause::kInputOutput;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return Cause::kMissing;
    case ERROR_DIRECTORY:
      return Cause::kNotFolder;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return Cause::kNameTaken;
    default:
      return Cause::kOther;
  }
}

int AccessRefusedError() { return static_cast<int>(ERROR_ACCESS_DENIED); }

int InputOutputError() { return static_cast<int>(ERROR_READ_FAULT); }
