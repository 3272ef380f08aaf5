// File access on Windows, through the Win32 API in binary: the C runtime's
// text mode would stop at a 0x1A byte. Names come in UTF-8 and go to the
// "W" calls in UTF-16 (WideName()), so that any name works, whatever the
// ANSI code page; the byte work on names (FolderPart(), IsDeviceName())
// is exact on UTF-8, where the byte 0x5C is always a backslash.
#include <windows.h>

#include <cctype>
#include <utility>

#include "text/file.h"
#include "text/interrupt.h"
#include "text/wide_win32.h"

static HANDLE AsHandle(const File& file) {
  return reinterpret_cast<HANDLE>(file.handle());
}

// The failure of the call that just failed, from its last error.
static CallResult Failed() {
  return CallFailed(static_cast<int>(GetLastError()));
}

// |path| as the "W" calls take it: in UTF-16; and when its full path is
// too long for the ordinary form (MAX_PATH characters or more), that full
// path in the "\\?\" form, which has no such limit ("\\?\UNC\" for a
// network share). GetFullPathNameW() first applies the current folder,
// ".", "..", "/" and the trailing dots and blanks the way every Win32 call
// does, so that the long form names the file the short one would. Every
// name derived from the page's (its backup, temporary files, copies) goes
// through here, so all take the same full form beside the page.
static std::wstring WideName(const std::string& path) {
  std::wstring name;
  // A name that is not UTF-8 cannot come from the command line; should one
  // come, each of its bytes is taken for one character.
  if (!Utf16Of(path, &name)) {
    name.clear();
    for (char c : path)
      name += static_cast<wchar_t>(static_cast<unsigned char>(c));
  }
  if (name.starts_with(L"\\\\?\\")) return name;
  const DWORD size = GetFullPathNameW(name.c_str(), 0, nullptr, nullptr);
  if (size == 0) return name;
  std::wstring full(size, L'\0');
  const DWORD got = GetFullPathNameW(name.c_str(), size, full.data(), nullptr);
  if (got == 0 || got >= size) return name;
  full.resize(got);
  if (full.size() < MAX_PATH || full.starts_with(L"\\\\.\\")) return name;
  if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

// Files are shared for reading, writing and deleting, so that holding the
// page open does not keep its replacement from being renamed over it.
static bool OpenWith(const std::string& path, DWORD access, DWORD creation,
                     DWORD flags, File* file) {
  HANDLE h = CreateFileW(WideName(path).c_str(), access,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, creation, flags, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  *file = File();
  file->Adopt(reinterpret_cast<std::intptr_t>(h));
  return true;
}

// Whether the last part of |path| names a device (CON, NUL, COM1,
// con.htm...): Windows opens the device whatever the extension.
static bool IsDeviceName(const std::string& path) {
  std::string::size_type cut = path.find_last_of("/\\:");
  std::string base = cut == std::string::npos ? path : path.substr(cut + 1);
  base = base.substr(0, base.find('.'));
  while (!base.empty() && (base.back() == ' ')) base.pop_back();
  for (char& c : base)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" ||
      base == "CONIN$" || base == "CONOUT$") {
    return true;
  }
  return base.size() == 4 &&
         (base.starts_with("COM") || base.starts_with("LPT")) &&
         base[3] >= '1' && base[3] <= '9';
}

// What a name that did not open is: a folder, a device or nothing, with
// the error of the open.
static OpenResult OpenFailure(const std::string& path) {
  const int error = static_cast<int>(GetLastError());
  // A folder cannot be opened as a file on Windows; report it the way
  // POSIX does, as a read error, rather than as a missing file.
  DWORD attributes = GetFileAttributesW(WideName(path).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return {OpenReadResult::kIsDirectory, error};
  }
  return {IsDeviceName(path) ? OpenReadResult::kNotRegular
                             : OpenReadResult::kCannotOpen,
          error};
}

static OpenResult KeepIfRegular(File opened, const std::string& path,
                                File* file) {
  // A device name opens a device, not a file.
  if (IsDeviceName(path) || GetFileType(AsHandle(opened)) != FILE_TYPE_DISK) {
    return {OpenReadResult::kNotRegular, 0};
  }
  *file = std::move(opened);
  return {};
}

OpenResult OpenForReading(const std::string& path, File* file, Links) {
  File opened;
  if (!OpenWith(path, GENERIC_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                &opened)) {
    return OpenFailure(path);
  }
  return KeepIfRegular(std::move(opened), path, file);
}

OpenResult OpenWritableIfAllowed(const std::string& path, File* file,
                                 bool* writable) {
  File opened;
  *writable = OpenWith(path, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, &opened);
  if (!*writable) {
    // A file this user may only read, or one that another program keeps
    // from being written; any other failure, of the disk say, is the
    // open's.
    const DWORD error = GetLastError();
    if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION &&
        error != ERROR_LOCK_VIOLATION && error != ERROR_WRITE_PROTECT) {
      return OpenFailure(path);
    }
    if (!OpenWith(path, GENERIC_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                  &opened)) {
      return OpenFailure(path);
    }
  }
  return KeepIfRegular(std::move(opened), path, file);
}

