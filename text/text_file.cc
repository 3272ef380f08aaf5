#include "text/text_file.h"

#include <cstdint>
#include <cstring>
#include <utility>

#include "text/line_ends.h"

// Keeps a rarely taken path out of line, so that the common path of a
// function called for every piece needs no saved registers.
#if defined(__GNUC__)
#define BRANTIX_NOINLINE [[gnu::noinline]]
#else
#define BRANTIX_NOINLINE
#endif

void StartReading(File file, TextReader* reader, std::size_t capacity) {
  reader->file = std::move(file);
  if (reader->capacity != capacity) {
    reader->buffer = std::make_unique_for_overwrite<char[]>(capacity);
    reader->capacity = capacity;
  }
  reader->begin = reader->end = 0;
  reader->at_eof = false;
  reader->copy = nullptr;
  reader->copy_after_cr = false;
}

static bool PutAsText(TextWriter* w, const char* block, std::size_t size,
                      bool cr_before);

void CopyWhileReading(TextReader* reader, TextWriter* copy) {
  reader->copy = copy;
  reader->copy_after_cr = false;
}

// Reads up to |size| raw bytes at |at| in the buffer, and gives them to
// the reader's copy, if any. Returns the count, 0 at the end of the file,
// -1 on a read error or when the copy cannot be written.
static std::int64_t ReadRaw(TextReader* r, char* at, std::size_t size) {
  std::int64_t got = ReadSome(&r->file, at, size);
  if (got <= 0 || r->copy == nullptr) return got;
  std::size_t count = static_cast<std::size_t>(got);
  if (r->copy->failed || !PutAsText(r->copy, at, count, r->copy_after_cr)) {
    return -1;
  }
  r->copy_after_cr = at[count - 1] == '\r';
  return got;
}

// Makes at least |want| raw bytes available after |begin|, or all that the
// file still holds. Returns false on a read error.
static bool Fill(TextReader* r, std::size_t want) {
  if (r->end - r->begin >= want || r->at_eof) return true;
  if (r->begin > 0) {
    std::memmove(r->buffer.get(), r->buffer.get() + r->begin,
                 r->end - r->begin);
    r->end -= r->begin;
    r->begin = 0;
  }
  while (r->end < want && !r->at_eof) {
    std::int64_t got =
        ReadRaw(r, r->buffer.get() + r->end, r->capacity - r->end);
    if (got < 0) return false;
    if (got == 0) r->at_eof = true;
    r->end += static_cast<std::size_t>(got);
  }
  return true;
}

// A piece of kPieceMax translated bytes can span kPieceMax + 1 raw bytes
// when it ends with CR LF, so a piece is cut with one byte more in view.
bool ReadAhead(TextReader* r) { return Fill(r, kPieceMax + 1); }

bool SkipToEnd(TextReader* r) {
  for (;;) {
    r->begin = r->end;
    if (r->at_eof) return true;
    if (!Fill(r, 1)) return false;
  }
}

PieceResult ReadPiece(TextReader* r, std::string_view* piece) {
  if (!ReadAhead(r)) return PieceResult::kError;
  std::size_t avail = r->end - r->begin;
  if (avail == 0) return PieceResult::kEnd;
  char* start = r->buffer.get() + r->begin;
  std::size_t window = avail < kPieceMax + 1 ? avail : kPieceMax + 1;
  const char* lf = static_cast<const char*>(std::memchr(start, '\n', window));
  std::size_t length = window < kPieceMax ? window : kPieceMax;
  std::size_t consumed = length;
  if (lf != nullptr) {
    std::size_t at = static_cast<std::size_t>(lf - start);
    if (at > 0 && start[at - 1] == '\r') {
      // CR LF: deliver the line with a single LF in place of the CR.
      start[at - 1] = '\n';
      length = at;
      consumed = at + 1;
    } else if (at < kPieceMax) {
      length = consumed = at + 1;
    }
  }
  r->begin += consumed;
  *piece = std::string_view(start, length);
  return PieceResult::kPiece;
}

void StartWriting(File file, TextWriter* writer, std::size_t capacity) {
  writer->file = std::move(file);
  if (writer->capacity != capacity) {
    writer->buffer = std::make_unique_for_overwrite<char[]>(capacity);
    writer->capacity = capacity;
  }
  writer->used = 0;
  writer->written = 0;
  writer->failed = false;
  writer->flush_behind = false;
}

// Writes |size| bytes straight to the file. With |flush_behind|, each whole
// step of the file that this completes starts going to the disk.
static bool WriteOut(TextWriter* w, const char* data, std::size_t size) {
  if (!WriteAll(&w->file, data, size)) {
    w->failed = true;
    return false;
  }
  const std::uint64_t before = w->written;
  w->written += size;
  if (w->flush_behind && w->written / kFlushBehindStep != before / kFlushBehindStep) {
    std::uint64_t from = before / kFlushBehindStep * kFlushBehindStep;
    std::uint64_t to = w->written / kFlushBehindStep * kFlushBehindStep;
    StartFlushing(w->file, from, to - from);
  }
  return true;
}

