// The markers the rewrite looks for, found by sorting 16 bytes at a time
// into the positions where one may start, so that only those are compared
// whole: the search for a row sorts for "<tr>", the scan of a heading row
// for "</td>", the scan of a data row for "</td>" and every '.', the first
// byte of "..///" and the fourth of "son.gif". Each sorting has two
// versions that give the same positions, a vector one and a portable one,
// chosen in text/vector.h. Read as a browser reads the table (--html), the
// sortings let either case of the letter they look at through, and the
// positions are compared by the rules of MarkerRule::kHtml.
#ifndef BRANTIX_REWRITE_MARKERS_H_
#define BRANTIX_REWRITE_MARKERS_H_

#include <cstddef>
#include <string_view>

#include "text/vector.h"

/// The four markers, each found by a case-sensitive search inside one piece:
/// a row starts, a cell ends, a sound icon, a link path.
inline constexpr std::string_view kRowMarker = "<tr>";
inline constexpr std::string_view kCellEndMarker = "</td>";
inline constexpr std::string_view kSoundMarker = "son.gif";
inline constexpr std::string_view kLinkMarker = "..///";
inline constexpr std::string_view kMarkers[] = {kRowMarker, kCellEndMarker,
                                                kSoundMarker, kLinkMarker};

/// How the rewrite reads the markers.
enum class MarkerRule {
  /// The four markers, byte for byte, as above.
  kExact,
  /// As a browser reads the table (--html): a row starts at "<tr" in any
  /// case followed by '>' or white space, so that attributes may follow; a
  /// cell ends at "</td>" or "</th>" in any case; the sound icon is
  /// "son.gif" in any case. "..///" stays as it is. Each is found whole
  /// inside one piece, the byte after "<tr" included.
  kHtml,
};

/// |c| with an upper-case ASCII letter made lower case, for comparisons
/// with a lower-case letter only: no other byte gives a letter.
inline char FoldedLetter(char c) { return static_cast<char>(c | 0x20); }

/// Whether |c| separates words in HTML: blank, tab, LF, FF or CR.
inline bool IsHtmlSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

/// Whether the 4 bytes at |p| start a row under MarkerRule::kHtml.
inline bool HtmlRowAt(const char* p) {
  return p[0] == '<' && FoldedLetter(p[1]) == 't' &&
         FoldedLetter(p[2]) == 'r' && (p[3] == '>' || IsHtmlSpace(p[3]));
}

/// Whether the 5 bytes at |p| end a cell under MarkerRule::kHtml.
inline bool HtmlCellEndAt(const char* p) {
  const char kind = FoldedLetter(p[3]);
  return p[0] == '<' && p[1] == '/' && FoldedLetter(p[2]) == 't' &&
         (kind == 'd' || kind == 'h') && p[4] == '>';
}

/// Whether the 7 bytes at |p| are "son.gif" in any case.
inline bool HtmlSoundAt(const char* p) {
  return FoldedLetter(p[0]) == 's' && FoldedLetter(p[1]) == 'o' &&
         FoldedLetter(p[2]) == 'n' && p[3] == '.' &&
         FoldedLetter(p[4]) == 'g' && FoldedLetter(p[5]) == 'i' &&
         FoldedLetter(p[6]) == 'f';
}

/// Where |piece| first holds a row start, a cell end or a sound icon under
/// |rule|; npos when it holds none. For readers of whole pieces, such as
/// the preview.
std::size_t FindRowStart(std::string_view piece, MarkerRule rule);
std::size_t FindCellEnd(std::string_view piece, MarkerRule rule);
std::size_t FindSound(std::string_view piece, MarkerRule rule);

/// The longest marker's length ("son.gif").
constexpr std::size_t kMarkerMax = 7;

/// Whether the piece |piece| holds |marker|, as the rewrite sees it.
inline bool Holds(std::string_view piece, std::string_view marker) {
  return piece.find(marker) != std::string_view::npos;
}

/// A marker that the end of one piece, |before|, and the start of the next,
/// |after|, spell together, cut in two by the pieces' boundary, so that the
/// rewrite sees it in neither; empty when there is none.
std::string_view MarkerCutBetween(std::string_view before,
                                  std::string_view after);

/// Bytes a block's sorting reads: 16 starting positions and two more.
constexpr std::size_t kBlockView = 18;

/// The positions among the 16 bytes at |p| where "<tr>" may start (a '<'
/// with an 'r' two bytes on), as bits (bit i: |p| + i), without vector
/// instructions. Reads kBlockView bytes.
unsigned RowCandidatesPortable(const char* p);

/// The positions where "</td>" may start: a '<' with a 't' two bytes on.
unsigned CellEndCandidatesPortable(const char* p);

