#include "text/search.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Whether the bytes at |p| are the marker's, its first one already known.
bool RestMatches(const char* p, std::string_view marker) {
  for (std::size_t k = 1; k < marker.size(); ++k) {
    if (p[k] != marker[k]) return false;
  }
  return true;
}

}  // namespace

const char* FindBytesPortable(std::string_view text, std::string_view marker) {
  if (marker.empty()) return text.data();
  if (text.size() < marker.size()) return nullptr;
  // Jump from one occurrence of the marker's first byte to the next.
  const char* p = text.data();
  const char* last = p + (text.size() - marker.size());  // Last start.
  for (;;) {
    p = static_cast<const char*>(
        std::memchr(p, marker.front(), static_cast<std::size_t>(last - p) + 1));
    if (p == nullptr) return nullptr;
    if (RestMatches(p, marker)) return p;
    if (p == last) return nullptr;
    ++p;
  }
}

const char* FindBytes(std::string_view text, std::string_view marker) {
#if defined(__SSE2__)
  // Sixteen starting positions at a time: those whose first and last bytes
  // are the marker's are compared whole. In HTML the first byte of a marker
  // such as "<tr>" is on every line; both ends together rarely are.
  if (marker.size() >= 2) {
    const std::size_t span = marker.size() - 1;
    const __m128i first = _mm_set1_epi8(marker.front());
    const __m128i final = _mm_set1_epi8(marker.back());
    const char* p = text.data();
    std::size_t i = 0;
    for (; i + span + 16 <= text.size(); i += 16) {
      __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
      __m128i b =
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + span));
      unsigned both = static_cast<unsigned>(_mm_movemask_epi8(
          _mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, final))));
      while (both != 0) {
        const char* at = p + i + static_cast<unsigned>(__builtin_ctz(both));
        if (RestMatches(at, marker)) return at;
        both &= both - 1;
      }
    }
    return FindBytesPortable(text.substr(i), marker);
  }
#endif
  return FindBytesPortable(text, marker);
}
