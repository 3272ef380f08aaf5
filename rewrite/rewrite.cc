#include "rewrite/rewrite.h"

#include <cstring>
#include <string_view>

#include "rewrite/cells.h"

namespace {

// The rewrite works on the reader's raw bytes in place. The pieces it
// passes over are not written one by one: they stay in the buffer, pending,
// and go out together (each lone LF made CR LF) when a cell is written
// after them or when the buffer is refilled. Between the rows, the next
// piece that holds "<tr>" is found with one search over the whole buffer.
struct Cursor {
  TextReader* in = nullptr;
  TextWriter* out = nullptr;
  std::size_t start = 0;  ///< The current piece: raw bytes [start, end).
  std::size_t end = 0;
  bool present = false;     ///< A piece is current.
  std::size_t pending = 0;  ///< First raw byte not yet written.
  RewriteEnd result = RewriteEnd::kOk;
};

const char* Bytes(const Cursor& c) { return c.in->buffer.get(); }

// Writes the pending pieces up to raw offset |to|.
bool WritePending(Cursor* c, std::size_t to) {
  std::string_view raw(Bytes(*c) + c->pending, to - c->pending);
  c->pending = to;
  if (WriteRawPieces(c->out, raw)) return true;
  c->result = RewriteEnd::kWriteError;
  return false;
}

// The raw length of the piece that starts at |start|, with |avail| raw
// bytes in view (at least kPieceMax + 1, or all that is left): up to and
// including the first LF, or kPieceMax bytes, a CR LF pair counting as one.
std::size_t PieceLength(const char* start, std::size_t avail) {
  std::size_t window = avail < kPieceMax + 1 ? avail : kPieceMax + 1;
  const char* lf = static_cast<const char*>(std::memchr(start, '\n', window));
  if (lf != nullptr) {
    std::size_t at = static_cast<std::size_t>(lf - start);
    if ((at > 0 && start[at - 1] == '\r') || at < kPieceMax) return at + 1;
  }
  return window < kPieceMax ? window : kPieceMax;
}

// Makes the piece that starts at raw offset |from| current, after writing
// what is pending before it and reading on when fewer than a whole piece's
// bytes are in view. Returns false when there is none: at the end of the
// file, or on a read or write error.
bool Load(Cursor* c, std::size_t from) {
  TextReader* r = c->in;
  if (r->end - from < kPieceMax + 1 && !r->at_eof) {
    if (!WritePending(c, from)) return c->present = false;
    r->begin = from;
    if (!ReadAhead(r)) {
      c->result = RewriteEnd::kReadError;
      return c->present = false;
    }
    from = c->pending = r->begin;
  }
  c->start = from;
  if (from == r->end) {
    c->end = from;
    return c->present = false;
  }
  c->end = from + PieceLength(Bytes(*c) + from, r->end - from);
  return c->present = true;
}

// Passes over the current piece: the next one becomes current.
bool Advance(Cursor* c) { return Load(c, c->end); }

// Markers hold no CR and no LF, so searching the raw bytes of a piece finds
// exactly what searching its text would.
bool Holds(const Cursor& c, std::string_view marker) {
  return c.present &&
         ContainsBytes(std::string_view(Bytes(c) + c.start, c.end - c.start),
                       marker);
}

// Finds line starts going forward through the raw bytes: |line| is the
// start of the line that holds |scanned|, and no LF of [line, scanned) is
// looked at again.
struct Lines {
  std::size_t line;
  std::size_t scanned;
};

// The start of the line that holds raw offset |at| (|at| >= l->scanned).
// Lines are short in practice: the LF before |at| is looked for backwards
// first, and the bytes before it only when there is none close to |at|.
std::size_t LineStart(const char* bytes, Lines* l, std::size_t at) {
  std::size_t stop =
      at - l->scanned > kPieceMax + 1 ? at - (kPieceMax + 1) : l->scanned;
  for (std::size_t i = at; i > stop; --i) {
    if (bytes[i - 1] == '\n') {
      l->scanned = at;
      return l->line = i;
    }
  }
  while (const void* lf =
             std::memchr(bytes + l->scanned, '\n', stop - l->scanned)) {
    l->scanned = l->line =
        static_cast<std::size_t>(static_cast<const char*>(lf) - bytes) + 1;
  }
  l->scanned = at;
  return l->line;
}

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

// Where the pieces of raw bytes [from, to) first hold |marker| (the start
// of the piece, and in |at| the marker's offset), or kNone. |from| is a
// piece start. Within a line, pieces are cut every kPieceMax bytes from its
// start; a marker across a cut is in neither piece.
std::size_t FindInPieces(const char* bytes, std::size_t from, std::size_t to,
                         std::string_view marker, std::size_t* at) {
  Lines lines{from, from};
  std::size_t search = from;
  while (const char* hit =
             FindBytes(std::string_view(bytes + search, to - search), marker)) {
    *at = static_cast<std::size_t>(hit - bytes);
    std::size_t line = LineStart(bytes, &lines, *at);
    std::size_t piece = line + (*at - line) / kPieceMax * kPieceMax;
    if (*at + marker.size() <= piece + kPieceMax) return piece;
    search = *at + 1;
  }
  return kNone;
}

// What a data row's scan watches in the pieces it passes over: a sound
// icon, and the link path of the last piece that holds one.
struct Watch {
  bool active = false;
  std::size_t name_length = 0;
  EtatReecriture* state = nullptr;
};

// Takes the link path from the first "..///" of the piece whose raw bytes
// are |raw|: at most |name_length| + 23 bytes of its text, or the rest of
// the piece, its line end included, when it ends sooner.
void TakeLinkPath(std::string_view raw, std::size_t name_length,
                  EtatReecriture* state) {
  std::string_view from = raw.substr(raw.find("..///"));
  // The piece's text ends with LF where its raw bytes end with CR LF.
  const bool crlf = from.size() >= 2 && from.substr(from.size() - 2) == "\r\n";
  const std::size_t text_size = from.size() - (crlf ? 1 : 0);
  const std::size_t take =
      text_size < name_length + 23 ? text_size : name_length + 23;
  char text[kPieceMax + 1];
  std::memcpy(text, from.data(), take);
  if (crlf && take == text_size) text[take - 1] = '\n';
  Assign(&state->CheminLien, std::string_view(text, take));
}

// Watches the whole pieces of raw bytes [from, to).
void WatchPieces(const Cursor& c, std::size_t from, std::size_t to,
                 const Watch& watch) {
  if (!watch.active || from >= to) return;
  const char* bytes = Bytes(c);
  std::size_t at;
  if (FindInPieces(bytes, from, to, "son.gif", &at) != kNone) {
    watch.state->SonVu = true;
  }
  std::size_t last = kNone;
  for (std::size_t piece = from;
       (piece = FindInPieces(bytes, piece, to, "..///", &at)) != kNone;) {
    last = piece;
    // On from the next piece: its start is a line start or a cut.
    piece += PieceLength(bytes + piece, to - piece);
    if (piece >= to) break;
  }
  if (last != kNone) {
    std::size_t length = PieceLength(bytes + last, to - last);
    TakeLinkPath(std::string_view(bytes + last, length), watch.name_length,
                 watch.state);
  }
}

// Makes current the first piece after the current one that holds |marker|,
// watching the pieces passed over and that one. Returns false when there
// is none.
bool NextHolding(Cursor* c, std::string_view marker, const Watch& watch) {
  for (;;) {
    const TextReader* r = c->in;
    const std::size_t from = c->end;
    std::size_t at;
    std::size_t piece = FindInPieces(Bytes(*c), from, r->end, marker, &at);
    if (piece != kNone) {
      WatchPieces(*c, from, piece, watch);
      if (!Load(c, piece)) return false;
      WatchPieces(*c, c->start, c->end, watch);
      return true;
    }
    if (r->at_eof) return Load(c, r->end);
    // None in view. A marker cut by the end of the view lies after the last
    // LF, or in the last cut of a long line: go on from that piece.
    Lines lines{from, from};
    std::size_t line = LineStart(Bytes(*c), &lines, r->end);
    std::size_t tail =
        r->end - line >= marker.size() ? r->end - line - marker.size() : 0;
    std::size_t resume = line + tail / kPieceMax * kPieceMax;
    WatchPieces(*c, from, resume, watch);
    if (!Load(c, resume)) return false;
    WatchPieces(*c, c->start, c->end, watch);
    if (Holds(*c, marker)) return true;
  }
}

// Writes a new cell before the current piece (after the last one, when the
// file has ended).
template <typename WriteCell>
bool InsertCell(Cursor* c, WriteCell write) {
  if (!WritePending(c, c->start)) return false;
  if (write()) return true;
  c->result = RewriteEnd::kWriteError;
  return false;
}

// The scan of a row: passes over the piece after the row's first one, then
// on to the NumeroColonne-th piece after it that holds "</td>", which is left
// current. Returns false when the file ends inside the scan.
bool ScanRow(Cursor* c, const ParamColonne& param, const Watch& watch,
             EtatReecriture* state) {
  if (!Advance(c)) return false;
  while (state->CompteCellules < param.NumeroColonne) {
    if (!NextHolding(c, "</td>", watch)) return false;
    ++state->CompteCellules;
  }
  return true;
}

// The heading row: the new heading cell goes after the NumeroColonne-th
// piece holding "</td>".
bool HeadingRow(Cursor* c, const ParamColonne& param, EtatReecriture* state) {
  if (!ScanRow(c, param, Watch(), state)) return false;
  state->EnteteFaite = true;
  // At the end of the file the cell still goes after the last piece; only
  // an error stops it.
  Advance(c);
  if (c->result != RewriteEnd::kOk) return false;
  return InsertCell(
      c, [&] { return WriteHeadingCell(c->out, param.TexteEntete.view()); });
}

// A data row: the scan also watches for "son.gif" and "..///", and the new
// cell is an image-map cell when the row has a sound icon, a dash otherwise.
bool DataRow(Cursor* c, const ParamColonne& param, const MapCellText& map,
             std::size_t name_length, EtatReecriture* state) {
  if (!ScanRow(c, param, Watch{true, name_length, state}, state)) return false;
  Advance(c);
  if (c->result != RewriteEnd::kOk) return false;
  if (!state->SonVu) {
    return InsertCell(c, [&] { return WriteDashCell(c->out); });
  }
  // Map numbers wrap like the 32-bit counter they are.
  state->NumeroMap = static_cast<std::int32_t>(
      static_cast<std::uint32_t>(state->NumeroMap) + 1u);
  state->SonVu = false;
  return InsertCell(c, [&] {
    return WriteMapCell(c->out, map, state->NumeroMap,
                        state->CheminLien.view());
  });
}

}  // namespace

