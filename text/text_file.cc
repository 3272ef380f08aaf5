#include "text/text_file.h"

#include <cstdint>
#include <cstring>
#include <utility>

#include "text/line_ends.h"

// The writer.

TextWriter::TextWriter(File file, std::size_t capacity) {
  Start(std::move(file), capacity);
}

TextWriter::TextWriter(std::string* sink, std::size_t capacity) {
  Start(File(), capacity);
  sink_ = sink;
}

void TextWriter::Start(File file, std::size_t capacity) {
  file_ = std::move(file);
  sink_ = nullptr;
  discard_ = false;
  if (capacity_ != capacity) {
    buffer_ = std::make_unique_for_overwrite<char[]>(capacity);
    capacity_ = capacity;
  }
  used_ = 0;
  written_ = 0;
  failed_ = false;
  error_ = 0;
  flush_behind_ = false;
  positioned_ = false;
  offset_ = 0;
  overflowed_ = false;
  sum_ = nullptr;
}

void TextWriter::StartAt(File file, std::uint64_t offset, std::uint64_t room,
                         std::size_t capacity) {
  Start(std::move(file), capacity);
  positioned_ = true;
  offset_ = offset;
  room_ = room;
}

// Writes |size| bytes straight to the file. With |flush_behind_|, each
// whole step of the file that this completes starts going to the disk.
bool TextWriter::WriteOut(const char* data, std::size_t size) {
  if (discard_) {
    // Counted, kept nowhere.
  } else if (sink_ != nullptr) {
    sink_->append(data, size);
  } else {
    CallResult put;
    if (positioned_ && room_ - written_ < size) {
      failed_ = overflowed_ = true;
      return false;
    }
    if (positioned_) put = SeekTo(&file_, offset_ + written_);
    if (put) put = WriteAll(&file_, data, size);
    if (!put) {
      failed_ = true;
      error_ = put.error;
      return false;
    }
  }
  if (sum_ != nullptr) sum_->Add(data, size);
  const std::uint64_t before = written_;
  written_ += size;
  if (flush_behind_ &&
      written_ / kFlushBehindStep != before / kFlushBehindStep) {
    std::uint64_t from = before / kFlushBehindStep * kFlushBehindStep;
    std::uint64_t to = written_ / kFlushBehindStep * kFlushBehindStep;
    StartFlushing(file_, offset_ + from, to - from);
  }
  return true;
}

bool TextWriter::Drain() {
  if (!failed_ && used_ > 0) WriteOut(buffer_.get(), used_);
  used_ = 0;
  return !failed_;
}

// Put() for |size| bytes that do not fit in the room left in the buffer.
// Out of line, so that the common path of Put() needs no saved registers.
[[gnu::noinline]] bool TextWriter::PutBeyond(const char* data,
                                             std::size_t size) {
  std::size_t room = capacity_ - used_;
  if (size >= capacity_) {
    return Drain() && WriteOut(data, size);
  }
  std::memcpy(buffer_.get() + used_, data, room);
  used_ = capacity_;
  if (!Drain()) return false;
  std::memcpy(buffer_.get(), data + room, size - room);
  used_ = size - room;
  return true;
}

// Appends bytes as they are. A run at least as long as the buffer goes
// straight to the file after what the buffer holds, uncopied.
inline bool TextWriter::Put(const char* data, std::size_t size) {
  if (size <= capacity_ - used_) {
    if (size > 0) std::memcpy(buffer_.get() + used_, data, size);
    used_ += size;
    return true;
  }
  return PutBeyond(data, size);
}

// Appends |size| bytes that hold no LF, then CR LF: the end of one line.
inline bool TextWriter::PutLine(const char* data, std::size_t size) {
  if (capacity_ - used_ >= size + 2) {
    char* out = buffer_.get() + used_;
    if (size > 0) std::memcpy(out, data, size);
    out[size] = '\r';
    out[size + 1] = '\n';
    used_ += size + 2;
    return true;
  }
  return Put(data, size) && Put("\r\n", 2);
}

bool TextWriter::WriteText(std::string_view text) {
  if (failed_) return false;
  const char* p = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    const char* lf = static_cast<const char*>(std::memchr(p, '\n', left));
    if (lf == nullptr) return Put(p, left);
    std::size_t run = static_cast<std::size_t>(lf - p);
    if (!PutLine(p, run)) return false;
    p = lf + 1;
    left -= run + 1;
  }
  return true;
}

bool TextWriter::WriteUnchangedBeyond(std::string_view bytes) {
  if (failed_) return false;
  return Put(bytes.data(), bytes.size());
}

bool TextWriter::WriteStraight(std::string_view bytes) {
  return Drain() && (bytes.empty() || WriteOut(bytes.data(), bytes.size()));
}

CallResult TextWriter::WriteOutBuffer() {
  return Drain() ? CallResult{} : CallFailed(error_);
}

CallResult TextWriter::FinishToDisk(bool to_disk) {
  CallResult result = WriteOutBuffer();
  if (result && sink_ == nullptr && to_disk) result = FlushToDisk(&file_);
  if (sink_ == nullptr) {
    const CallResult closed = CloseFile(&file_);
    if (result) result = closed;
  }
  return result;
}

void TextWriter::Close() { CloseFile(&file_); }

// The reader.

// Room kept after the bytes a read gives: the line-end change may write
// that far past its result, and the view's zero padding is there.
constexpr std::size_t kSlack = kViewPadding;

TextReader::TextReader(File file, std::size_t capacity) {
  Start(std::move(file), capacity);
}

TextReader::TextReader(std::string_view bytes, std::size_t capacity) {
  Reset(capacity);
  memory_ = bytes;
  from_memory_ = true;
}

