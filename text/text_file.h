// Text files: every file the program touches is read and written through
// these, in binary, with the line-end translation done here on every
// platform. On reading, CR LF becomes LF; on writing, LF becomes CR LF.
// Every other byte, a lone CR, 0x1A and NUL included, passes unchanged.
#ifndef BRANTIX_TEXT_TEXT_FILE_H_
#define BRANTIX_TEXT_TEXT_FILE_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "text/file.h"
#include "text/search.h"

/// Longest line piece: a longer line arrives as several pieces.
constexpr std::size_t kPieceMax = 511;

/// Size of the read and write buffers.
constexpr std::size_t kTextBufferSize = 256 * 1024;

/// A text file open for reading, delivered in line pieces.
struct TextReader {
  File file;
  std::unique_ptr<char[]> buffer;
  std::size_t capacity = 0;
  std::size_t begin = 0;  ///< First raw byte not yet delivered.
  std::size_t end = 0;    ///< One past the last raw byte read.
  bool at_eof = false;    ///< The file has no bytes beyond |end|.
  struct TextWriter* copy = nullptr;  ///< Gets every byte read, as text.
  bool copy_after_cr = false;  ///< The last byte given to |copy| was a CR.
};

/// Result of asking for the next line piece.
enum class PieceResult { kPiece, kEnd, kError };

/// Starts reading |file|, using a buffer of |capacity| bytes (at least
/// kPieceMax + 1).
void StartReading(File file, TextReader* reader,
                  std::size_t capacity = kTextBufferSize);

/// From now on, every raw byte that |reader| reads from its file is also
/// written to |copy| as text, as CopyText() would write it: reading the
/// file to its end piece by piece copies it whole. Call it before the first
/// read.
void CopyWhileReading(TextReader* reader, struct TextWriter* copy);

/// Reads ahead so that the next piece is available without another read.
/// Returns false on a read error.
bool ReadAhead(TextReader* reader);

/// Reads the rest of the file without delivering it; a copy set with
/// CopyWhileReading() still gets every byte. Returns false on a read error.
bool SkipToEnd(TextReader* reader);

/// Reads the next line piece of the translated text: up to and including the
/// first LF, or kPieceMax bytes, or up to the end of the file. |piece| points
/// into the reader's buffer and stays valid until the next call.
PieceResult ReadPiece(TextReader* reader, std::string_view* piece);

/// A text file open for writing, through one large buffer.
struct TextWriter {
  File file;
  std::unique_ptr<char[]> buffer;
  std::size_t capacity = 0;
  std::size_t used = 0;
  std::uint64_t written = 0;  ///< Bytes handed to the file so far.
  bool failed = false;  ///< A write has failed; nothing more is written.
  /// Each part of kFlushBehindStep bytes starts going to the disk as soon as
  /// it is written, for a file that will be flushed when finished.
  bool flush_behind = false;
};

/// How much a writer with |flush_behind| writes before it asks the system
/// to start writing that part to the disk.
constexpr std::uint64_t kFlushBehindStep = 8 * 1024 * 1024;

/// Starts writing |file| through a buffer of |capacity| bytes (at least 2).
void StartWriting(File file, TextWriter* writer,
                  std::size_t capacity = kTextBufferSize);

/// Writes |text|, each LF as CR LF. Returns false when a write has failed,
/// now or earlier.
bool WriteText(TextWriter* writer, std::string_view text);

/// Writes |bytes| as they are, without turning LF into CR LF: text whose
/// line ends are already CR LF. Returns false when a write has failed.
bool WriteUnchanged(TextWriter* writer, std::string_view bytes);

/// Writes raw bytes of a text file that make whole pieces, as writing each
/// piece read from them would: every LF that does not follow a CR becomes
/// CR LF, everything else is written as it is. Returns false when a write
/// has failed.
bool WriteRawPieces(TextWriter* writer, std::string_view raw);

/// Writes out what the buffer holds and closes the file. Returns false when
/// any write or the close failed.
bool FinishWriting(TextWriter* writer);

/// Like FinishWriting(), and writes the file to the disk before closing it,
/// so that it can replace another without risk. Returns false when any
/// write, the flush or the close failed.
bool FinishWritingToDisk(TextWriter* writer);

/// How a whole-file text copy ended.
enum class CopyEnd { kDone, kReadError, kWriteError };

/// Copies the rest of |reader|'s file to |writer| as text: the bytes that
/// reading it piece by piece and writing every piece would give, that is the
/// file with each LF that does not follow a CR written as CR LF. Works on
/// whole buffers, so runs without a lone LF go out without being cut into
/// pieces. Does not finish |writer|.
CopyEnd CopyText(TextReader* reader, TextWriter* writer);

#endif  // BRANTIX_TEXT_TEXT_FILE_H_
