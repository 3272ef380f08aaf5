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

MarkerScan::MarkerScan(std::string_view text, std::size_t from,
                       std::size_t limit, unsigned wanted)
    : text_(text), block_(from), limit_(limit), mask_(0), wanted_(wanted) {
  SetWholeEnd();
  if (from < limit) mask_ = Sort(from);
}

// The blocks that Next() sorts 16 bytes at a time: before the limit, and
// with the bytes their sorting reads.
void MarkerScan::SetWholeEnd() {
  whole_end_ = 0;
  if (text_.size() >= kBlockView && limit_ >= 16) {
    whole_end_ = limit_ - 16 < text_.size() - kBlockView
                     ? limit_ - 16
                     : text_.size() - kBlockView;
  }
}

// The candidates among the 16 positions from |from| that are before the
// limit. Near the end of the text, the positions that have their third
// byte in it are sorted one by one.
unsigned MarkerScan::Sort(std::size_t from) const {
  unsigned mask = 0;
  if (text_.size() - from >= kBlockView) {
    mask = MarkerCandidates(text_.data() + from);
  } else {
    for (std::size_t i = from; i + 2 < text_.size() && i < from + 16; ++i) {
      if (Candidate(text_.data() + i)) mask |= 1u << (i - from);
    }
  }
  if (limit_ - from < 16) mask &= (1u << (limit_ - from)) - 1;
  return mask;
}

void MarkerScan::StopAt(std::size_t limit) {
  if (limit >= limit_) return;
  limit_ = limit;
  SetWholeEnd();
  if (limit <= block_) {
    mask_ = 0;
  } else if (limit - block_ < 16) {
    mask_ &= (1u << (limit - block_)) - 1;
  }
}