RewriteEnd RewriteTable(TextReader* source, TextWriter* page,
                        const ParamColonne& param, std::size_t name_length,
                        EtatReecriture* state) {
  const MapCellText map =
      PrepareMapCell(param.NomIcone1.view(), param.NomIcone2.view(),
                     param.NomMap.view(), param.NomFichierLien.view());
  Cursor c;
  c.in = source;
  c.out = page;
  c.pending = source->begin;
  // The first piece is never examined; each row leaves current a piece that
  // is examined (after the heading) or not (after a data row's cell), and
  // the search for the next row starts from the piece after it.
  if (Load(&c, source->begin)) {
    while (NextHolding(&c, "<tr>", Watch())) {
      if (!state->EnteteFaite && !HeadingRow(&c, param, state)) break;
      state->CompteCellules = 0;
      if (Holds(c, "<tr>") && !DataRow(&c, param, map, name_length, state)) {
        break;
      }
      if (!c.present) break;
    }
  }
  if (c.result == RewriteEnd::kOk) WritePending(&c, c.present ? c.end : c.start);
  // After an error the buffer may have moved under the cursor: nothing in
  // it is to be delivered any more.
  source->begin = c.result != RewriteEnd::kOk ? source->end
                  : c.present                 ? c.end
                                              : c.start;
  return c.result;
}