// Names are resolved again at each call: the folder is held, and the
// calls below are those that take a name, on the name the run built.
OpenResult OpenWritableIn(const Folder&, const std::string& path, File* file,
                          bool* writable, Links) {
  return OpenWritableIfAllowed(path, file, writable);
}

Folder::~Folder() {
  if (is_open()) CloseHandle(reinterpret_cast<HANDLE>(handle()));
}

CallResult OpenFolder(const std::string& path, Folder* folder) {
  const std::string name = FolderPart(path);
  const std::wstring wide = WideName(name.empty() ? "." : name);
  // Held without FILE_SHARE_DELETE, so that nobody can rename or remove it
  // while the run lasts; Windows checks the sharing only of a handle that
  // may read, hence the listing. A folder this user may not list is held
  // by its attributes alone.
  HANDLE h = INVALID_HANDLE_VALUE;
  for (DWORD access : {FILE_LIST_DIRECTORY, FILE_READ_ATTRIBUTES}) {
    h = CreateFileW(wide.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                    nullptr);
    if (h != INVALID_HANDLE_VALUE || GetLastError() != ERROR_ACCESS_DENIED) {
      break;
    }
  }
  if (h == INVALID_HANDLE_VALUE) return Failed();
  *folder = Folder();
  folder->Adopt(reinterpret_cast<std::intptr_t>(h), name, 0);
  return {};
}

CallResult CreateExclusiveIn(const Folder&, const std::string& path,
                             File* file) {
  return CreateExclusive(path, file);
}

CallResult CreateExclusive(const std::string& path, File* file) {
  if (OpenWith(path, GENERIC_READ | GENERIC_WRITE, CREATE_NEW,
               FILE_ATTRIBUTE_NORMAL, file)) {
    return {};
  }
  return Failed();
}

bool NameTaken(int error) {
  return static_cast<DWORD>(error) == ERROR_FILE_EXISTS ||
         static_cast<DWORD>(error) == ERROR_ALREADY_EXISTS;
}

CallResult Duplicate(const File& file, File* copy) {
  HANDLE h = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), AsHandle(file), GetCurrentProcess(),
                       &h, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
    return Failed();
  }
  *copy = File();
  copy->Adopt(reinterpret_cast<std::intptr_t>(h));
  return {};
}

static std::uint64_t Join(DWORD high, DWORD low) {
  return (static_cast<std::uint64_t>(high) << 32) | low;
}

// The information of the file or folder open as |handle|.
static CallResult InfoOf(HANDLE handle, FileInfo* info) {
  BY_HANDLE_FILE_INFORMATION data;
  if (!GetFileInformationByHandle(handle, &data)) return Failed();
  // Every file the program compares lies in one folder, so on one volume:
  // the file index alone tells them apart. The volume's serial number is
  // left out, as Wine gives 0 for a file created through a handle and the
  // real serial for the same file opened by name.
  info->device = 0;
  info->inode = Join(data.nFileIndexHigh, data.nFileIndexLow);
  info->size = Join(data.nFileSizeHigh, data.nFileSizeLow);
  info->modified =
      static_cast<std::int64_t>(Join(data.ftLastWriteTime.dwHighDateTime,
                                     data.ftLastWriteTime.dwLowDateTime)) *
      100;
  info->changed = info->modified;
  info->links = data.nNumberOfLinks;
  return {};
}

CallResult GetFileInfo(File* file, FileInfo* info) {
  return InfoOf(AsHandle(*file), info);
}

CallResult GetFolderInfo(const Folder& folder, FileInfo* info) {
  return InfoOf(reinterpret_cast<HANDLE>(folder.handle()), info);
}

// The result of a call on a name: |done|, or the last error.
static CallResult Named(bool done) { return done ? CallResult{} : Failed(); }

CallResult GetNameInfo(const std::string& path, FileInfo* info, bool* exists) {
  File handle;
  // No access asked: enough to read the information, also of a folder.
  if (!OpenWith(path, 0, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, &handle)) {
    DWORD error = GetLastError();
    *exists = false;
    return Named(error == ERROR_FILE_NOT_FOUND ||
                 error == ERROR_PATH_NOT_FOUND);
  }
  *exists = true;
  return GetFileInfo(&handle, info);
}

