#include "text/line_ends.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

std::size_t AddCrBeforeLoneLfPortable(const char* in, std::size_t size,
                                      bool cr_before, char* out) {
  char* o = out;
  const char* run = in;  // First byte not yet copied.
  const char* stop = in + size;
  const char* p = in;
  while (const char* lf = static_cast<const char*>(
             std::memchr(p, '\n', static_cast<std::size_t>(stop - p)))) {
    bool after_cr = lf > in ? lf[-1] == '\r' : cr_before;
    if (!after_cr) {
      std::size_t n = static_cast<std::size_t>(lf - run);
      std::memcpy(o, run, n);
      o += n;
      *o++ = '\r';
      run = lf;  // The LF goes out with the next run.
    }
    p = lf + 1;
  }
  std::size_t n = static_cast<std::size_t>(stop - run);
  std::memcpy(o, run, n);
  return static_cast<std::size_t>(o + n - out);
}

std::size_t AddCrBeforeLoneLf(const char* in, std::size_t size, bool cr_before,
                              char* out) {
#if defined(__SSE2__)
  // Each block of 16 bytes is copied whole; in a block with a lone LF, each
  // run up to the LF is copied as a 16-byte store that the next one partly
  // overwrites, so blocks are taken this way only while 32 bytes are in view.
  const __m128i lf = _mm_set1_epi8('\n');
  const __m128i cr = _mm_set1_epi8('\r');
  unsigned carry = cr_before ? 1u : 0u;  // The byte before the block is a CR.
  char* o = out;
  std::size_t i = 0;
  for (; i + 32 <= size; i += 16) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
    unsigned lfs =
        static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, lf)));
    unsigned crs =
        static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, cr)));
    unsigned lone = lfs & ~((crs << 1) | carry);
    carry = crs >> 15;
    if (lone == 0) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(o), v);
      o += 16;
      continue;
    }
    unsigned from = 0;
    do {
      unsigned at = static_cast<unsigned>(__builtin_ctz(lone));
      _mm_storeu_si128(
          reinterpret_cast<__m128i*>(o),
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i + from)));
      o += at - from;
      *o++ = '\r';
      from = at;
      lone &= lone - 1;
    } while (lone != 0);
    _mm_storeu_si128(
        reinterpret_cast<__m128i*>(o),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i + from)));
    o += 16 - from;
  }
  bool before = i > 0 ? in[i - 1] == '\r' : cr_before;
  return static_cast<std::size_t>(o - out) +
         AddCrBeforeLoneLfPortable(in + i, size - i, before, o);
#else
  return AddCrBeforeLoneLfPortable(in, size, cr_before, out);
#endif
}
