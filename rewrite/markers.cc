#include "rewrite/markers.h"

namespace {

// Whether a marker may start at |p|: its first byte and its third are
// those of one of the four. Reads |p|[0] and |p|[2].
inline bool Candidate(const char* p) {
  switch (p[0]) {
    case '<':
      return (p[2] & 0xF9) == 0x70;
    case 's':
      return p[2] == 'n';
    case '.':
      return p[2] == '/';
    default:
      return false;
  }
}

}  // namespace

unsigned MarkerCandidatesPortable(const char* p) {
  unsigned mask = 0;
  for (unsigned i = 0; i < 16; ++i) {
    if (Candidate(p + i)) mask |= 1u << i;
  }
  return mask;
}

unsigned RowCandidatesPortable(const char* p) {
  unsigned mask = 0;
  for (unsigned i = 0; i < 16; ++i) {
    if (p[i] == '<' && p[i + 2] == 'r') mask |= 1u << i;
  }
  return mask;
}

// Near the end of the text, the positions that have their third byte in it
// are sorted one by one.
unsigned MarkerCandidatesNearTheEnd(std::string_view text, std::size_t from) {
  unsigned mask = 0;
  for (std::size_t i = from; i + 2 < text.size() && i < from + 16; ++i) {
    if (Candidate(text.data() + i)) mask |= 1u << (i - from);
  }
  return mask;
}
