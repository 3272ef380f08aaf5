// Text files: every file the program touches is read and written through
// these, in binary, with the line-end translation done here on every
// platform. On reading, CR LF becomes LF; on writing, LF becomes CR LF.
// Every other byte, a lone CR, 0x1A and NUL included, passes unchanged.
//
// The reader turns each LF that does not follow a CR into CR LF as it reads,
// once: what it holds are the bytes the file has as a text file written
// back, so the text it passes over can be written out as it is.
#ifndef BRANTIX_TEXT_TEXT_FILE_H_
#define BRANTIX_TEXT_TEXT_FILE_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "text/checksum.h"
#include "text/file.h"
#include "text/line_ends.h"

/// Longest line piece: a longer line arrives as several pieces.
constexpr std::size_t kPieceMax = 511;

/// Size of the read and write buffers.
constexpr std::size_t kTextBufferSize = 256 * 1024;

/// The most bytes the reader keeps in view when it reads more: two pieces.
constexpr std::size_t kViewKept = 2 * (kPieceMax + 1);

/// The length of the piece that starts at |bytes|' first byte, in bytes
/// whose every LF follows a CR: up to and including the first LF, or
/// kPieceMax bytes, a CR LF pair counting as one. |bytes| holds at least
/// kPieceMax + 1 bytes, or all that is left.
inline std::size_t PieceLength(std::string_view bytes) {
  const std::size_t window =
      bytes.size() < kPieceMax + 1 ? bytes.size() : kPieceMax + 1;
  const std::size_t lf = FindLf(bytes.data(), window);
  // An LF at kPieceMax follows its CR: the text has kPieceMax bytes.
  if (lf < window) return lf + 1;
  return window < kPieceMax ? window : kPieceMax;
}

/// Result of asking for the next line piece.
enum class PieceResult { kPiece, kEnd, kError };

/// How a copy or a rewrite of text from a reader to a writer ended.
enum class TextEnd { kOk, kReadError, kWriteError };

/// A text file open for writing through one large buffer, or text written
/// to a string in memory.
class TextWriter {
 public:
  /// A writer with nowhere to write yet: see Start().
  TextWriter() = default;
  /// Writes to |file| through a buffer of |capacity| bytes (at least 2).
  explicit TextWriter(File file, std::size_t capacity = kTextBufferSize);
  /// Appends to |sink| through a buffer of |capacity| bytes (at least 2).
  explicit TextWriter(std::string* sink,
                      std::size_t capacity = kTextBufferSize);
  TextWriter(const TextWriter&) = delete;
  TextWriter& operator=(const TextWriter&) = delete;

  /// Starts writing |file|, as the constructor would.
  void Start(File file, std::size_t capacity = kTextBufferSize);

  /// Starts writing |file| from |offset|, going there before each write:
  /// a reader of the same file, on a handle that shares its position, may
  /// read it meanwhile (TextReader::ReadFirstBytesOnly()). At most |room|
  /// bytes: a write beyond fails, with no error number, and overflowed().
  void StartAt(File file, std::uint64_t offset, std::uint64_t room,
               std::size_t capacity = kTextBufferSize);

  /// Whether a write failed for want of the room of StartAt().
  bool overflowed() const { return overflowed_; }

  /// From now on, every byte written is also added to |sum|.
  void SumWhileWriting(Checksum* sum) { sum_ = sum; }

  /// The bytes written so far, or counted after Discard().
  std::uint64_t written() const { return written_ + used_; }

  /// From now on, what is written goes nowhere, only counted: for a
  /// preview, which needs the rewrite's work but not its bytes, and for the
  /// size of a page that will be written in place.
  void Discard() {
    discard_ = true;
    flush_behind_ = false;
    // No room: every write goes straight to WriteOut(), which counts it,
    // uncopied.
    Drain();
    capacity_ = 0;
  }

  /// From now on, each part of kFlushBehindStep bytes starts going to the
  /// disk as soon as it is written, for a file flushed when finished.
  void FlushBehind() { flush_behind_ = true; }

  /// Writes |text|, each LF as CR LF. Returns false when a write has
  /// failed, now or earlier.
  bool WriteText(std::string_view text);

