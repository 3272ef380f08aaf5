// The walk of the table rewrite, with what it does told to an observer: a
// template, so that the plain run (rewrite.cc, with NoObserver, whose calls
// are empty) pays nothing for it, and a preview sees every cell the run
// would insert from the rewrite itself. Included by rewrite.cc and by the
// preview only.
#ifndef BRANTIX_REWRITE_REWRITE_WALK_H_
#define BRANTIX_REWRITE_REWRITE_WALK_H_

#include <cstring>
#include <string_view>

#include "rewrite/cells.h"
#include "rewrite/markers.h"
#include "rewrite/pieces.h"
#include "rewrite/rewrite.h"

/// What a cell inserted by the rewrite is.
enum class CellKind { kHeading, kMap, kDash };

/// An observer that is told nothing: the plain run's. Each call is given
/// offsets in the reader's text (every lone LF made CR LF). An observer
/// with kActive false costs nothing: the walk makes none of its calls.
struct NoObserver {
  static constexpr bool kActive = false;
  /// A piece never examined for a row, from |start| to |end|.
  void Passed(std::uint64_t, std::uint64_t) {}
  /// A row starts in the piece, holding "<tr>", that ends at |end|.
  void Row(std::uint64_t) {}
  /// The count of the row's cells starts at |at|.
  void ScanStart(std::uint64_t) {}
  /// The pieces from the count's start to |end| were counted for the row's
  /// cells (and, in a data row, tested for "son.gif" and "..///").
  void ScanEnd(std::uint64_t) {}
  /// The link path was taken from the "..///" at |at|.
  void LinkTaken(std::uint64_t) {}
  /// A cell of |kind| was inserted at |at|; |state| is the rewrite's state
  /// after it.
  void Cell(std::uint64_t, CellKind, const EtatReecriture&) {}
};

