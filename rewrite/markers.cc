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

}  // namespace

unsigned RowCandidatesPortable(const char* p) { return Pairs(p, '<', 'r'); }

unsigned CellEndCandidatesPortable(const char* p) { return Pairs(p, '<', 't'); }

unsigned CellScanCandidatesPortable(const char* p) {
  unsigned mask = Pairs(p, '<', 't');
  for (unsigned i = 0; i < 16; ++i) {
    if (p[i] == '.') mask |= 1u << i;
  }
  return mask;
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
