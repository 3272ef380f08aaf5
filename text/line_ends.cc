#include "text/line_ends.h"

#include <cstring>

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
#if BRANTIX_VECTOR
  if (size < 33) return AddCrBeforeLoneLfPortable(in, size, cr_before, out);
  // The first byte alone, so that each block has the byte before it in
  // view: a lone LF is an LF whose byte one to the left is not a CR.
  char* o = out;
  if (in[0] == '\n' && !cr_before) *o++ = '\r';
  *o++ = in[0];
  // Each block of 16 bytes is stored whole; at each lone LF, a CR is put
  // in its place and the block's bytes from the LF on are stored again one
  // byte further. Those stores read up to 16 bytes past the block, so
  // blocks are taken this way while 32 bytes are in view. Text with lone
  // LFs mostly has no CRs: the byte before each LF is looked at alone.
  const __m128i lf = _mm_set1_epi8('\n');
  const char* block = in + 1;
  const char* const last = in + size - 32;
  for (; block <= last; block += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block));
    unsigned lfs =
        static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, lf)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o), v);
    while (lfs != 0) {
      const std::size_t at = LowestBit(lfs);
      lfs &= lfs - 1;
      if ((block - 1)[at] == '\r') continue;
      char* const to = o + at;
      *to = '\r';
      _mm_storeu_si128(
          reinterpret_cast<__m128i*>(to + 1),
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + at)));
      ++o;
    }
    o += 16;
  }
  const std::size_t i = static_cast<std::size_t>(block - in);
  return static_cast<std::size_t>(o - out) +
         AddCrBeforeLoneLfPortable(in + i, size - i, in[i - 1] == '\r', o);
#else
  return AddCrBeforeLoneLfPortable(in, size, cr_before, out);
#endif
}

std::size_t FindLoneLfPortable(const char* bytes, std::size_t size,
                               bool cr_before) {
  const char* p = bytes;
  const char* stop = bytes + size;
  while (const char* lf = static_cast<const char*>(
             std::memchr(p, '\n', static_cast<std::size_t>(stop - p)))) {
    if (!(lf > bytes ? lf[-1] == '\r' : cr_before)) {
      return static_cast<std::size_t>(lf - bytes);
    }
    p = lf + 1;
  }
  return size;
}

std::size_t FindLoneLf(const char* bytes, std::size_t size, bool cr_before) {
#if BRANTIX_VECTOR
  if (size == 0) return 0;
  // The first byte alone, so that each block has the byte before it.
  if (bytes[0] == '\n' && !cr_before) return 0;
  const __m128i lf = _mm_set1_epi8('\n');
  const __m128i cr = _mm_set1_epi8('\r');
  const auto lone_lfs = [&](const char* at) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    const __m128i before =
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(at - 1));
    return _mm_andnot_si128(_mm_cmpeq_epi8(before, cr), _mm_cmpeq_epi8(v, lf));
  };
  std::size_t i = 1;
  // 64 bytes at a time while none is found, then 16 to tell where.
  for (; i + 64 <= size; i += 64) {
    const __m128i any = _mm_or_si128(
        _mm_or_si128(lone_lfs(bytes + i), lone_lfs(bytes + i + 16)),
        _mm_or_si128(lone_lfs(bytes + i + 32), lone_lfs(bytes + i + 48)));
    if (_mm_movemask_epi8(any) != 0) break;
  }
  for (; i + 16 <= size; i += 16) {
    const unsigned found =
        static_cast<unsigned>(_mm_movemask_epi8(lone_lfs(bytes + i)));
    if (found != 0) return i + LowestBit(found);
  }
  return i + FindLoneLfPortable(bytes + i, size - i, bytes[i - 1] == '\r');
#else
  return FindLoneLfPortable(bytes, size, cr_before);
#endif
}

std::size_t FindLfPortable(const char* bytes, std::size_t size) {
  const void* lf = std::memchr(bytes, '\n', size);
  return lf == nullptr
             ? size
             : static_cast<std::size_t>(static_cast<const char*>(lf) - bytes);
}

std::size_t FindLfBeyond(const char* bytes, std::size_t size) {
#if BRANTIX_VECTOR
  const __m128i lf = _mm_set1_epi8('\n');
  std::size_t i = size >= 16 ? 16 : 0;
  for (; i + 16 <= size; i += 16) {
    const unsigned found =
        static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i)), lf)));
    if (found != 0) return i + LowestBit(found);
  }
  return i + FindLfPortable(bytes + i, size - i);
#else
  return FindLfPortable(bytes, size);
#endif
}

std::size_t FindLastLfPortable(const char* bytes, std::size_t size) {
  for (std::size_t i = size; i > 0; --i) {
    if (bytes[i - 1] == '\n') return i - 1;
  }
  return size;
}

std::size_t FindLastLf(const char* bytes, std::size_t size) {
#if BRANTIX_VECTOR
  const __m128i lf = _mm_set1_epi8('\n');
  std::size_t i = size;
  for (; i >= 16; i -= 16) {
    const unsigned found =
        static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i - 16)),
            lf)));
    if (found != 0) return i - 16 + HighestBit(found);
  }
  const std::size_t rest = FindLastLfPortable(bytes, i);
  return rest == i ? size : rest;
#else
  return FindLastLfPortable(bytes, size);
#endif
}
