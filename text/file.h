// Raw binary file access. Two implementations, chosen by the build:
// file_posix.cc and file_win32.cc. Nothing here translates line ends;
// that is the text reader's and writer's job.
#ifndef BRANTIX_TEXT_FILE_H_
#define BRANTIX_TEXT_FILE_H_

#include <cstddef>
#include <cstdint>
#include <string>

/// An open file. Move-only; the destructor closes it best-effort, while
/// CloseFile() reports whether the close succeeded.
struct File {
  std::intptr_t handle = -1;

  File() = default;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  File(File&& other) noexcept : handle(other.handle) { other.handle = -1; }
  File& operator=(File&& other) noexcept;
  ~File();

  bool is_open() const { return handle != -1; }
};

/// How an attempt to open a file for reading ended.
enum class OpenReadResult {
  kOk,
  kCannotOpen,   ///< Missing, or not accessible.
  kIsDirectory,  ///< The name is a folder: reading it is a read error.
};

/// Opens an existing file for reading.
OpenReadResult OpenForReading(const std::string& path, File* file);

/// Creates or truncates a file for writing. Returns false on failure.
bool OpenForWriting(const std::string& path, File* file);

/// Opens a file for writing from its start without emptying it first,
/// creating it when missing: the old bytes stay until they are written over
/// or cut off with SetLength(). Returns false on failure.
bool OpenForRewriting(const std::string& path, File* file);

/// Cuts or extends the file to |length| bytes. Returns false on failure.
bool SetLength(File* file, std::uint64_t length);

/// Creates a file that must not exist yet, readable and writable by its
/// owner only. Returns false on failure, including when the name is taken.
bool CreateExclusive(const std::string& path, File* file);

/// Gives |to| the access permissions of |from|, best-effort: a copy of a
/// private file stays private. Does nothing where files carry no such mode.
void CopyPermissions(const File& from, const File& to);

/// Reads up to |size| bytes. Returns the count read, 0 at the end of the
/// file, -1 on a read error.
std::int64_t ReadSome(File* file, char* data, std::size_t size);

/// Writes all |size| bytes. Returns false on a write error.
bool WriteAll(File* file, const char* data, std::size_t size);

/// Closes the file. Returns false when the close reports an error; the file
/// is closed either way.
bool CloseFile(File* file);

/// Renames |from| to |to|, replacing |to| when it is a file.
/// Returns false on failure.
bool RenameReplacing(const std::string& from, const std::string& to);

/// Removes a file. Returns false on failure.
bool RemoveFile(const std::string& path);

/// The folder part of |path|, up to and including its last separator;
/// empty when |path| has none.
std::string FolderPart(const std::string& path);

/// A number that differs between processes running at the same time, to
/// build names of temporary files.
unsigned long ProcessNumber();

#endif  // BRANTIX_TEXT_FILE_H_
