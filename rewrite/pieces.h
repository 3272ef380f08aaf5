// Piece arithmetic for the rewrite, on the reader's bytes, in which every
// LF follows a CR: where the piece that holds a marker starts and ends,
// worked out only where a marker is found. A piece runs up to and including
// the first LF, or kPieceMax bytes of text, a CR LF pair counting as one;
// a longer line is cut every kPieceMax bytes from its start.
#ifndef BRANTIX_REWRITE_PIECES_H_
#define BRANTIX_REWRITE_PIECES_H_

#include <cstddef>
#include <string_view>

#include "text/line_ends.h"
#include "text/text_file.h"

/// Results of the piece searches that are not a position: a piece's end
/// cuts the marker in two.
constexpr std::size_t kPieceCut = static_cast<std::size_t>(-1);
/// The bytes end too soon to tell, and are not the whole rest of the text.
constexpr std::size_t kPieceUnseen = static_cast<std::size_t>(-2);

/// The end of the piece that starts at |start| of |bytes|, which are the
/// |whole| rest of the text or not: |start| itself when the text ends
/// there, kPieceUnseen when |bytes| end too soon to tell.
inline std::size_t PieceEndFrom(std::string_view bytes, bool whole,
                                std::size_t start) {
  const std::size_t room = bytes.size() - start;
  const std::size_t window = room < kPieceMax + 1 ? room : kPieceMax + 1;
  const std::size_t lf = FindLf(bytes.data() + start, window);
  // An LF at kPieceMax follows its CR: the text has kPieceMax bytes.
  if (lf < window) return start + lf + 1;
  if (window == kPieceMax + 1) return start + kPieceMax;
  return whole ? bytes.size() : kPieceUnseen;
}

/// The start of the piece that holds |bytes[at]|, which is no LF, when
/// |known| <= |at| is a piece start.
inline std::size_t PieceStartOf(std::string_view bytes, std::size_t known,
                                std::size_t at) {
  const std::size_t lf = FindLastLf(bytes.data() + known, at - known);
  const std::size_t line = lf == at - known ? known : known + lf + 1;
  return line + (at - line) / kPieceMax * kPieceMax;
}

/// PieceEndAround() once the start of the piece is needed. Out of line:
/// where lines are shorter than pieces, it is seldom called.
[[gnu::noinline]] inline std::size_t PieceEndFromItsStart(
    std::string_view bytes, bool whole, std::size_t* known, std::size_t at,
    std::size_t size) {
  const std::size_t piece = PieceStartOf(bytes, *known, at);
  *known = piece;
  if (at + size > piece + kPieceMax) return kPieceCut;
  return PieceEndFrom(bytes, whole, piece);
}

/// Where the piece that holds the |size| bytes at |at| of |bytes|, none of
/// them a line end, ends, when |*known| <= |at| is a piece start: kPieceCut
/// when a piece's end cuts them in two, kPieceUnseen when |bytes| end too
/// soon to tell and are not the |whole| rest of the text. While the first LF
/// after them is within a piece's length of |*known|, it ends the piece;
/// otherwise the piece's start is worked out and kept in |*known|.
inline std::size_t PieceEndAround(std::string_view bytes, bool whole,
                                  std::size_t* known, std::size_t at,
                                  std::size_t size) {
  const std::size_t reach = *known + kPieceMax;
  if (at + size <= reach) {
    const std::size_t stop =
        reach + 1 < bytes.size() ? reach + 1 : bytes.size();
    const std::size_t lf = at + FindLf(bytes.data() + at, stop - at);
    if (lf < stop) return lf + 1;
    if (!whole && stop == bytes.size()) return kPieceUnseen;
  }
  return PieceEndFromItsStart(bytes, whole, known, at, size);
}

#endif  // BRANTIX_REWRITE_PIECES_H_
