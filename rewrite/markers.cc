#include "rewrite/markers.h"

namespace {

// The positions among the 16 bytes at |p| that are |first| with |third|
// two bytes on, as bits.
unsigned Pairs(const char* p, char first, char third) {
  unsigned mask = 0;
  for (unsigned i = 0; i < 16; ++i) {
    if (p[i] == first && p[i + 2] == third) mask |= 1u << i;
  }
  return mask;
}

// The same, with |third|, a lower-case letter, in either case.
unsigned FoldedPairs(const char* p, char first, char third) {
  unsigned mask = 0;
  for (unsigned i = 0; i < 16; ++i) {
    if (p[i] == first && FoldedLetter(p[i + 2]) == third) mask |= 1u << i;
  }
  return mask;
}

unsigned Dots(const char* p) {
  unsigned mask = 0;
  for (unsigned i = 0; i < 16; ++i) {
    if (p[i] == '.') mask |= 1u << i;
  }
  return mask;
}

// Where the |size| bytes that |at| accepts first start in |piece|.
std::size_t FindBy(std::string_view piece, std::size_t size,
                   bool (*at)(const char*)) {
  for (std::size_t i = 0; i + size <= piece.size(); ++i) {
    if (at(piece.data() + i)) return i;
  }
  return std::string_view::npos;
}

}  // namespace

std::size_t FindRowStart(std::string_view piece, MarkerRule rule) {
  return rule == MarkerRule::kHtml ? FindBy(piece, 4, HtmlRowAt)
                                   : piece.find(kRowMarker);
}

std::size_t FindCellEnd(std::string_view piece, MarkerRule rule) {
  return rule == MarkerRule::kHtml ? FindBy(piece, 5, HtmlCellEndAt)
                                   : piece.find(kCellEndMarker);
}

std::size_t FindSound(std::string_view piece, MarkerRule rule) {
  return rule == MarkerRule::kHtml ? FindBy(piece, 7, HtmlSoundAt)
                                   : piece.find(kSoundMarker);
}

unsigned HtmlRowCandidatesPortable(const char* p) {
  return FoldedPairs(p, '<', 'r');
}

unsigned HtmlCellEndCandidatesPortable(const char* p) {
  return FoldedPairs(p, '<', 't');
}

unsigned HtmlCellScanCandidatesPortable(const char* p) {
  return FoldedPairs(p, '<', 't') | Dots(p);
}

unsigned RowCandidatesPortable(const char* p) { return Pairs(p, '<', 'r'); }

unsigned CellEndCandidatesPortable(const char* p) { return Pairs(p, '<', 't'); }

unsigned CellScanCandidatesPortable(const char* p) {
  return Pairs(p, '<', 't') | Dots(p);
}

std::string_view MarkerCutBetween(std::string_view before,
                                  std::string_view after) {
  for (std::string_view marker : kMarkers) {
    for (std::size_t cut = 1; cut < marker.size(); ++cut) {
      if (before.ends_with(marker.substr(0, cut)) &&
          after.starts_with(marker.substr(cut))) {
        return marker;
      }
    }
  }
  return {};
}
