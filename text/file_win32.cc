// File access on Windows, through the Win32 API in binary: the C runtime's
// text mode would stop at a 0x1A byte.
#include <windows.h>

#include "text/file.h"

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

static bool OpenWith(const std::string& path, DWORD access, DWORD creation,
                     File* file) {
  HANDLE h = CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, creation, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  *file = File();
  file->handle = reinterpret_cast<std::intptr_t>(h);
  return true;
}

OpenReadResult OpenForReading(const std::string& path, File* file) {
  if (OpenWith(path, GENERIC_READ, OPEN_EXISTING, file)) {
    return OpenReadResult::kOk;
  }
  // A folder cannot be opened as a file on Windows; report it the way POSIX
  // does, as a read error, rather than as a missing file.
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return OpenReadResult::kIsDirectory;
  }
  return OpenReadResult::kCannotOpen;
}

bool OpenForWriting(const std::string& path, File* file) {
  return OpenWith(path, GENERIC_WRITE, CREATE_ALWAYS, file);
}

bool OpenForRewriting(const std::string& path, File* file) {
  return OpenWith(path, GENERIC_WRITE, OPEN_ALWAYS, file);
}

bool SetLength(File* file, std::uint64_t length) {
  LARGE_INTEGER position;
  position.QuadPart = static_cast<LONGLONG>(length);
  return SetFilePointerEx(AsHandle(*file), position, nullptr, FILE_BEGIN) &&
         SetEndOfFile(AsHandle(*file));
}

bool CreateExclusive(const std::string& path, File* file) {
  return OpenWith(path, GENERIC_WRITE, CREATE_NEW, file);
}

// Windows files carry access lists inherited from their folder, not a mode.
void CopyPermissions(const File&, const File&) {}

std::int64_t ReadSome(File* file, char* data, std::size_t size) {
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

bool RenameReplacing(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

bool RemoveFile(const std::string& path) {
  return DeleteFileA(path.c_str()) != 0;
}

std::string FolderPart(const std::string& path) {
  std::string::size_type cut = path.find_last_of("/\\:");
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

unsigned long ProcessNumber() { return GetCurrentProcessId(); }
