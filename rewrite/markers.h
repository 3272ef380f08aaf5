// The four markers the rewrite looks for, found in one pass over the bytes:
// each block of 16 bytes is sorted once into the positions where a marker
// may start (its first byte and its third are right, or, in a data row's
// scan, its '.' is there), and only those are compared whole. The general
// search sorts for all four markers; the rows' quick path sorts for "<tr>"
// in one walk and for the markers of a row's scan in another. Each sorting
// has two versions that give the same positions: one with SSE2 (present on
// every x86-64, Windows included), and a portable one, used where SSE2 is
// missing and as its reference.
#ifndef BRANTIX_REWRITE_MARKERS_H_
#define BRANTIX_REWRITE_MARKERS_H_

#include <cstddef>
#include <cstring>
#include <string_view>

#include "text/vector.h"

/// The markers, by what they mean to the rewrite.
enum class Marker : unsigned char {
  kRow,      ///< "<tr>": a table row starts.
  kCellEnd,  ///< "</td>": a cell ends.
  kSound,    ///< "son.gif": the row has a sound icon.
  kLink,     ///< "..///": the link path.
};

/// The bytes of |marker|.
constexpr std::string_view MarkerText(Marker marker) {
  switch (marker) {
    case Marker::kRow:
      return "<tr>";
    case Marker::kCellEnd:
      return "</td>";
    case Marker::kSound:
      return "son.gif";
    case Marker::kLink:
      return "..///";
  }
  return "";
}

/// The longest marker's length.
constexpr std::size_t kMarkerMax = 7;

/// Bytes a block's sorting reads: 16 starting positions and two more.
constexpr std::size_t kBlockView = 18;

/// The bit of |marker| in a set of markers.
constexpr unsigned MarkerBit(Marker marker) {
  return 1u << static_cast<unsigned>(marker);
}

/// The set of all four markers.
constexpr unsigned kAllMarkers = 0xF;

#if BRANTIX_VECTOR
/// What a block's sorting compares: the 16 bytes at |p|, and the 16 two
/// bytes on, each a marker's third byte.
struct BlockBytes {
  __m128i first;
  __m128i third;
};

inline BlockBytes LoadBlock(const char* p) {
  return {_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)),
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 2))};
}

/// The bytes of |v| that are |c|, as all-ones bytes.
inline __m128i BytesAre(__m128i v, char c) {
  return _mm_cmpeq_epi8(v, _mm_set1_epi8(c));
}
#endif

/// The positions among the 16 bytes at |p| where a marker of |wanted| (a
/// set of MarkerBit()s) may start, as bits (bit i: |p| + i), without vector
/// instructions. Reads kBlockView bytes. When both "<tr>" and "</td>" are
/// wanted, 'r' and 't' after '<' are told from other bytes by all their
/// bits but 0x06, so 'p' and 'v' make candidates too, and fail the whole
/// comparison.
unsigned MarkerCandidatesPortable(const char* p, unsigned wanted = kAllMarkers);

/// The same, 16 positions at a time, for the set |kWanted|: the fewer
/// markers, the fewer comparisons. Inline: it runs in the search's loop,
/// its constants kept in registers.
template <unsigned kWanted>
inline unsigned MarkerCandidatesOf(const char* p) {
#if BRANTIX_VECTOR
  const auto [first, third] = LoadBlock(p);
  constexpr bool kRow = (kWanted & MarkerBit(Marker::kRow)) != 0;
  constexpr bool kCellEnd = (kWanted & MarkerBit(Marker::kCellEnd)) != 0;
  __m128i any = _mm_setzero_si128();
  if constexpr (kRow && kCellEnd) {
    const __m128i r_or_t = BytesAre(
        _mm_and_si128(third, _mm_set1_epi8(static_cast<char>(0xF9))), 'p');
    any = _mm_and_si128(BytesAre(first, '<'), r_or_t);
  } else if constexpr (kRow) {
    any = _mm_and_si128(BytesAre(first, '<'), BytesAre(third, 'r'));
  } else if constexpr (kCellEnd) {
    any = _mm_and_si128(BytesAre(first, '<'), BytesAre(third, 't'));
  }
  if constexpr ((kWanted & MarkerBit(Marker::kSound)) != 0) {
    any = _mm_or_si128(
        any, _mm_and_si128(BytesAre(first, 's'), BytesAre(third, 'n')));
  }
  if constexpr ((kWanted & MarkerBit(Marker::kLink)) != 0) {
    any = _mm_or_si128(
        any, _mm_and_si128(BytesAre(first, '.'), BytesAre(third, '/')));
  }
  return static_cast<unsigned>(_mm_movemask_epi8(any));
#else
  return MarkerCandidatesPortable(p, kWanted);
#endif
}

/// The positions where any of the four markers may start.
inline unsigned MarkerCandidates(const char* p) {
  return MarkerCandidatesOf<kAllMarkers>(p);
}

/// The positions where "<tr>" may start.
inline unsigned RowCandidates(const char* p) {
  return MarkerCandidatesOf<MarkerBit(Marker::kRow)>(p);
}

/// The positions among the 16 bytes at |p| that a data row's scan looks
/// at, without vector instructions: where "</td>" may start (a '<' with a
/// 't' two bytes on), and every '.', the first byte of "..///" and the
/// fourth of "son.gif", so that one comparison serves both. Reads
/// kBlockView bytes.
unsigned CellScanCandidatesPortable(const char* p);

/// The same, 16 positions at a time.
inline unsigned CellScanCandidates(const char* p) {
#if BRANTIX_VECTOR
  const auto [first, third] = LoadBlock(p);
  const __m128i cell_end =
      _mm_and_si128(BytesAre(first, '<'), BytesAre(third, 't'));
  const __m128i dot = BytesAre(first, '.');
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(cell_end, dot)));
#else
  return CellScanCandidatesPortable(p);