  /// Writes |bytes| as they are: text whose line ends are already CR LF.
  /// Returns false when a write has failed, now or earlier. Inline while
  /// the bytes fit in the buffer, as the rewrite's spans and cells do.
  bool WriteUnchanged(std::string_view bytes) {
    if (!failed_ && bytes.size() <= capacity_ - used_) {
      if (!bytes.empty()) {
        std::memcpy(buffer_.get() + used_, bytes.data(), bytes.size());
      }
      used_ += bytes.size();
      return true;
    }
    return WriteUnchangedBeyond(bytes);
  }

  /// Writes |bytes| as they are, like WriteUnchanged(), but straight to
  /// the file after what the buffer holds, uncopied: for runs as long as
  /// a read. Returns false when a write has failed, now or earlier.
  bool WriteStraight(std::string_view bytes);

  /// Whether a write has failed; nothing more is written then.
  bool failed() const { return failed_; }

  /// The system's error number of the write that failed, once failed(): the
  /// first failure's, which stopped the writer, not any later call's.
  int error() const { return error_; }

  /// Writes out what the buffer holds, without finishing the file: for a
  /// writer into a string, whose text is then whole. Fails when a write
  /// failed, now or earlier. The program's files end with FinishToDisk().
  CallResult WriteOutBuffer();

  /// Writes out the buffer, writes the file to the disk and closes it, so
  /// that it can replace another without risk. Fails with the error of the
  /// first of the writes, the flush and the close that failed. Without
  /// |to_disk|, the file is only written out and closed: for a file that is
  /// read back, never renamed.
  CallResult FinishToDisk(bool to_disk = true);

  /// Closes the file without writing the buffer out, best-effort.
  void Close();

 private:
  bool WriteUnchangedBeyond(std::string_view bytes);
  bool Put(const char* data, std::size_t size);
  bool PutBeyond(const char* data, std::size_t size);
  bool PutLine(const char* data, std::size_t size);
  bool Drain();
  bool WriteOut(const char* data, std::size_t size);

  File file_;
  std::string* sink_ = nullptr;  ///< In memory instead of |file_|.
  std::unique_ptr<char[]> buffer_;
  std::size_t capacity_ = 0;
  std::size_t used_ = 0;
  std::uint64_t written_ = 0;  ///< Bytes handed to the file so far.
  bool failed_ = false;
  int error_ = 0;  ///< The error number of the write that failed.
  bool flush_behind_ = false;
  bool discard_ = false;     ///< Nothing kept: see Discard().
  bool positioned_ = false;  ///< Goes to |offset_| + |written_| each time.
  std::uint64_t offset_ = 0;
  std::uint64_t room_ = 0;
  bool overflowed_ = false;
  Checksum* sum_ = nullptr;
};

/// How much a writer set to FlushBehind() writes before it asks the system
/// to start writing that part to the disk.
constexpr std::uint64_t kFlushBehindStep = 8 * 1024 * 1024;

/// Zero bytes that follow the reader's View(), so that a search may read
/// a block of 16 bytes, and a marker's length, past its end.
constexpr std::size_t kViewPadding = 32;

/// A text file open for reading, or text in memory, held a buffer at a
/// time with every lone LF already made CR LF. The reader has a current
/// position in that text: View() shows the bytes from there to the last one
/// read, PassTo() moves it on, writing the bytes it passes over or dropping
/// them, and ReadMore() reads on. Reading piece by piece and copying the
/// rest whole are made of these.
class TextReader {
 public:
  /// A reader with nothing to read yet: see Start().
  TextReader() = default;
  /// Reads |file|, |capacity| bytes at a time (at least 1).
  explicit TextReader(File file, std::size_t capacity = kTextBufferSize);
  /// Reads |bytes|, which must outlive the reader, at most |capacity| bytes
  /// at a time, as a file would be read.
  explicit TextReader(std::string_view bytes,
                      std::size_t capacity = kTextBufferSize);
  TextReader(const TextReader&) = delete;
  TextReader& operator=(const TextReader&) = delete;

  /// Starts reading |file|, as the constructor would.
  void Start(File file, std::size_t capacity = kTextBufferSize);

  /// The system's error number of the read that failed, after a read
  /// error: 0 when the run was interrupted, or when the copy of
  /// CopyWhileReading() failed (its writer has the error).
  int error() const { return error_; }