/// The positions that a data row's scan looks at: where "</td>" may start,
/// and every '.', so that one comparison serves "..///" and "son.gif".
unsigned CellScanCandidatesPortable(const char* p);

/// The sortings under MarkerRule::kHtml: the same, with the letter two
/// bytes after the '<' in either case.
unsigned HtmlRowCandidatesPortable(const char* p);
unsigned HtmlCellEndCandidatesPortable(const char* p);
unsigned HtmlCellScanCandidatesPortable(const char* p);

#if BRANTIX_VECTOR
/// The positions among the 16 bytes at |p| that are |first| with |third|
/// two bytes on, as bits.
inline __m128i PairsAt(const char* p, char first, char third) {
  const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 2));
  return _mm_and_si128(_mm_cmpeq_epi8(a, _mm_set1_epi8(first)),
                       _mm_cmpeq_epi8(c, _mm_set1_epi8(third)));
}

/// PairsAt() with |third|, a lower-case letter, in either case.
inline __m128i FoldedPairsAt(const char* p, char first, char third) {
  const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i c =
      _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 2)),
                   _mm_set1_epi8(0x20));
  return _mm_and_si128(_mm_cmpeq_epi8(a, _mm_set1_epi8(first)),
                       _mm_cmpeq_epi8(c, _mm_set1_epi8(third)));
}
#endif

/// RowCandidatesPortable(), 16 positions at a time where it can.
inline unsigned RowCandidates(const char* p) {
#if BRANTIX_VECTOR
  return static_cast<unsigned>(_mm_movemask_epi8(PairsAt(p, '<', 'r')));
#else
  return RowCandidatesPortable(p);
#endif
}

/// CellEndCandidatesPortable(), 16 positions at a time where it can.
inline unsigned CellEndCandidates(const char* p) {
#if BRANTIX_VECTOR
  return static_cast<unsigned>(_mm_movemask_epi8(PairsAt(p, '<', 't')));
#else
  return CellEndCandidatesPortable(p);
#endif
}

/// CellScanCandidatesPortable(), 16 positions at a time where it can.
inline unsigned CellScanCandidates(const char* p) {
#if BRANTIX_VECTOR
  const __m128i dots = _mm_cmpeq_epi8(
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), _mm_set1_epi8('.'));
  return static_cast<unsigned>(
      _mm_movemask_epi8(_mm_or_si128(PairsAt(p, '<', 't'), dots)));
#else
  return CellScanCandidatesPortable(p);
#endif
}

/// HtmlRowCandidatesPortable(), 16 positions at a time where it can.
inline unsigned HtmlRowCandidates(const char* p) {
#if BRANTIX_VECTOR
  return static_cast<unsigned>(_mm_movemask_epi8(FoldedPairsAt(p, '<', 'r')));
#else
  return HtmlRowCandidatesPortable(p);
#endif
}

/// HtmlCellEndCandidatesPortable(), 16 positions at a time where it can.
inline unsigned HtmlCellEndCandidates(const char* p) {
#if BRANTIX_VECTOR
  return static_cast<unsigned>(_mm_movemask_epi8(FoldedPairsAt(p, '<', 't')));
#else
  return HtmlCellEndCandidatesPortable(p);
#endif
}

/// HtmlCellScanCandidatesPortable(), 16 positions at a time where it can.
inline unsigned HtmlCellScanCandidates(const char* p) {
#if BRANTIX_VECTOR
  const __m128i dots = _mm_cmpeq_epi8(
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), _mm_set1_epi8('.'));
  return static_cast<unsigned>(
      _mm_movemask_epi8(_mm_or_si128(FoldedPairsAt(p, '<', 't'), dots)));
#else
  return HtmlCellScanCandidatesPortable(p);
#endif
}

/// The candidates that |kSort| gives from a start to the end of a text,
/// one by one, block after block. The text must be followed by kBlockView
/// bytes that are no candidate's, as the reader's zero padding is.
template <unsigned (*kSort)(const char*)>
class Candidates {
 public:
  /// Walks the candidates of the |size| bytes at |text| from |from| on.
  Candidates(const char* text, std::size_t from, std::size_t size)
      : text_(text),
        block_(from),
        size_(size),
        mask_(from < size ? kSort(text + from) : 0) {}

  /// The next candidate, in |*at|. Returns false when the text ends first.
  bool Next(std::size_t* at) {
    while (mask_ == 0) {
      block_ += 16;
      if (block_ >= size_) return false;
      mask_ = kSort(text_ + block_);
    }
    *at = block_ + LowestBit(mask_);
    mask_ &= mask_ - 1;
    return true;
  }

 private:
  const char* text_;
  std::size_t block_;  ///< Position of the mask's bit 0.
  std::size_t size_;
  unsigned mask_;  ///< Candidates not yet given.
};

#endif  // BRANTIX_REWRITE_MARKERS_H_
