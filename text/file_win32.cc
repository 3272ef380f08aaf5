// File access on Windows, through the Win32 API in binary: the C runtime's
// text mode would stop at a 0x1A byte.
#include <windows.h>

#include <utility>

#include "text/file.h"
#include "text/interrupt.h"

static HANDLE AsHandle(const File& file) {
  return reinterpret_cast<HANDLE>(file.handle);
}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    CloseFile(this);
    handle = other.handle;
    other.handle = -1;
  }
  return *this;
}

File::~File() { CloseFile(this); }

// Files are shared for reading, writing and deleting, so that holding the
// page open does not keep its replacement from being renamed over it.
static bool OpenWith(const std::string& path, DWORD access, DWORD creation,
                     DWORD flags, File* file) {
  HANDLE h = CreateFileA(path.c_str(), access,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, creation, flags, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  *file = File();
  file->handle = reinterpret_cast<std::intptr_t>(h);
  return true;
}

OpenReadResult OpenForReading(const std::string& path, File* file) {
  File opened;
  if (!OpenWith(path, GENERIC_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                &opened)) {
    // A folder cannot be opened as a file on Windows; report it the way
    // POSIX does, as a read error, rather than as a missing file.
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      return OpenReadResult::kIsDirectory;
    }
    return OpenReadResult::kCannotOpen;
  }
  // A device name (CON, AUX, NUL, COM1...) opens a device, not a file.
  if (GetFileType(AsHandle(opened)) != FILE_TYPE_DISK) {
    return OpenReadResult::kNotRegular;
  }
  *file = std::move(opened);
  return OpenReadResult::kOk;
}

bool OpenForWriting(const std::string& path, File* file) {
  return OpenWith(path, GENERIC_WRITE, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                  file);
}

bool CanOpenForWriting(const std::string& path) {
  File probe;
  return OpenWith(path, GENERIC_WRITE, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                  &probe);
}

bool CreateExclusive(const std::string& path, File* file) {
  return OpenWith(path, GENERIC_WRITE, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, file);
}

static std::uint64_t Join(DWORD high, DWORD low) {
  return (static_cast<std::uint64_t>(high) << 32) | low;
}

bool GetFileInfo(const File& file, FileInfo* info) {
  BY_HANDLE_FILE_INFORMATION data;
  if (!GetFileInformationByHandle(AsHandle(file), &data)) return false;
  info->regular = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
                  GetFileType(AsHandle(file)) == FILE_TYPE_DISK;
  info->device = data.dwVolumeSerialNumber;
  info->inode = Join(data.nFileIndexHigh, data.nFileIndexLow);
  info->size = Join(data.nFileSizeHigh, data.nFileSizeLow);
  info->modified =
      static_cast<std::int64_t>(Join(data.ftLastWriteTime.dwHighDateTime,
                                     data.ftLastWriteTime.dwLowDateTime)) *
      100;
  return true;
}

bool GetNameInfo(const std::string& path, FileInfo* info, bool* exists) {
  File handle;
  // No access asked: enough to read the information, also of a folder.
  if (!OpenWith(path, 0, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, &handle)) {
    DWORD error = GetLastError();
    *exists = false;
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
  }
  *exists = true;
  return GetFileInfo(handle, info);
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
bool CopyOwnerAndMode(const FileInfo&, const File&) { return true; }

bool FlushToDisk(const File& file) {
  return FlushFileBuffers(AsHandle(file)) != 0;
}

// The write-back starts on its own; FlushFileBuffers() waits for the rest.
void StartFlushing(const File&, std::uint64_t, std::uint64_t) {}

std::int64_t ReadSome(File* file, char* data, std::size_t size) {
  if (Interrupted()) return -1;
  DWORD got = 0;
  DWORD want = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
  if (!ReadFile(AsHandle(*file), data, want, &got, nullptr)) {
    // A pipe whose writer has gone is an ordinary end of input.
    return GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
  }
  return got;
}

bool WriteAll(File* file, const char* data, std::size_t size) {
  while (size > 0) {
    if (Interrupted()) return false;
    DWORD want = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD put = 0;
    if (!WriteFile(AsHandle(*file), data, want, &put, nullptr) || put == 0) {
      return false;
    }
    data += put;
    size -= put;
  }
  return true;
}

bool CloseFile(File* file) {
  if (!file->is_open()) return true;
  HANDLE h = AsHandle(*file);
  file->handle = -1;
  return CloseHandle(h) != 0;
}

bool RenameReplacing(const std::string& from, const std::string& to,
                     File* open_target) {
  // A file that is open cannot always be replaced: let it go first. The
  // run checks that the page is still the file it read just before this.
  if (open_target != nullptr) CloseFile(open_target);
  return MoveFileExA(from.c_str(), to.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool RemoveFile(const std::string& path) {
  return DeleteFileA(path.c_str()) != 0;
}

// Links are rare on Windows and the name is used as typed.
bool RealName(const std::string& path, std::string* real) {
  *real = path;
  return true;
}

std::string FolderPart(const std::string& path) {
  std::string::size_type cut = path.find_last_of("/\\:");
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

unsigned long ProcessNumber() { return GetCurrentProcessId(); }