  /// Reads the file's first |length| bytes only, each part from where the
  /// last one ended, not from the handle's position: a writer of the same
  /// file, on a handle that shares it, may write past them meanwhile
  /// (TextWriter::StartAt()).
  void ReadFirstBytesOnly(std::uint64_t length) {
    positioned_ = true;
    length_ = length;
  }

  /// From now on, every byte of the file read is also added to |sum|
  /// (nullptr: no more), as the file holds it.
  void SumWhileReading(Checksum* sum) { sum_ = sum; }

  /// The bytes of the file read so far, as the file holds them.
  std::uint64_t BytesRead() const { return raw_read_; }

  /// From now on, every byte read is also written to |copy| (nullptr: no
  /// more), as read: reading to the end copies the file as text.
  void CopyWhileReading(TextWriter* copy) { copy_ = copy; }

  /// The bytes from the current position to the last one read, followed by
  /// kViewPadding zero bytes.
  std::string_view View() const {
    return std::string_view(buffer_.get() + begin_, end_ - begin_);
  }

  /// The offset of View()'s first byte in the whole text.
  std::uint64_t Position() const { return base_ + begin_; }

  /// Whether the file has no bytes beyond View().
  bool AtEnd() const { return at_eof_; }

  /// Makes |to| (at least Position(), at most the end of View()) the
  /// current position, writing the bytes passed over to |out| (nowhere when
  /// nullptr). Reads nothing. Returns false when the write failed.
  bool PassTo(std::uint64_t to, TextWriter* out) {
    const std::size_t at = static_cast<std::size_t>(to - base_);
    const std::string_view passed(buffer_.get() + begin_, at - begin_);
    begin_ = at;
    return out == nullptr || passed.empty() || out->WriteUnchanged(passed);
  }

  /// Reads more, so that View() grows unless the file has ended. View()
  /// must hold at most kViewKept bytes, so that the buffer has room for a
  /// read. Returns false on a read error, or when the copy of
  /// CopyWhileReading() could not be written.
  bool ReadMore();

  /// Reads the next line piece of the translated text: up to and including
  /// the first LF, or kPieceMax bytes, or up to the end of the file.
  /// |piece| points into the reader's buffer and stays valid until the next
  /// call. The piece is passed over, and not written anywhere.
  PieceResult ReadPiece(std::string_view* piece);

  /// Passes over the rest of the file, written to nowhere; a copy still
  /// gets every byte. Returns false on a read or copy error.
  bool SkipToEnd() { return CopyText(nullptr) == TextEnd::kOk; }

  /// Passes over the rest of the file, writing it to |out| (nowhere when
  /// nullptr): the bytes that reading it piece by piece and writing each
  /// piece would give. Does not finish |out|.
  TextEnd CopyText(TextWriter* out);

 private:
  void Reset(std::size_t capacity);
  bool Fill(std::size_t want);
  std::int64_t ReadRaw(char* into, std::size_t size);
  std::size_t ReadAndChange(char* at, std::size_t size, std::int64_t* got);

  File file_;
  std::string_view memory_;  ///< The source when reading from memory.
  bool from_memory_ = false;
  std::unique_ptr<char[]> raw_;     ///< Read bytes whose line ends change.
  std::unique_ptr<char[]> buffer_;  ///< The text, lone LFs made CR LF.
  std::size_t capacity_ = 0;        ///< Most bytes read at once.
  std::size_t buffer_size_ = 0;
  std::size_t begin_ = 0;       ///< The current position.
  std::size_t end_ = 0;         ///< One past the last byte read.
  std::uint64_t base_ = 0;      ///< Offset in the text of the buffer's start.
  bool at_eof_ = false;         ///< The file has no bytes beyond |end_|.
  bool cr_before_ = false;      ///< The last byte read was a CR.
  bool lone_lfs_ = false;       ///< The last read had an LF to change.
  int error_ = 0;               ///< The error number of the read that failed.
  bool positioned_ = false;     ///< See ReadFirstBytesOnly().
  std::uint64_t length_ = 0;    ///< The bytes to read then.
  std::uint64_t raw_read_ = 0;  ///< Bytes of the file read so far.
  Checksum* sum_ = nullptr;
  TextWriter* copy_ = nullptr;
};

#endif  // BRANTIX_TEXT_TEXT_FILE_H_
