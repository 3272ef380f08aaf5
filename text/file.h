// Raw binary file access. Two implementations, chosen by the build:
// file_posix.cc and file_win32.cc. Nothing here translates line ends;
// that is the text reader's and writer's job.
#ifndef BRANTIX_TEXT_FILE_H_
#define BRANTIX_TEXT_FILE_H_

#include <cstddef>
#include <cstdint>
#include <string>

/// An open file. Move-only; the destructor closes it best-effort, while
/// CloseFile() reports whether the close succeeded. The file keeps no error:
/// each call on it returns its own.
class File {
 public:
  File() = default;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  ~File();

  /// Whether the file is open.
  bool is_open() const { return handle_ != -1; }
  /// The system's handle, for the platform layer only.
  std::intptr_t handle() const { return handle_; }
  /// Takes |handle| over; the file must not be open.
  void Adopt(std::intptr_t handle) { handle_ = handle; }
  /// Gives the handle up without closing it.
  std::intptr_t Release();

 private:
  std::intptr_t handle_ = -1;
};

/// A folder held open for the length of a run. Every file the run creates,
/// replaces, removes or looks up there is reached through it: on POSIX by
/// its handle, so that a link in the typed path switched afterwards moves
/// nothing elsewhere; on Windows by its name, the folder held so that it
/// cannot be renamed or removed meanwhile. Move-only; the destructor lets
/// it go.
class Folder {
 public:
  Folder() = default;
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;
  Folder(Folder&& other) noexcept;
  Folder& operator=(Folder&& other) noexcept;
  ~Folder();

  bool is_open() const { return handle_ != -1; }
  /// The system's handle, for the platform layer only.
  std::intptr_t handle() const { return handle_; }
  /// Its name as the run got it, up to and including its last separator,
  /// or empty for the current folder: the start of the names of the files
  /// the run makes there, as messages give them.
  const std::string& path() const { return path_; }
  /// The error that keeps it from being flushed, 0 when it can be: where
  /// it could only be held without being read (POSIX).
  int flush_error() const { return flush_error_; }
  /// Takes |handle| over, for the platform layer only.
  void Adopt(std::intptr_t handle, const std::string& path, int flush_error);

 private:
  std::intptr_t handle_ = -1;
  std::string path_;
  int flush_error_ = 0;
};

/// The outcome of a call that can fail: the system's error number of that
/// very call when it failed, 0 when it succeeded. It tests as true on
/// success. A failure with no system cause (an interruption) has error
/// number 0 and |failed| set.
struct CallResult {
  int error = 0;
  bool failed = false;
  explicit operator bool() const { return error == 0 && !failed; }
};

/// The failure of a call, with the system's error number |error|.
inline CallResult CallFailed(int error) { return CallResult{error, true}; }

/// How an attempt to open a file for reading ended.
enum class OpenReadResult {
  kOk,
  kCannotOpen,   ///< Missing, or not accessible.
  kIsDirectory,  ///< The name is a folder: reading it is a read error.
  kNotRegular,   ///< A FIFO, a device or a socket: refused, left unread.
};

/// How an open ended, with the system's error number of the call that
/// failed (0 for kOk, and where the kind alone is the reason).
struct OpenResult {
  OpenReadResult kind = OpenReadResult::kOk;
  int error = 0;
  explicit operator bool() const { return kind == OpenReadResult::kOk; }
};

/// Whether the last component of a name may be a symbolic link.
enum class Links { kFollow, kRefuse };

/// Opens an existing regular file for reading. Never waits: a FIFO or a
/// device is opened without blocking, seen for what it is, and closed.
OpenResult OpenForReading(const std::string& path, File* file,
                          Links links = Links::kFollow);

/// Like OpenForReading(), but for reading and writing when the user may
/// write the file; |writable| tells which. Nothing is changed in the file.
OpenResult OpenWritableIfAllowed(const std::string& path, File* file,
                                 bool* writable);

/// Creates a file that must not exist yet, never through a link, for
/// reading and writing, readable and writable by its owner only. Fails,
/// among others, when the name is taken (NameTaken()).
CallResult CreateExclusive(const std::string& path, File* file);

/// Whether the system's error number |error| says that a name is taken.
bool NameTaken(int error);

/// A second handle on the same open file, in |copy|.
CallResult Duplicate(const File& file, File* copy);

/// What the program needs to know of a file: which file it is, its size,
/// when it last changed, and who may use it.
struct FileInfo {
  std::uint64_t device = 0;  ///< With |inode|, which file it is.
  std::uint64_t inode = 0;
  std::uint64_t size = 0;
  std::int64_t modified = 0;  ///< Last change of the text, nanoseconds.
  std::int64_t changed = 0;   ///< Last change of anything (POSIX ctime),
                              ///< which no user can set back.
  std::uint64_t links = 1;    ///< Names the file has.
  std::uint32_t mode = 0;     ///< Permission bits (POSIX).
  std::uint32_t owner = 0;    ///< Owner and group (POSIX).
  std::uint32_t group = 0;
};

/// The information of an open file.
CallResult GetFileInfo(File* file, FileInfo* info);

/// The information of the file |path| names, links followed. Sets |exists|
/// to false, and succeeds, when there is no such file.
CallResult GetNameInfo(const std::string& path, FileInfo* info, bool* exists);

/// Whether two infos describe the same file.
inline bool SameFile(const FileInfo& a, const FileInfo& b) {
  return a.device == b.device && a.inode == b.inode;
}

