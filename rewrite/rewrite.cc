#include "rewrite/rewrite.h"

#include <cstring>
#include <string_view>

#include "rewrite/cells.h"
#include "rewrite/markers.h"

namespace {

// The rewrite walks the reader's text, its positions counted from the
// start of the whole text. The pieces it passes over are not written one
// by one: they go out together when a cell is written after them, or when
// the reader makes room for more.
struct Walk {
  TextReader* in = nullptr;
  TextWriter* out = nullptr;
  RewriteEnd result = RewriteEnd::kOk;
};

// Notes how a move of the reader ended; true when it went well.
bool Ok(Walk* w, ReadStatus status) {
  switch (status) {
    case ReadStatus::kOk:
      return true;
    case ReadStatus::kReadError:
      w->result = RewriteEnd::kReadError;
      return false;
    case ReadStatus::kWriteError:
      w->result = RewriteEnd::kWriteError;
      return false;
  }
  return false;
}

// Makes the piece at |at| current, its bytes whole in view.
bool GoTo(Walk* w, std::uint64_t at) {
  return Ok(w, w->in->MoveTo(at, w->out));
}

// Makes the piece at |at| current and sets |*end| to its end. Returns false
// when there is none: the text ends at |at|.
bool PieceEnd(Walk* w, std::uint64_t at, std::uint64_t* end) {
  if (!GoTo(w, at)) return false;
  const std::size_t length = w->in->Piece().size();
  *end = at + length;
  return length > 0;
}

// What a data row's scan watches in the pieces it tests: a sound icon, and
// the link path.
struct Watch {
  bool active = false;
  std::size_t name_length = 0;
  EtatReecriture* state = nullptr;
};

// Takes the link path from |from|, the bytes of a piece from its first
// "..///" to its end: at most |name_length| + 23 bytes of its text, or the
// rest of the piece, its line end included, when it ends sooner.
void TakeLinkPath(std::string_view from, std::size_t name_length,
                  EtatReecriture* state) {
  // The piece's text ends with LF where its bytes end with CR LF.
  const bool crlf = from.size() >= 2 && from.substr(from.size() - 2) == "\r\n";
  const std::size_t text_size = from.size() - (crlf ? 1 : 0);
  const std::size_t take =
      text_size < name_length + 23 ? text_size : name_length + 23;
  Assign(&state->CheminLien, from.substr(0, take));
  if (crlf && take == text_size) state->CheminLien.bytes[take - 1] = '\n';
}

// Finds, from the piece start |from| on, the pieces that hold |wanted|,
// adding one to |*count| for each, until it reaches |until|; sets |*end|
// to the end of the last one. With an active |watch|, each piece up to that
// one, and that one whole, is tested: "son.gif" sets SonVu, and the first
// "..///" of a piece gives the link path. The text is walked once: all four
// markers come from one search, and a marker's piece is worked out only
// where one is found. Returns false when the text ends first, or on an
// error.
template <bool kWatching>
bool FindPiecesIn(Walk* w, std::uint64_t from, Marker wanted,
                  std::int32_t* count, std::int32_t until, const Watch& watch,
                  std::uint64_t* end) {
  if (!GoTo(w, from)) return false;
  TextReader* in = w->in;
  // Once SonVu is set, the sound icons of the row no longer matter.
  unsigned set = MarkerBit(wanted);
  if (kWatching) {
    set |= MarkerBit(Marker::kLink);
    if (!watch.state->SonVu) set |= MarkerBit(Marker::kSound);
  }
  std::uint64_t known = from;    // A piece start, at or before the search.
  std::uint64_t scan = from;     // The first position not yet searched.
  std::uint64_t counted = from;  // The end of the last piece counted.
  std::uint64_t found = 0;       // The end of the last piece to count.
  std::uint64_t linked = 0;      // The end of the piece that gave the path.
  for (;;) {
    const std::string_view view = in->View();
    const std::uint64_t base = in->Position();
    const bool last = in->AtEnd();
    // A marker that starts near the end of the view may go on beyond it.
    std::size_t limit = last ? view.size() : view.size() - (kMarkerMax - 1);
    if (found != 0 && found - base < limit) limit = found - base;
    MarkerScan markers(view, scan - base, limit, set);
    std::size_t piece = known - base;
    std::size_t at;
    Marker marker;
    std::size_t resume = limit;  // Where to search again with more in view.
    bool stopped = false;        // Stopped at |resume|, short of bytes.
    while (markers.Next(&at, &marker)) {
      if (marker == wanted && (found != 0 || base + at < counted)) continue;
      const std::size_t size = MarkerText(marker).size();
      if (marker == Marker::kSound) {
        if (!InPieceFrom(piece, at, size)) {
          piece = PieceStartOf(view, piece, at);
          if (!InPieceFrom(piece, at, size)) continue;  // Cut in two.
        }
        watch.state->SonVu = true;
        set &= ~MarkerBit(Marker::kSound);
        markers.Ignore(MarkerBit(Marker::kSound));
        continue;
      }
      const std::size_t piece_end =
          PieceEndAround(view, last, &piece, at, size);
      if (piece_end == kPieceCut) continue;
      if (piece_end == kPieceUnseen) {
        resume = at;
        stopped = true;
        break;
      }
      if (marker == Marker::kLink) {
        if (base + at >= linked) {
          TakeLinkPath(view.substr(at, piece_end - at), watch.name_length,
                       watch.state);
          linked = base + piece_end;
        }
        continue;
      }
      counted = base + piece_end;
      if (++*count < until) continue;
      found = counted;
      if (!kWatching) break;
      if (piece_end < limit) limit = piece_end;
      markers.StopAt(limit);
    }
    known = base + piece;
    if (!stopped) {
      if (found != 0 && (!kWatching || found - base <= limit)) {
        *end = found;
        return true;
      }
      if (last) return false;
    }
    // Search on from |resume| with more in view, keeping the piece that
    // holds it.
    scan = base + resume;
    std::size_t x = resume;
    if (x > piece && view[x] == '\n') --x;  // The LF of a CR LF.
    known = base + PieceStartOf(view, piece, x);
    if (!GoTo(w, known) || !Ok(w, in->ReadMore(w->out))) return false;
  }
}

// Finds, from the piece start |from| on, the pieces that hold |wanted|: see
// FindPiecesIn(), made for each kind of scan, so that the search for a row
// does not carry the watch's work.
bool FindPieces(Walk* w, std::uint64_t from, Marker wanted, std::int32_t* count,
                std::int32_t until, const Watch& watch, std::uint64_t* end) {
  return watch.active
             ? FindPiecesIn<true>(w, from, wanted, count, until, watch, end)
             : FindPiecesIn<false>(w, from, wanted, count, until, watch, end);
}

// Writes a new cell at |at|, after what was passed over before it.
template <typename WriteCell>
bool InsertCell(Walk* w, std::uint64_t at, WriteCell write) {
  if (!GoTo(w, at)) return false;
  if (w->in->WritePassedOver(w->out) && write()) return true;
  w->result = RewriteEnd::kWriteError;
  return false;
}

// The scan of a row whose first piece ends at |row|: passes over the piece
// after it, then on to the NumeroColonne-th piece after that which holds
// "</td>". Sets |*cell| to where the new cell goes: after that piece, or
// after the one passed over. Returns false when the text ends first.
bool ScanRow(Walk* w, std::uint64_t row, const ParamColonne& param,
             const Watch& watch, EtatReecriture* state, std::uint64_t* cell) {
  std::uint64_t at;
  if (!PieceEnd(w, row, &at)) return false;
  state->CompteCellules = 0;
  if (state->CompteCellules < param.NumeroColonne &&
      !FindPieces(w, at, Marker::kCellEnd, &state->CompteCellules,
                  param.NumeroColonne, watch, &at)) {
    return false;
  }
  *cell = at;
  return true;
}

// The heading row: the new heading cell goes after the NumeroColonne-th
// piece holding "</td>", even at the end of the text.
bool HeadingRow(Walk* w, std::uint64_t row, const ParamColonne& param,
                EtatReecriture* state, std::uint64_t* cell) {
  if (!ScanRow(w, row, param, Watch(), state, cell)) return false;
  state->EnteteFaite = true;
  return InsertCell(w, *cell, [&] {
    return WriteHeadingCell(w->out, param.TexteEntete.view());
  });
}

// A data row: the scan also watches for "son.gif" and "..///", and the new
// cell is an image-map cell when the row has a sound icon, a dash otherwise.
bool DataRow(Walk* w, std::uint64_t row, const ParamColonne& param,
             MapCells* map, const Watch& watch, EtatReecriture* state,
             std::uint64_t* cell) {
  if (!ScanRow(w, row, param, watch, state, cell)) return false;
  if (!state->SonVu) {
    return InsertCell(w, *cell, [&] { return WriteDashCell(w->out); });
  }
  // Map numbers wrap like the 32-bit counter they are.
  state->NumeroMap = static_cast<std::int32_t>(
      static_cast<std::uint32_t>(state->NumeroMap) + 1u);
  state->SonVu = false;
  return InsertCell(w, *cell, [&] {
    return map->Write(w->out, state->NumeroMap, state->CheminLien.view());
  });
}

// How a row went on the quick path.
enum class QuickRow { kNotTaken, kDone, kStopped };

// Whether the bytes at |p| are those of |marker|.
template <std::size_t kSize>
inline bool Is(const char* p, const char (&marker)[kSize]) {
  return std::memcmp(p, marker, kSize - 1) == 0;
}

// What the quick path found for one data row, offsets in the view.
struct RowPlan {
  std::int32_t count = 0;    // The cells counted.
  bool sound = false;        // SonVu after the scan.
  std::size_t link = 0;      // The "..///" whose piece gives the path.
  std::size_t link_end = 0;  // The end of its piece; 0: none.
  std::size_t cell = 0;      // Where the new cell goes.
  std::size_t next = 0;      // Where the next row search starts.
};

// Plans the data row from the piece start |start| of |view| on, when its
// lines are shorter than pieces, so that pieces are lines, and it ends more
// than a piece before the end of the view: the search for the piece that
// holds "<tr>", the piece passed over after it, the scan of the row's
// pieces up to the |columns|-th that holds "</td>", and the piece passed
// over after the new cell. Each piece of the scan is looked at where one
// of its markers is found, and only there. Returns false when the row does
// not fit that case; the general path takes it then.
// Out of line, so that its loops have the registers to themselves.
[[gnu::noinline]] bool PlanRow(std::string_view view, std::size_t start,
                               std::int32_t columns, bool sound,
                               RowPlan* plan) {
  const char* text = view.data();
  // Every candidate has its marker's bytes, and son.gif's three before it,
  // in view.
  const std::size_t last_block = view.size() - 2 * kBlockView;
  std::size_t known = start;
  std::size_t at;
  CandidateWalk<RowCandidates> rows(text, start, last_block);
  do {
    if (!rows.Next(&at)) return false;
  } while (!Is(text + at, "<tr>"));
  const std::size_t row = ShortLinePieceEnd(view, &known, at);
  if (row == 0) return false;
  // The piece after it is passed over; the count starts after that.
  known = row;
  const std::size_t cells_from = ShortLinePieceEnd(view, &known, row);
  if (cells_from == 0) return false;

  plan->count = 0;
  plan->link_end = 0;
  std::size_t cell = cells_from;
  if (columns > 0) {
    CandidateWalk<CellScanCandidates> cells(text, cells_from, last_block);
    known = cells_from;
    // The piece whose markers are being gathered: its end (0: none yet),
    // and what it holds.
    std::size_t piece_end = 0;
    bool cell_end = false;
    bool sound_icon = false;
    std::size_t link = 0;
    for (;;) {
      const bool more = cells.Next(&at);
      if (piece_end != 0 && (!more || at >= piece_end)) {
        // The piece is tested as a whole: sound icon, cell end, link path.
        sound = sound || sound_icon;
        if (link != 0) {
          plan->link = link;
          plan->link_end = piece_end;
        }
        if (cell_end && ++plan->count >= columns) {
          cell = piece_end;
          break;
        }
        known = piece_end;
        piece_end = 0;
        cell_end = sound_icon = false;
        link = 0;
      }
      if (!more) return false;
      // A '<' may start "</td>"; a '.' may start "..///", or be the '.' of
      // "son.gif", told apart by the byte after it.
      std::size_t marker_at = at;
      const char second = text[at + 1];
      if (second == '/') {
        if (!Is(text + at, "</td>")) continue;
        cell_end = true;
      } else if (second == '.') {
        if (!Is(text + at, "..///")) continue;
        if (link == 0) link = at;
      } else if (second == 'g') {
        if (at < cells_from + 3 || !Is(text + at - 3, "son.gif")) continue;
        marker_at = at - 3;
        sound_icon = true;
      } else {
        continue;
      }
      if (piece_end == 0) {
        piece_end = ShortLinePieceEnd(view, &known, marker_at);
        if (piece_end == 0) return false;
      }
    }
  }
  // The piece after the new cell is passed over too.
  known = cell;
  const std::size_t next = ShortLinePieceEnd(view, &known, cell);
  if (next == 0 || view.size() - next < kPieceMax + 1) return false;
  plan->sound = sound;
  plan->cell = cell;
  plan->next = next;
  return true;
}

// The data rows from the piece start |*from| on that PlanRow() can plan in
// the reader's view, one after the other, each decided as DataRow() after
// FindPieces() would, with none of the moves of the reader that the general
// path makes on the way. A row's state and cell change only once it is
// planned. Returns kNotTaken when there was none, kDone when the general
// path goes on at |*from|, and kStopped when the walk ends with
// |w->result|. A new cell moves the reader to a position with more than a
// piece in view after it: it reads nothing, and the view stays valid.
QuickRow QuickDataRows(Walk* w, const ParamColonne& param, MapCells* map,
                       const Watch& watch, EtatReecriture* state,
                       std::uint64_t* from) {
  const std::string_view view = w->in->View();
  const std::uint64_t base = w->in->Position();
  if (*from < base || view.size() < 2 * (kPieceMax + 1)) {
    return QuickRow::kNotTaken;
  }
  std::size_t start = static_cast<std::size_t>(*from - base);
  QuickRow result = QuickRow::kNotTaken;
  RowPlan plan;
  while (PlanRow(view, start, param.NumeroColonne, state->SonVu, &plan)) {
    state->CompteCellules = plan.count;
    if (plan.link_end != 0) {
      TakeLinkPath(view.substr(plan.link, plan.link_end - plan.link),
                   watch.name_length, state);
    }
    bool written;
    if (!plan.sound) {
      written = InsertCell(w, base + plan.cell,
                           [&] { return WriteDashCell(w->out); });
    } else {
      // Map numbers wrap like the 32-bit counter they are.
      state->NumeroMap = static_cast<std::int32_t>(
          static_cast<std::uint32_t>(state->NumeroMap) + 1u);
      state->SonVu = false;
      written = InsertCell(w, base + plan.cell, [&] {
        return map->Write(w->out, state->NumeroMap, state->CheminLien.view());
      });
    }
    if (!written) return QuickRow::kStopped;
    start = plan.next;
    *from = base + start;
    result = QuickRow::kDone;
  }
  return result;
}

}  // namespace