namespace rewrite_walk {

// The rewrite walks the reader's view, one row after the other, from a
// piece start. Each row is planned from its bytes: the search for the
// piece that holds "<tr>", the piece passed over after it, the scan of the
// row's pieces up to the NumeroColonne-th that holds "</td>", and, after a
// data row's cell, the piece passed over after the cell. The bytes are
// sorted 16 at a time for the markers that the step can want, and a piece's
// ends are worked out only where a marker is found. The text passed over
// goes out when a cell is written after it, or when the reader reads more.

// What the walk does next, from a piece start.
enum class Stage {
  kPassPiece,     // Passes over a piece that is never examined.
  kFindRow,       // Finds the next piece that holds "<tr>".
  kPassRowPiece,  // Passes over the piece after it.
  kCountCells,    // Counts the row's closed cells.
};

// How a step on the view ended.
enum class Step {
  kDone,   // Done: the next step goes on from its position.
  kCell,   // A new cell is due at its position.
  kMore,   // More bytes are needed from the piece start at its position.
  kEnded,  // The text ends first: no more cells.
};

// What the rewrite works with.
template <typename Observer>
struct Walk {
  const ParamColonne* param;
  std::size_t name_length;
  LinkRule link_rule;
  EtatReecriture* state;
  Observer* observer;
};

// Where a search of |view| stops when more of the text may follow: a marker
// that starts there may go on beyond the view.
inline std::size_t SearchLimit(std::string_view view, bool last) {
  if (last) return view.size();
  return view.size() > kMarkerMax - 1 ? view.size() - (kMarkerMax - 1) : 0;
}

// The piece start from which a search that stopped at |limit| goes on with
// more in view, when |known| is a piece start before it.
inline std::size_t ResumeAt(std::string_view view, std::size_t known,
                            std::size_t limit) {
  if (limit <= known) return known;
  // The LF of a CR LF belongs to the piece of its CR.
  if (view[limit] == '\n') --limit;
  return PieceStartOf(view, known, limit);
}

// Passes over the piece that starts at |*at|: |*at| becomes its end.
inline Step PassPiece(std::string_view view, bool last, std::size_t* at) {
  const std::size_t end = PieceEndFrom(view, last, *at);
  if (end == kPieceUnseen) return Step::kMore;
  if (end == *at) return Step::kEnded;
  *at = end;
  return Step::kDone;
}

// Finds the first piece from |*at| on that holds "<tr>" (kHtml: a row start
// as MarkerRule::kHtml reads it, 4 bytes too): |*at| becomes its end.
// Inlined, as it was before it had two versions: the walk's hottest loop.
template <bool kHtml>
[[gnu::always_inline]] inline Step FindRow(std::string_view view, bool last,
                                           std::size_t* at) {
  constexpr auto kSort = kHtml ? HtmlRowCandidates : RowCandidates;
  const char* text = view.data();
  const std::size_t limit = SearchLimit(view, last);
  std::size_t known = *at;
  Candidates<kSort> candidates(text, *at, view.size());
  std::size_t c;
  while (candidates.Next(&c) && c < limit) {
    if (kHtml ? !HtmlRowAt(text + c)
              : std::memcmp(text + c, kRowMarker.data(), kRowMarker.size()) !=
                    0) {
      continue;
    }
    const std::size_t end = PieceEndAround(view, last, &known, c, 4);
    if (end == kPieceCut) continue;
    if (end == kPieceUnseen) {
      *at = PieceStartOf(view, known, c);
      return Step::kMore;
    }
    *at = end;
    return Step::kDone;
  }
  if (last) return Step::kEnded;
  *at = ResumeAt(view, known, limit);
  return Step::kMore;
}

// Takes the link path from |from|, the bytes of a piece from its first
// "..///" to its end, by |rule|. Under kNameLength: at most |name_length| +
// 23 bytes of its text, or the rest of the piece, its line end included,
// when it ends sooner. Under kFolder: the path up to its last '/'; a path
// that runs to the end of a |full_piece| is taken whole. Called only where
// a link path is found, so the rule costs the walk nothing elsewhere.
inline void TakeLinkPath(std::string_view from, std::size_t name_length,
                         LinkRule rule, bool full_piece,
                         EtatReecriture* state) {
  if (rule == LinkRule::kFolder) {
    const std::size_t end = from.find_first_of("\"'<> \t\r\n", 5);
    if (end == std::string_view::npos && full_piece) {
      Assign(&state->CheminLien, from);
    } else {
      // "..///" itself holds a '/', so there is always one.
      Assign(&state->CheminLien,
             from.substr(0, from.substr(0, end).rfind('/') + 1));
    }
    return;
  }
  // The piece's text ends with LF where its bytes end with CR LF.
  const bool crlf = from.size() >= 2 && from.substr(from.size() - 2) == "\r\n";
  const std::size_t text_size = from.size() - (crlf ? 1 : 0);
  const std::size_t take =
      text_size < name_length + 23 ? text_size : name_length + 23;
  Assign(&state->CheminLien, from.substr(0, take));
  if (crlf && take == text_size) state->CheminLien.bytes[take - 1] = '\n';
}

// No position.
constexpr std::size_t kNone = static_cast<std::size_t>(-1);

// The scan of a row from the piece start |*at| on: the pieces that hold
// "</td>" are counted in CompteCellules up to NumeroColonne, and |*at|
// becomes the end of the last one. In a data row (kWatch), each piece up to
// that one, and that one whole, is also tested: "son.gif" sets SonVu, and
// the first "..///" of a piece gives the link path. A piece's markers are
// gathered, then the piece is tested as a whole, so that a scan that needs
// more bytes starts again at the piece it was in. kHtml: the cell ends and
// sound icons as MarkerRule::kHtml reads them.
template <bool kWatch, bool kHtml, typename Observer>
Step CountCells(const Walk<Observer>& w, std::string_view view, bool last,
                std::uint64_t base, std::size_t* at) {
  constexpr auto kSort =
      kHtml ? (kWatch ? HtmlCellScanCandidates : HtmlCellEndCandidates)
            : (kWatch ? CellScanCandidates : CellEndCandidates);
  const char* text = view.data();
  const std::size_t limit = SearchLimit(view, last);
  EtatReecriture* state = w.state;
  std::size_t known = *at;  // A piece start, at or before the scan.
  // The piece whose markers are gathered: its end (0: none yet), its first
  // marker, and what it holds.
  std::size_t piece_end = 0;
  std::size_t first = 0;
  bool cell_end = false;
  bool sound = false;
  std::size_t link = kNone;
  Candidates<kSort> candidates(text, *at, view.size());
  std::size_t c;
  for (;;) {
    const bool more = candidates.Next(&c) && c < limit;
    if (piece_end != 0 && (!more || c >= piece_end)) {
      if (!more && piece_end > limit) {
        // Part of the piece is still to be searched.
        *at = PieceStartOf(view, known, first);
        return Step::kMore;
      }
      // The piece tested as a whole: sound icon, cell end, link path.
      if (kWatch && sound) state->SonVu = true;
      const bool counted =
          cell_end && ++state->CompteCellules >= w.param->NumeroColonne;
      if (kWatch && link != kNone) {
        // A piece without a line end that is kPieceMax bytes long was cut
        // by its length: the path may go on in the next one. Worked out
        // for the folder rule only.
        const bool full_piece =
            w.link_rule == LinkRule::kFolder && text[piece_end - 1] != '\n' &&
            piece_end - PieceStartOf(view, known, link) == kPieceMax;
        TakeLinkPath(view.substr(link, piece_end - link), w.name_length,
                     w.link_rule, full_piece, state);
        if constexpr (Observer::kActive) w.observer->LinkTaken(base + link);
      }
      if (counted) {
        *at = piece_end;
        return Step::kCell;
      }
      known = piece_end;
      piece_end = 0;
      cell_end = sound = false;
      link = kNone;
    }
    if (!more) break;
    // A '<' with a 't' two on may start "</td>"; a '.' may start "..///",
    // or be the '.' of "son.gif", told apart by the byte after it.
    std::size_t start = c;
    std::size_t size = 5;
    const char second = text[c + 1];
    const bool g = kHtml ? FoldedLetter(second) == 'g' : second == 'g';
    if (second == '/') {
      if (kHtml ? !HtmlCellEndAt(text + c)
                : std::memcmp(text + c, kCellEndMarker.data(), 5) != 0) {
        continue;
      }
    } else if (kWatch && second == '.') {
      if (std::memcmp(text + c, kLinkMarker.data(), 5) != 0) continue;
    } else if (kWatch && g) {
      if (c < known + 3 ||
          (kHtml ? !HtmlSoundAt(text + c - 3)
                 : std::memcmp(text + c - 3, kSoundMarker.data(), 7) != 0)) {
        continue;
      }
      start = c - 3;
      size = 7;
    } else {
      continue;
    }
    if (piece_end == 0) {
      const std::size_t end = PieceEndAround(view, last, &known, start, size);
      if (end == kPieceCut) continue;
      if (end == kPieceUnseen) {
        *at = PieceStartOf(view, known, start);
        return Step::kMore;
      }
      piece_end = end;
      first = start;
    } else if (start + size > piece_end) {
      continue;  // Cut in two by the piece's end.
    }
    if (second == '/') {
      cell_end = true;
    } else if (g) {
      sound = true;
    } else if (link == kNone) {
      link = start;
    }
  }
  if (last) return Step::kEnded;
  *at = ResumeAt(view, known, limit);
  return Step::kMore;
}

// Walks the view from the piece start |*at| in |*stage| until a new cell is
// due at |*at| (kCell), more bytes are needed from the piece start |*at|
// (kMore), or the text ends (kEnded). Out of line, so that its loops have
// the registers to themselves.
template <bool kHtml, typename Observer>
[[gnu::noinline]] Step Plan(const Walk<Observer>& w, std::string_view view,
                            bool last, std::uint64_t base, Stage* stage,
                            std::size_t* at) {
  Step step;
  [[maybe_unused]] const std::size_t from = *at;
  switch (*stage) {
    case Stage::kPassPiece:
      if ((step = PassPiece(view, last, at)) != Step::kDone) return step;
      if constexpr (Observer::kActive) {
        w.observer->Passed(base + from, base + *at);
      }
      *stage = Stage::kFindRow;
      [[fallthrough]];
    case Stage::kFindRow:
      if ((step = FindRow<kHtml>(view, last, at)) != Step::kDone) return step;
      if constexpr (Observer::kActive) w.observer->Row(base + *at);
      *stage = Stage::kPassRowPiece;
      [[fallthrough]];
    case Stage::kPassRowPiece:
      // The count starts after the piece that follows the "<tr>" piece.
      if ((step = PassPiece(view, last, at)) != Step::kDone) return step;
      w.state->CompteCellules = 0;
      if constexpr (Observer::kActive) w.observer->ScanStart(base + *at);
      if (w.param->NumeroColonne <= 0) {
        if constexpr (Observer::kActive) w.observer->ScanEnd(base + *at);
        return Step::kCell;
      }
      *stage = Stage::kCountCells;
      break;
    case Stage::kCountCells:
      break;
  }
  // Only a data row's scan watches for sound icons and link paths.
  step = w.state->EnteteFaite
             ? CountCells<true, kHtml>(w, view, last, base, at)
             : CountCells<false, kHtml>(w, view, last, base, at);
  if constexpr (Observer::kActive) {
    if (step == Step::kCell) w.observer->ScanEnd(base + *at);
    if (step == Step::kEnded) w.observer->ScanEnd(base + view.size());
  }
  return step;
}

// Writes the new cell of the row: the heading cell in the first row, then
// an image-map cell for a row with a sound icon, a dash cell otherwise.
// Returns false when a write failed.
inline bool WriteCell(TextWriter* page, const ParamColonne& param,
                      MapCells* map, EtatReecriture* state) {
  if (!state->EnteteFaite) {
    state->EnteteFaite = true;
    return WriteHeadingCell(page, param.TexteEntete.view());
  }
  if (!state->SonVu) return WriteDashCell(page);
  // Map numbers wrap like the 32-bit counter they are.
  state->NumeroMap = static_cast<std::int32_t>(
      static_cast<std::uint32_t>(state->NumeroMap) + 1u);
  state->SonVu = false;
  return map->Write(page, state->NumeroMap, state->CheminLien.view());
}

// The rewrite, its markers read by MarkerRule::kHtml when |kHtml|: one
// walk for each rule, so that the exact one pays nothing for the other.
template <bool kHtml, typename Observer>
TextEnd Rewrite(TextReader* source, TextWriter* page, const ParamColonne& param,
                std::size_t name_length, EtatReecriture* state,
                Observer* observer, LinkRule link_rule) {
  MapCells map(param.NomIcone1.view(), param.NomIcone2.view(),
               param.NomMap.view(), param.NomFichierLien.view());
  const Walk<Observer> w{&param, name_length, link_rule, state, observer};
  // The first piece is never examined.
  Stage stage = Stage::kPassPiece;
  std::uint64_t at = source->Position();
  for (;;) {
    const std::string_view view = source->View();
    const std::uint64_t base = source->Position();
    std::size_t from = static_cast<std::size_t>(at - base);
    const Step step =
        Plan<kHtml>(w, view, source->AtEnd(), base, &stage, &from);
    at = base + from;
    if (step == Step::kEnded) break;
    if (!source->PassTo(at, page)) return TextEnd::kWriteError;
    if (step == Step::kMore) {
      if (!source->ReadMore()) return TextEnd::kReadError;
      continue;
    }
    // The piece right after the heading cell is examined for a row; the
    // one right after a data row's cell is not.
    stage = state->EnteteFaite ? Stage::kPassPiece : Stage::kFindRow;
    [[maybe_unused]] const CellKind kind = !state->EnteteFaite
                                               ? CellKind::kHeading
                                           : state->SonVu ? CellKind::kMap
                                                          : CellKind::kDash;
    if (!WriteCell(page, param, &map, state)) return TextEnd::kWriteError;
    if constexpr (Observer::kActive) observer->Cell(at, kind, *state);
  }
  // The rest of the text, after the last cell.
  return source->CopyText(page);
}

}  // namespace rewrite_walk

/// RewriteTable(), with what it does told to |observer|.
template <typename Observer>
TextEnd RewriteTableObserved(TextReader* source, TextWriter* page,
                             const ParamColonne& param, std::size_t name_length,
                             EtatReecriture* state, Observer* observer,
                             LinkRule link_rule = LinkRule::kNameLength,
                             MarkerRule marker_rule = MarkerRule::kExact) {
  return marker_rule == MarkerRule::kHtml
             ? rewrite_walk::Rewrite<true>(source, page, param, name_length,
                                           state, observer, link_rule)
             : rewrite_walk::Rewrite<false>(source, page, param, name_length,
                                            state, observer, link_rule);
}

#endif  // BRANTIX_REWRITE_REWRITE_WALK_H_
