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
  std::size_t start = 0;    ///< The current piece: raw bytes [start, end).
  std::size_t end = 0;
  bool present = false;     ///< A piece is current.
  std::size_t pending = 0;  ///< First raw byte not yet written.
  FinReecriture fin = FinReecriture::kOk;
};

const char* Bytes(const Cursor& c) { return c.in->buffer.get(); }

// Writes the pending pieces up to raw offset |to|.
bool WritePending(Cursor* c, std::size_t to) {
  std::string_view raw(Bytes(*c) + c->pending, to - c->pending);
  c->pending = to;
  if (WriteRawPieces(c->out, raw)) return true;
  c->fin = FinReecriture::kErreurEcriture;
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
      c->fin = FinReecriture::kErreurLecture;
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

// The start of the line that holds raw offset |at|, given |line|, the
// start of a line at or before it: LFs are looked for only once each.
std::size_t LineStart(const char* bytes, std::size_t line, std::size_t at) {
  while (const void* lf = std::memchr(bytes + line, '\n', at - line)) {
    line = static_cast<std::size_t>(static_cast<const char*>(lf) - bytes) + 1;
  }
  return line;
}

// Makes current the first piece after the current one that holds "<tr>".
// Returns false when there is none.
bool NextRow(Cursor* c) {
  static constexpr std::string_view kRow = "<tr>";
  for (;;) {
    const TextReader* r = c->in;
    const char* bytes = Bytes(*c);
    // Within a line, pieces are cut every kPieceMax bytes from its start, or
    // from |line| here, itself a piece start; a marker across a cut is in
    // neither piece.
    std::size_t line = c->end;
    std::size_t search = c->end;
    while (const char* hit = FindBytes(
               std::string_view(bytes + search, r->end - search), kRow)) {
      std::size_t at = static_cast<std::size_t>(hit - bytes);
      line = LineStart(bytes, line, at);
      std::size_t piece = line + (at - line) / kPieceMax * kPieceMax;
      if (at + kRow.size() <= piece + kPieceMax) return Load(c, piece);
      search = at + 1;
    }
    if (r->at_eof) return Load(c, r->end);
    // None in view. A marker cut by the end of the view lies after the last
    // LF, or in the last cut of a long line: go on from that piece.
    line = LineStart(bytes, line, r->end);
    std::size_t tail = r->end - line >= kRow.size() ? r->end - line - kRow.size() : 0;
    if (!Load(c, line + tail / kPieceMax * kPieceMax)) return false;
    if (Holds(*c, kRow)) return true;
  }
}

// Writes a new cell before the current piece (after the last one, when the
// file has ended).
template <typename WriteCell>
bool InsertCell(Cursor* c, WriteCell write) {
  if (!WritePending(c, c->start)) return false;
  if (write()) return true;
  c->fin = FinReecriture::kErreurEcriture;
  return false;
}

// Takes the link path from the first "..///" of the current piece: at most
// |longueur_nom| + 23 bytes of its text, or the rest of the piece, its line
// end included, when it ends sooner.
void TakeLinkPath(const Cursor& c, std::size_t longueur_nom,
                  EtatReecriture* etat) {
  std::string_view raw(Bytes(c) + c.start, c.end - c.start);
  std::string_view from = raw.substr(raw.find("..///"));
  // The piece's text ends with LF where its raw bytes end with CR LF.
  const bool crlf = from.size() >= 2 && from.substr(from.size() - 2) == "\r\n";
  const std::size_t text_size = from.size() - (crlf ? 1 : 0);
  const std::size_t take = text_size < longueur_nom + 23 ? text_size : longueur_nom + 23;
  char text[kPieceMax + 1];
  std::memcpy(text, from.data(), take);
  if (crlf && take == text_size) text[take - 1] = '\n';
  Remplir(&etat->CheminLien, std::string_view(text, take));
}

// The heading row: the new heading cell goes after the NumeroColonne-th
// piece holding "</td>". Returns false when the file ends inside the scan.
bool HeadingRow(Cursor* c, const ParamColonne& param, EtatReecriture* etat) {
  if (!Advance(c)) return false;
  while (etat->CompteCellules < param.NumeroColonne) {
    if (!Advance(c)) return false;
    if (Holds(*c, "</td>")) ++etat->CompteCellules;
  }
  etat->EnteteFaite = true;
  Advance(c);
  if (c->fin != FinReecriture::kOk) return false;
  return InsertCell(c, [&] {
    return WriteHeadingCell(c->out, param.TexteEntete.vue());
  });
}

// A data row: the scan also watches for "son.gif" and "..///", and the new
// cell is an image-map cell when the row has a sound icon, a dash otherwise.
bool DataRow(Cursor* c, const ParamColonne& param, std::size_t longueur_nom,
             EtatReecriture* etat) {
  if (!Advance(c)) return false;
  while (etat->CompteCellules < param.NumeroColonne) {
    if (!Advance(c)) return false;
    if (Holds(*c, "son.gif")) etat->SonVu = true;
    if (Holds(*c, "</td>")) ++etat->CompteCellules;
    if (Holds(*c, "..///")) TakeLinkPath(*c, longueur_nom, etat);
  }
  Advance(c);
  if (c->fin != FinReecriture::kOk) return false;
  if (!etat->SonVu) {
    return InsertCell(c, [&] { return WriteDashCell(c->out); });
  }
  // Map numbers wrap like the 32-bit counter they are.
  etat->NumeroMap = static_cast<std::int32_t>(
      static_cast<std::uint32_t>(etat->NumeroMap) + 1u);
  etat->SonVu = false;
  return InsertCell(c, [&] {
    return WriteMapCell(c->out, param.NomIcone1.vue(), param.NomIcone2.vue(),
                        param.NomMap.vue(), etat->NumeroMap,
                        etat->CheminLien.vue(), param.NomFichierLien.vue());
  });
}

}  // namespace

FinReecriture Reecrire(TextReader* sauvegarde, TextWriter* page,
                       const ParamColonne& param, std::size_t longueur_nom,
                       EtatReecriture* etat) {
  Cursor c;
  c.in = sauvegarde;
  c.out = page;
  c.pending = sauvegarde->begin;
  // The first piece is never examined; each row leaves current a piece that
  // is examined (after the heading) or not (after a data row's cell), and
  // NextRow looks from the piece after it.
  if (Load(&c, sauvegarde->begin)) {
    while (NextRow(&c)) {
      if (!etat->EnteteFaite && !HeadingRow(&c, param, etat)) break;
      etat->CompteCellules = 0;
      if (Holds(c, "<tr>") && !DataRow(&c, param, longueur_nom, etat)) break;
      if (!c.present) break;
    }
  }
  if (c.fin == FinReecriture::kOk) WritePending(&c, c.present ? c.end : c.start);
  sauvegarde->begin = c.present ? c.end : c.start;
  return c.fin;
}