RewriteEnd RewriteTable(TextReader* source, TextWriter* page,
                        const ParamColonne& param, std::size_t name_length,
                        EtatReecriture* state) {
  MapCells map(param.NomIcone1.view(), param.NomIcone2.view(),
               param.NomMap.view(), param.NomFichierLien.view());
  Walk w;
  w.in = source;
  w.out = page;
  const Watch watch{true, name_length, state};
  // The first piece is never examined. Each row ends with a piece that is
  // examined (after the heading cell) or not (after a data row's cell).
  std::uint64_t from;
  if (PieceEnd(&w, source->Position(), &from)) {
    for (;;) {
      if (state->EnteteFaite) {
        const QuickRow quick =
            QuickDataRows(&w, param, &map, watch, state, &from);
        if (quick == QuickRow::kDone) continue;
        if (quick == QuickRow::kStopped) break;
      }
      std::uint64_t row;  // The end of the piece that starts a row.
      std::uint64_t cell;
      std::int32_t rows = 0;
      if (!FindPieces(&w, from, Marker::kRow, &rows, 1, Watch(), &row)) break;
      if (!state->EnteteFaite) {
        if (!HeadingRow(&w, row, param, state, &cell) ||
            !PieceEnd(&w, cell, &from)) {
          break;
        }
        if (source->Piece().find("<tr>") == std::string_view::npos) continue;
        row = from;
      }
      if (!DataRow(&w, row, param, &map, watch, state, &cell) ||
          !PieceEnd(&w, cell, &from)) {
        break;
      }
    }
  }
  if (w.result != RewriteEnd::kOk) return w.result;
  // The rest of the text, after the last cell.
  switch (source->CopyText(page)) {
    case CopyEnd::kDone:
      return RewriteEnd::kOk;
    case CopyEnd::kReadError:
      return RewriteEnd::kReadError;
    case CopyEnd::kWriteError:
      return RewriteEnd::kWriteError;
  }
  return RewriteEnd::kOk;
}