static bool Drain(TextWriter* w) {
  if (!w->failed && w->used > 0) WriteOut(w, w->buffer.get(), w->used);
  w->used = 0;
  return !w->failed;
}

// Put() for |size| bytes that do not fit in the room left in the buffer.
BRANTIX_NOINLINE static bool PutBeyond(TextWriter* w, const char* data,
                                       std::size_t size) {
  std::size_t room = w->capacity - w->used;
  if (size >= w->capacity) {
    return Drain(w) && WriteOut(w, data, size);
  }
  std::memcpy(w->buffer.get() + w->used, data, room);
  w->used = w->capacity;
  if (!Drain(w)) return false;
  std::memcpy(w->buffer.get(), data + room, size - room);
  w->used = size - room;
  return true;
}

// Appends bytes as they are, with no line-end translation: runs without an
// LF, or runs whose LFs already follow a CR. A run at least as long as the
// buffer goes straight to the file after what the buffer holds, uncopied.
static inline bool Put(TextWriter* w, const char* data, std::size_t size) {
  if (size <= w->capacity - w->used) {
    if (size > 0) std::memcpy(w->buffer.get() + w->used, data, size);
    w->used += size;
    return true;
  }
  return PutBeyond(w, data, size);
}

// Appends |size| bytes that hold no LF, then CR LF: the end of one line.
static inline bool PutLine(TextWriter* w, const char* data, std::size_t size) {
  if (w->capacity - w->used >= size + 2) {
    char* out = w->buffer.get() + w->used;
    if (size > 0) std::memcpy(out, data, size);
    out[size] = '\r';
    out[size + 1] = '\n';
    w->used += size + 2;
    return true;
  }
  return Put(w, data, size) && Put(w, "\r\n", 2);
}

bool WriteText(TextWriter* w, std::string_view text) {
  if (w->failed) return false;
  const char* p = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    const char* lf = static_cast<const char*>(std::memchr(p, '\n', left));
    if (lf == nullptr) return Put(w, p, left);
    std::size_t run = static_cast<std::size_t>(lf - p);
    if (!PutLine(w, p, run)) return false;
    p = lf + 1;
    left -= run + 1;
  }
  return true;
}

bool WriteUnchanged(TextWriter* w, std::string_view bytes) {
  if (w->failed) return false;
  return Put(w, bytes.data(), bytes.size());
}

// Writes |size| raw bytes (at least one) with each LF that does not follow
// a CR as CR LF; |cr_before| tells whether the byte before them was a CR.
// Converts straight into the buffer, in parts that fit it even if every
// byte is a lone LF.
static bool PutAsText(TextWriter* w, const char* block, std::size_t size,
                      bool cr_before) {
  constexpr std::size_t kSlack = 16;
  constexpr std::size_t kSmall = 64;
  while (size > 0) {
    std::size_t room = w->capacity - w->used;
    std::size_t part;
    if (room < 2 * kSmall + kSlack) {
      // Little room left: convert a small part aside, and Put() spreads it.
      char aside[2 * kSmall + kSlack];
      part = size < kSmall ? size : kSmall;
      if (!Put(w, aside, AddCrBeforeLoneLf(block, part, cr_before, aside))) {
        return false;
      }
    } else {
      part = (room - kSlack) / 2;
      if (part > size) part = size;
      w->used +=
          AddCrBeforeLoneLf(block, part, cr_before, w->buffer.get() + w->used);
    }
    cr_before = block[part - 1] == '\r';
    block += part;
    size -= part;
  }
  return !w->failed;
}

bool WriteRawPieces(TextWriter* w, std::string_view raw) {
  if (w->failed) return false;
  // A piece never ends between the CR and the LF of a pair.
  return raw.empty() || PutAsText(w, raw.data(), raw.size(), false);
}

CopyEnd CopyText(TextReader* r, TextWriter* w) {
  if (w->failed) return CopyEnd::kWriteError;
  // Whether the byte before the block in hand was a CR. A piece already
  // delivered never ends just before an LF that follows a CR (the pair is
  // always delivered whole), so this starts false.
  bool cr_before = false;
  for (;;) {
    if (r->begin == r->end) {
      if (r->at_eof) return CopyEnd::kDone;
      std::int64_t got = ReadRaw(r, r->buffer.get(), r->capacity);
      if (got < 0) return CopyEnd::kReadError;
      if (got == 0) {
        r->at_eof = true;
        return CopyEnd::kDone;
      }
      r->begin = 0;
      r->end = static_cast<std::size_t>(got);
    }
    const char* block = r->buffer.get() + r->begin;
    std::size_t size = r->end - r->begin;
    if (!PutAsText(w, block, size, cr_before)) return CopyEnd::kWriteError;
    cr_before = block[size - 1] == '\r';
    r->begin = r->end;
  }
}


bool FinishWriting(TextWriter* w) {
  bool ok = Drain(w);
  if (!CloseFile(&w->file)) ok = false;
  return ok;
}

bool FinishWritingToDisk(TextWriter* w) {
  bool ok = Drain(w) && FlushToDisk(&w->file);
  if (!CloseFile(&w->file)) ok = false;
  return ok;
}