#endif
}

/// The candidates that |kSort| (MarkerCandidates() or one of its kind)
/// gives, one by one, block after block from a start, as long as the
/// blocks start at or before a last one: a walk with no piece arithmetic,
/// for text known to hold enough bytes.
template <unsigned (*kSort)(const char*)>
class CandidateWalk {
 public:
  /// Walks the candidates of |text| from |from| on, in blocks that start
  /// at or before |last_block|: all their kBlockView bytes are in |text|.
  CandidateWalk(const char* text, std::size_t from, std::size_t last_block)
      : text_(text),
        block_(from),
        last_block_(last_block),
        mask_(from <= last_block ? kSort(text + from) : 0) {}

  /// The next candidate, in |*at|. Returns false when the blocks end first.
  bool Next(std::size_t* at) {
    while (mask_ == 0) {
      block_ += 16;
      if (block_ > last_block_) return false;
      mask_ = kSort(text_ + block_);
    }
    *at = block_ + LowestBit(mask_);
    mask_ &= mask_ - 1;
    return true;
  }

 private:
  const char* text_;
  std::size_t block_;  ///< Position of the mask's bit 0.
  std::size_t last_block_;
  unsigned mask_;  ///< Candidates not yet given.
};

/// The positions among the 16 from |from| in |text| where a marker may
/// start, when fewer than kBlockView bytes are left.
unsigned MarkerCandidatesNearTheEnd(std::string_view text, std::size_t from);

/// Whether a whole marker starts at |p|, a candidate with |left| bytes
/// from it to the end of the text, and which.
inline bool WholeMarker(const char* p, std::size_t left, Marker* marker) {
  switch (p[0]) {
    case '<':
      if (p[1] == 't') {
        *marker = Marker::kRow;
        return left >= 4 && std::memcmp(p, "<tr>", 4) == 0;
      }
      *marker = Marker::kCellEnd;
      return left >= 5 && std::memcmp(p, "</td>", 5) == 0;
    case 's':
      *marker = Marker::kSound;
      return left >= 7 && std::memcmp(p, "son.gif", 7) == 0;
    default:
      *marker = Marker::kLink;
      return left >= 5 && std::memcmp(p, "..///", 5) == 0;
  }
}

/// A forward search for the four markers at once, that reports those of a
/// chosen set among them, with the piece arithmetic left to its user: the
/// general path of the rewrite, for any page.
class MarkerScan {
 public:
  /// Searches |text| for the markers of |wanted| (MarkerBit()s) that start
  /// in [from, limit) and lie whole in |text|.
  MarkerScan(std::string_view text, std::size_t from, std::size_t limit,
             unsigned wanted)
      : text_(text), block_(from), limit_(limit), mask_(0), wanted_(wanted) {
    SetWholeEnd();
    if (from < limit) mask_ = Sort(from);
  }

  /// Finds the next marker of the set: its offset in |*at| and which it is
  /// in |*marker|. Returns false when there is none before the limit.
  bool Next(std::size_t* at, Marker* marker) {
    const char* text = text_.data();
    std::size_t block = block_;
    unsigned mask = mask_;
    for (;;) {
      while (mask != 0) {
        const std::size_t i = block + LowestBit(mask);
        mask &= mask - 1;
        if (WholeMarker(text + i, text_.size() - i, marker) &&
            (wanted_ & MarkerBit(*marker)) != 0) {
          block_ = block;
          mask_ = mask;
          *at = i;
          return true;
        }
      }
      // The blocks where markers are rare go by in this loop alone.
      block += 16;
      const std::size_t whole_end = whole_end_;
      while (block <= whole_end &&
             (mask = MarkerCandidates(text + block)) == 0) {
        block += 16;
      }
      if (mask != 0) continue;
      if (block >= limit_) {
        block_ = block;
        mask_ = 0;
        return false;
      }
      mask = Sort(block);
    }
  }

  /// Leaves out the markers of |markers| (MarkerBit()s) from now on.
  void Ignore(unsigned markers) { wanted_ &= ~markers; }

  /// Stops the search at |limit| (no further than the one given).
  void StopAt(std::size_t limit) {
    if (limit >= limit_) return;
    limit_ = limit;
    SetWholeEnd();
    if (limit <= block_) {
      mask_ = 0;
    } else if (limit - block_ < 16) {
      mask_ &= (1u << (limit - block_)) - 1;
    }
  }

 private:
  // The candidates among the 16 positions from |from| that are before the
  // limit.
  unsigned Sort(std::size_t from) const {
    unsigned mask = text_.size() - from >= kBlockView
                        ? MarkerCandidates(text_.data() + from)
                        : MarkerCandidatesNearTheEnd(text_, from);
    if (limit_ - from < 16) mask &= (1u << (limit_ - from)) - 1;
    return mask;
  }

  // The blocks that Next() sorts 16 bytes at a time: before the limit, and
  // with the bytes their sorting reads.
  void SetWholeEnd() {
    whole_end_ = 0;
    if (text_.size() >= kBlockView && limit_ >= 16) {
      whole_end_ = limit_ - 16 < text_.size() - kBlockView
                       ? limit_ - 16
                       : text_.size() - kBlockView;
    }
  }

  std::string_view text_;
  std::size_t block_;  ///< Position of the mask's bit 0.
  std::size_t limit_;
  std::size_t whole_end_;  ///< Last block sorted 16 bytes at a time.
  unsigned mask_;          ///< Candidates not yet looked at.
  unsigned wanted_;
};

#endif  // BRANTIX_REWRITE_MARKERS_H_
