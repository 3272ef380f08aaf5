#include "text/text_file.h"

#include <cstring>
#include <utility>

void StartReading(File file, TextReader* reader, std::size_t capacity) {
  reader->file = std::move(file);
  if (reader->capacity != capacity) {
    reader->buffer = std::make_unique<char[]>(capacity);
    reader->capacity = capacity;
  }
  reader->begin = reader->end = 0;
  reader->at_eof = false;
}

// Makes at least |want| raw bytes available after |begin|, or all that the
// file still holds. Returns false on a read error.
static bool Fill(TextReader* r, std::size_t want) {
  if (r->end - r->begin >= want || r->at_eof) return true;
  if (r->begin > 0) {
    std::memmove(r->buffer.get(), r->buffer.get() + r->begin, r->end - r->begin);
    r->end -= r->begin;
    r->begin = 0;
  }
  while (r->end < want && !r->at_eof) {
    std::int64_t got =
        ReadSome(&r->file, r->buffer.get() + r->end, r->capacity - r->end);
    if (got < 0) return false;
    if (got == 0) r->at_eof = true;
    r->end += static_cast<std::size_t>(got);
  }
  return true;
}

// A piece of kPieceMax translated bytes can span kPieceMax + 1 raw bytes
// when it ends with CR LF, so a piece is cut with one byte more in view.
bool ReadAhead(TextReader* r) { return Fill(r, kPieceMax + 1); }

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
    writer->buffer = std::make_unique<char[]>(capacity);
    writer->capacity = capacity;
  }
  writer->used = 0;
  writer->failed = false;
}

static bool Drain(TextWriter* w) {
  if (!w->failed && w->used > 0 &&
      !WriteAll(&w->file, w->buffer.get(), w->used)) {
    w->failed = true;
  }
  w->used = 0;
  return !w->failed;
}

// Appends bytes that hold no LF.
static bool Put(TextWriter* w, const char* data, std::size_t size) {
  while (size > 0) {
    if (w->used == w->capacity && !Drain(w)) return false;
    std::size_t room = w->capacity - w->used;
    std::size_t n = size < room ? size : room;
    std::memcpy(w->buffer.get() + w->used, data, n);
    w->used += n;
    data += n;
    size -= n;
  }
  return true;
}

bool WriteText(TextWriter* w, std::string_view text) {
  if (w->failed) return false;
  const char* p = text.data();
  const char* stop = p + text.size();
  while (p < stop) {
    const char* lf =
        static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(stop - p)));
    const char* run_end = lf != nullptr ? lf : stop;
    if (!Put(w, p, static_cast<std::size_t>(run_end - p))) return false;
    if (lf == nullptr) break;
    if (!Put(w, "\r\n", 2)) return false;
    p = lf + 1;
  }
  return true;
}

bool FinishWriting(TextWriter* w) {
  bool ok = Drain(w);
  if (!CloseFile(&w->file)) ok = false;
  return ok;
}