/// Whether the file is still as it was: the same file, of the same size,
/// with the same times.
inline bool Unchanged(const FileInfo& before, const FileInfo& now) {
  return SameFile(before, now) && before.size == now.size &&
         before.modified == now.modified && before.changed == now.changed;
}

// The calls below that take a Folder and a |path| reach the file |path|
// names in that folder: |path| is a name the run built from the folder's
// path() (or the page's), and only its last part is looked up in the held
// folder where the system allows it (POSIX).

/// Opens the folder of |path| (FolderPart(), the current folder when it is
/// empty) and holds it.
CallResult OpenFolder(const std::string& path, Folder* folder);

/// OpenWritableIfAllowed() in |folder|. A link as the last part is
/// followed unless |links| refuses it.
OpenResult OpenWritableIn(const Folder& folder, const std::string& path,
                          File* file, bool* writable,
                          Links links = Links::kFollow);

/// CreateExclusive() in |folder|.
CallResult CreateExclusiveIn(const Folder& folder, const std::string& path,
                             File* file);

/// GetNameInfo() in |folder|; a link as the last part is followed unless
/// |links| refuses it, and then described itself.
CallResult GetNameInfoIn(const Folder& folder, const std::string& path,
                         FileInfo* info, bool* exists,
                         Links links = Links::kFollow);

/// The information of the held folder itself.
CallResult GetFolderInfo(const Folder& folder, FileInfo* info);

/// The time now, in the nanoseconds of FileInfo's times.
std::int64_t TimeNow();

/// How an attempt to lock a file ended.
enum class LockResult { kLocked, kBusy, kUnsupported };

/// Takes the one exclusive lock of |file| without waiting, for as long as
/// it stays open: kBusy when another process holds it.
LockResult LockExclusive(const File& file);

/// Gives |to| the owner and the group of |like|, each where the system
/// allows it, then its permission bits. Sets |same_owner| to whether |to|
/// now has both the owner and the group of |like|. Fails when the
/// permissions could not be set. Where files carry no owner or mode
/// (Windows), does nothing and says the owner is the same.
CallResult CopyOwnerAndMode(const FileInfo& like, File* to, bool* same_owner);

/// Gives |to| every extended attribute of |from| (access-control lists
/// included) and removes those |from| does not have. Fails when any of
/// them could not be copied or removed.
CallResult CopyAttributes(File* from, File* to);

/// Writes what the system holds of |file| to the disk.
CallResult FlushToDisk(File* file);

/// Asks the system to start writing |length| bytes of |file| from |offset|
/// to the disk, without waiting, so that FlushToDisk() at the end has less
/// left to do while the program has other work. Best-effort: does nothing
/// where the system has no such call.
void StartFlushing(const File& file, std::uint64_t offset,
                   std::uint64_t length);

/// Moves the file's position to |offset| from its start.
CallResult SeekTo(File* file, std::uint64_t offset);

/// Moves the file's position back to its start.
inline CallResult RewindFile(File* file) { return SeekTo(file, 0); }

/// Cuts or extends the file to |length| bytes.
CallResult SetLength(File* file, std::uint64_t length);

/// Takes the disk's blocks for [offset, offset + length) of |file|, inside
/// its size, so that writing there later cannot find the disk full.
/// Fails when the disk is full, or the file would pass a
/// size limit. Where the system cannot take blocks ahead, writes zeros
/// there; where a file's blocks are all taken when it grows (Windows),
/// does nothing.
CallResult ReserveSpace(File* file, std::uint64_t offset, std::uint64_t length);

/// How a read ended: the count read, 0 at the end of the file, -1 on a read
/// error, with its error number, or once the run has been interrupted
/// (error number 0).
struct ReadResult {
  std::int64_t count = 0;
  int error = 0;
};

/// Reads up to |size| bytes.
ReadResult ReadSome(File* file, char* data, std::size_t size);

/// Writes all |size| bytes. Fails on a write error or, with error number 0,
/// once the run has been interrupted.
CallResult WriteAll(File* file, const char* data, std::size_t size);

/// Closes the file. Fails when the close reports an error; the file is
/// closed either way.
CallResult CloseFile(File* file);

/// Renames |from| to |to|, both in |folder|, replacing |to| when it is a
/// file, and writes the change of the folder to the disk. |open_target| is
/// a handle the program holds on |to|, or nullptr: where the system cannot
/// replace an open file (Windows) it is closed first.
CallResult RenameReplacing(const Folder& folder, const std::string& from,
                           const std::string& to, File* open_target);

/// Removes the file |path| of |folder|.
CallResult RemoveFile(const Folder& folder, const std::string& path);

/// Writes the entries of |folder| to the disk, so that a file created,
/// renamed or removed there survives a power loss. Fails when the folder
/// cannot be flushed; succeeds where the file system cannot flush a folder
/// at all.
CallResult FlushFolder(const Folder& folder);

/// The name of the file |path| designates, every link followed, so that
/// replacing that file keeps the links.
CallResult RealName(const std::string& path, std::string* real);

/// The folder part of |path|, up to and including its last separator;
/// empty when |path| has none.
std::string FolderPart(const std::string& path);

/// Whether this user may create a file in |folder|, asked without
/// creating one: fails with the system's refusal, or with the error that
/// kept it from telling.
CallResult MayCreateIn(const Folder& folder);

/// The user the program runs as (POSIX; 0 on Windows).
std::uint32_t CurrentUser();

/// Whether files carry an owner that the program can check (POSIX).
bool FilesHaveOwners();

/// A number that differs between processes running at the same time.
unsigned long ProcessNumber();

#endif  // BRANTIX_TEXT_FILE_H_