void TextReader::Start(File file, std::size_t capacity) {
  Reset(capacity);
  file_ = std::move(file);
}

void TextReader::Reset(std::size_t capacity) {
  if (capacity_ != capacity) {
    // A read of |capacity| bytes may double when every byte is a lone LF,
    // and up to kViewKept bytes may still be in view before it.
    buffer_size_ = 2 * capacity + kViewKept + kSlack;
    raw_ = std::make_unique_for_overwrite<char[]>(capacity);
    buffer_ = std::make_unique_for_overwrite<char[]>(buffer_size_);
    capacity_ = capacity;
  }
  memory_ = {};
  from_memory_ = false;
  begin_ = end_ = 0;
  base_ = 0;
  at_eof_ = false;
  cr_before_ = false;
  lone_lfs_ = false;
  error_ = 0;
  positioned_ = false;
  length_ = 0;
  raw_read_ = 0;
  sum_ = nullptr;
  copy_ = nullptr;
  std::memset(buffer_.get(), 0, kViewPadding);
}

// Reads up to |size| raw bytes into |into|. Returns the count, 0 at the end
// of the file, -1 on a read error, whose number it keeps in |error_|.
std::int64_t TextReader::ReadRaw(char* into, std::size_t size) {
  if (!from_memory_) {
    if (positioned_) {
      if (length_ - raw_read_ < size) {
        size = static_cast<std::size_t>(length_ - raw_read_);
      }
      if (size == 0) return 0;
      if (const CallResult at = SeekTo(&file_, raw_read_); !at) {
        error_ = at.error;
        return -1;
      }
    }
    const ReadResult read = ReadSome(&file_, into, size);
    error_ = read.error;
    if (read.count <= 0) return read.count;
    size = static_cast<std::size_t>(read.count);
  } else {
    if (size > memory_.size()) size = memory_.size();
    std::memcpy(into, memory_.data(), size);
    memory_.remove_prefix(size);
  }
  raw_read_ += size;
  if (sum_ != nullptr) sum_->Add(into, size);
  return static_cast<std::int64_t>(size);
}

// Reads up to |size| bytes and puts them at |at| with each lone LF made
// CR LF; |*got| is ReadRaw()'s result. Returns the count of bytes put.
// While the text's line ends are CR LF, bytes are read in place and only
// checked; from the first lone LF on they are read aside and changed, until
// a read has none to change.
std::size_t TextReader::ReadAndChange(char* at, std::size_t size,
                                      std::int64_t* got) {
  char* raw = lone_lfs_ ? raw_.get() : at;
  *got = ReadRaw(raw, size);
  if (*got <= 0) return 0;
  const std::size_t count = static_cast<std::size_t>(*got);
  const bool before = cr_before_;
  cr_before_ = raw[count - 1] == '\r';
  std::size_t kept = 0;  // Bytes already in place, changed or not.
  if (!lone_lfs_) {
    kept = FindLoneLf(at, count, before);
    if (kept == count) return count;
    // The rest goes aside, to be changed back into place.
    std::memcpy(raw_.get(), at + kept, count - kept);
  }
  const bool cr = kept > 0 ? at[kept - 1] == '\r' : before;
  const std::size_t made =
      AddCrBeforeLoneLf(raw_.get(), count - kept, cr, at + kept);
  lone_lfs_ = made != count - kept;
  return kept + made;
}

// Makes at least |want| bytes available after |begin_|, or all that the
// file still holds, dropping the bytes before |begin_|. Returns false on a
// read error or a failed copy.
bool TextReader::Fill(std::size_t want) {
  if (end_ - begin_ >= want || at_eof_) return true;
  if (begin_ > 0) {
    std::memmove(buffer_.get(), buffer_.get() + begin_, end_ - begin_);
    base_ += begin_;
    end_ -= begin_;
    begin_ = 0;
  }
  bool ok = true;
  while (end_ < want && !at_eof_) {
    std::size_t size = (buffer_size_ - kSlack - end_) / 2;
    if (size > capacity_) size = capacity_;
    // Only a view of more than kViewKept bytes leaves no room: a read of
    // nothing would look like the end of the file.
    if (size == 0) {
      ok = false;
      break;
    }
    char* at = buffer_.get() + end_;
    std::int64_t got;
    const std::size_t made = ReadAndChange(at, size, &got);
    if (got <= 0) {
      ok = got == 0;
      at_eof_ = ok;
      break;
    }
    end_ += made;
    if (copy_ != nullptr && !copy_->WriteStraight(std::string_view(at, made))) {
      ok = false;
      break;
    }
  }
  std::memset(buffer_.get() + end_, 0, kViewPadding);
  return ok;
}

bool TextReader::ReadMore() { return Fill(end_ - begin_ + 1); }

PieceResult TextReader::ReadPiece(std::string_view* piece) {
  if (!Fill(kPieceMax + 1)) return PieceResult::kError;
  const std::size_t length = PieceLength(View());
  if (length == 0) return PieceResult::kEnd;
  char* start = buffer_.get() + begin_;
  begin_ += length;
  if (length >= 2 && start[length - 1] == '\n' && start[length - 2] == '\r') {
    // CR LF: deliver the line with a single LF in place of the CR.
    start[length - 2] = '\n';
    *piece = std::string_view(start, length - 1);
  } else {
    *piece = std::string_view(start, length);
  }
  return PieceResult::kPiece;
}

TextEnd TextReader::CopyText(TextWriter* out) {
  if (out != nullptr && out->failed()) return TextEnd::kWriteError;
  for (;;) {
    if (!PassTo(base_ + end_, out)) return TextEnd::kWriteError;
    if (at_eof_) return TextEnd::kOk;
    if (!ReadMore()) return TextEnd::kReadError;
  }
}
