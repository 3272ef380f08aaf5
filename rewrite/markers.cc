#include "rewrite/markers.h"

namespace {

// Whether a marker of |wanted| may start at |p|: its first byte and its
// third are those of one of them. Reads |p|[0] and |p|[2].
inline bool Candidate(const char* p, unsigned wanted) {
  switch (p[0]) {
    case '<': {
      const bool row = (wanted & MarkerBit(Marker::kRow)) != 0;
      const bool cell_end = (wanted & MarkerBit(Marker::kCellEnd)) != 0;
      if (row && cell_end) return (p[2] & 0xF9) == 0x70;
      return (row && p[2] == 'r') || (cell_end && p[2] == 't');
    }
    case 's':
      return (wanted & MarkerBit(Marker::kSound)) != 0 && p[2] == 'n';
    case '.':
      return (wanted & MarkerBit(Marker::kLink)) != 0 && p[2] == '/';
    default:
      return false;
  }
}

}  // namespace

unsigned MarkerCandidatesPortable(const char* p, unsigned wanted) {
  unsigned mask = 0;
  for (unsigned i = 0; i < 16; ++i) {
    if (Candidate(p + i, wanted)) mask |= 1u << i;
  }
  return mask;
}

unsigned CellScanCandidatesPortable(const char* p) {
  unsigned mask = 0;
  for (unsigned i = 0; i < 16; ++i) {
    if ((p[i] == '<' && p[i + 2] == 't') || p[i] == '.') mask |= 1u << i;
  }
  return mask;
}

// Near the end of the text, the positions that have their third byte in it
// are sorted one by one.
unsigned MarkerCandidatesNearTheEnd(std::string_view text, std::size_t from) {
  unsigned mask = 0;
  for (std::size_t i = from; i + 2 < text.size() && i < from + 16; ++i) {
    if (Candidate(text.data() + i, kAllMarkers)) mask |= 1u << (i - from);
  }
  return mask;
}
