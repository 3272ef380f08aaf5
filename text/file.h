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
  kNotRegular,   ///< A FIFO, a device or a socket: refused, left unread.
};

/// Opens an existing regular file for reading. Never waits: a FIFO or a
/// device is opened without blocking, seen for what it is, and closed.
OpenReadResult OpenForReading(const std::string& path, File* file);

/// Creates or truncates a file for writing. Returns false on failure.
bool OpenForWriting(const std::string& path, File* file);

/// Whether the file may be opened for writing. It is opened and closed
/// again without a byte being changed.
bool CanOpenForWriting(const std::string& path);

/// Creates a file that must not exist yet, readable and writable by its
/// owner only. Returns false on failure, including when the name is taken.
bool CreateExclusive(const std::string& path, File* file);

/// What the program needs to know of a file: which file it is, its size,
/// when it last changed, and who may use it.
struct FileInfo {
  bool regular = false;
  std::uint64_t device = 0;  ///< With |inode|, which file it is.
  std::uint64_t inode = 0;
  std::uint64_t size = 0;
  std::int64_t modified = 0;  ///< Last change, in nanoseconds.
  std::uint32_t mode = 0;     ///< Permission bits (POSIX).
  std::uint32_t owner = 0;    ///< Owner and group (POSIX).
  std::uint32_t group = 0;
};

/// The information of an open file. Returns false on failure.
bool GetFileInfo(const File& file, FileInfo* info);

/// The information of the file |path| names, links followed. Sets |exists|
/// to false, and returns true, when there is no such file.
bool GetNameInfo(const std::string& path, FileInfo* info, bool* exists);

/// Whether two infos describe the same file.
inline bool SameFile(const FileInfo& a, const FileInfo& b) {
  return a.device == b.device && a.inode == b.inode;
}

/// How an attempt to lock a file ended.
enum class LockResult { kLocked, kBusy, kUnsupported };

/// Takes the one exclusive lock of |file| without waiting, for as long as
/// it stays open: kBusy when another process holds it.
LockResult LockExclusive(const File& file);

/// Gives |to| the owner and group of |like| where the system allows it,
/// then its permission bits. Returns false when the permissions could not
/// be set. Does nothing where files carry no such mode.
bool CopyOwnerAndMode(const FileInfo& like, const File& to);

/// Writes what the system holds of |file| to the disk.
bool FlushToDisk(const File& file);

/// Asks the system to start writing |length| bytes of |file| from |offset|
/// to the disk, without waiting, so that FlushToDisk() at the end has less
/// left to do while the program has other work. Best-effort: does nothing
/// where the system has no such call.
void StartFlushing(const File& file, std::uint64_t offset,
                   std::uint64_t length);

/// Reads up to |size| bytes. Returns the count read, 0 at the end of the
/// file, -1 on a read error or once the run has been interrupted.
std::int64_t ReadSome(File* file, char* data, std::size_t size);

/// Writes all |size| bytes. Returns false on a write error or once the run
/// has been interrupted.
bool WriteAll(File* file, const char* data, std::size_t size);

/// Closes the file. Returns false when the close reports an error; the file
/// is closed either way.
bool CloseFile(File* file);

/// Renames |from| to |to|, replacing |to| when it is a file, and writes the
/// change of the folder to the disk. |open_target| is a handle the program
/// holds on |to|, or nullptr: where the system cannot replace an open file
/// (Windows) it is closed first. Returns false when the rename failed.
bool RenameReplacing(const std::string& from, const std::string& to,
                     File* open_target = nullptr);

/// Removes a file. Returns false on failure.
bool RemoveFile(const std::string& path);

/// The name of the file |path| designates, every link followed, so that
/// replacing that file keeps the links. Returns false on failure.
bool RealName(const std::string& path, std::string* real);

/// The folder part of |path|, up to and including its last separator;
/// empty when |path| has none.
std::string FolderPart(const std::string& path);

/// A number that differs between processes running at the same time, to
/// build names of temporary files.
unsigned long ProcessNumber();

#endif  // BRANTIX_TEXT_FILE_H_