// Links are followed, as RealName() leaves the name as typed.
CallResult GetNameInfoIn(const Folder&, const std::string& path, FileInfo* info,
                         bool* exists, Links) {
  return GetNameInfo(path, info, exists);
}

std::int64_t TimeNow() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return static_cast<std::int64_t>(
             Join(now.dwHighDateTime, now.dwLowDateTime)) *
         100;
}

LockResult LockExclusive(const File& file) {
  // One byte far beyond the end of any page: other programs can still read
  // and write the page, only another brantix is kept out.
  OVERLAPPED where = {};
  where.Offset = 0;
  where.OffsetHigh = 0x7FFFFFFF;
  if (LockFileEx(AsHandle(file),
                 LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                 &where)) {
    return LockResult::kLocked;
  }
  return GetLastError() == ERROR_LOCK_VIOLATION ? LockResult::kBusy
                                                : LockResult::kUnsupported;
}

// Windows files carry access lists inherited from their folder, not a mode.
CallResult CopyOwnerAndMode(const FileInfo&, File*, bool* same_owner) {
  *same_owner = true;
  return {};
}

CallResult CopyAttributes(File*, File*) { return {}; }

CallResult FlushToDisk(File* file) {
  return FlushFileBuffers(AsHandle(*file)) != 0 ? CallResult{} : Failed();
}

// The write-back starts on its own; FlushFileBuffers() waits for the rest.
void StartFlushing(const File&, std::uint64_t, std::uint64_t) {}

CallResult SeekTo(File* file, std::uint64_t offset) {
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(offset);
  return SetFilePointerEx(AsHandle(*file), at, nullptr, FILE_BEGIN) != 0
             ? CallResult{}
             : Failed();
}

// A file that grows has its blocks taken at once: there is nothing left to
// take.
CallResult ReserveSpace(File*, std::uint64_t, std::uint64_t) { return {}; }

CallResult SetLength(File* file, std::uint64_t length) {
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(length);
  return SetFilePointerEx(AsHandle(*file), at, nullptr, FILE_BEGIN) != 0 &&
                 SetEndOfFile(AsHandle(*file)) != 0
             ? CallResult{}
             : Failed();
}

ReadResult ReadSome(File* file, char* data, std::size_t size) {
  if (Interrupted()) return {-1, 0};
  DWORD got = 0;
  DWORD want = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
  if (!ReadFile(AsHandle(*file), data, want, &got, nullptr)) {
    // A pipe whose writer has gone is an ordinary end of input.
    const DWORD error = GetLastError();
    if (error == ERROR_BROKEN_PIPE) return {0, 0};
    return {-1, static_cast<int>(error)};
  }
  return {got, 0};
}

CallResult WriteAll(File* file, const char* data, std::size_t size) {
  while (size > 0) {
    if (Interrupted()) return CallFailed(0);
    DWORD want = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD put = 0;
    if (!WriteFile(AsHandle(*file), data, want, &put, nullptr)) {
      return Failed();
    }
    if (put == 0) return CallFailed(ERROR_WRITE_FAULT);
    data += put;
    size -= put;
  }
  return {};
}

CallResult CloseFile(File* file) {
  if (!file->is_open()) return {};
  HANDLE h = reinterpret_cast<HANDLE>(file->Release());
  return CloseHandle(h) != 0 ? CallResult{} : Failed();
}

// Windows writes a folder's entries on its own.
CallResult FlushFolder(const Folder&) { return {}; }

CallResult RenameReplacing(const Folder&, const std::string& from,
                           const std::string& to, File* open_target) {
  // A file that is open cannot always be replaced: let it go first. The
  // run checks that the page is still the file it read just before this,
  // and opens it again, checked, should the rename be refused.
  if (open_target != nullptr) CloseFile(open_target);
  return Named(
      MoveFileExW(WideName(from).c_str(), WideName(to).c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0);
}

CallResult RemoveFile(const Folder&, const std::string& path) {
  return Named(DeleteFileW(WideName(path).c_str()) != 0);
}

// Links are rare on Windows and the name is used as typed.
CallResult RealName(const std::string& path, std::string* real) {
  *real = path;
  return {};
}

std::string FolderPart(const std::string& path) {
  std::string::size_type cut = path.find_last_of("/\\:");
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

std::uint32_t CurrentUser() { return 0; }

bool FilesHaveOwners() { return false; }

unsigned long ProcessNumber() { return GetCurrentProcessId(); }

CallResult MayCreateIn(const Folder&) { return {}; }
