// The line-end work of the text reader: the change of each lone LF into
// CR LF, made once as the bytes are read, and the search for the next LF.
// Two versions of each that give the same result: one that works on 16
// bytes at a time with SSE2 (present on every x86-64, Windows included),
// and a portable one, used where SSE2 is missing and as its reference.
#ifndef BRANTIX_TEXT_LINE_ENDS_H_
#define BRANTIX_TEXT_LINE_ENDS_H_

#include <cstddef>

#include "text/vector.h"

/// Copies |size| bytes from |in| to |out|, with a CR before every LF that
/// does not follow a CR; |cr_before| tells whether the byte before |in| was
/// a CR. |out| must have room for 2 * |size| + 32 bytes: bytes past the
/// result may be written over. Returns the count of bytes the result holds.
std::size_t AddCrBeforeLoneLf(const char* in, std::size_t size, bool cr_before,
                              char* out);

/// The same without vector instructions.
std::size_t AddCrBeforeLoneLfPortable(const char* in, std::size_t size,
                                      bool cr_before, char* out);

/// The offset of the first LF of the |size| bytes at |bytes| that does not
/// follow a CR, or |size|; |cr_before| tells whether the byte before
/// |bytes| was a CR. Text whose line ends are all CR LF is checked so, and
/// kept as it is.
std::size_t FindLoneLf(const char* bytes, std::size_t size, bool cr_before);

/// The same without vector instructions.
std::size_t FindLoneLfPortable(const char* bytes, std::size_t size,
                               bool cr_before);

/// The offset of the first LF of the |size| bytes at |bytes|, or |size|,
/// beyond the first 16 bytes.
std::size_t FindLfBeyond(const char* bytes, std::size_t size);

/// The same without vector instructions, from the first byte.
std::size_t FindLfPortable(const char* bytes, std::size_t size);

/// The offset of the last LF of the |size| bytes at |bytes|, or |size|
/// when there is none.
std::size_t FindLastLf(const char* bytes, std::size_t size);

/// The same without vector instructions.
std::size_t FindLastLfPortable(const char* bytes, std::size_t size);

/// The offset of the first LF of the |size| bytes at |bytes|, or |size|.
/// Lines are short: the first 16 bytes are looked at inline, and most LFs
/// are found there.
inline std::size_t FindLf(const char* bytes, std::size_t size) {
#if BRANTIX_VECTOR
  if (size >= 16) {
    const unsigned found = static_cast<unsigned>(_mm_movemask_epi8(
        _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes)),
                       _mm_set1_epi8('\n'))));
    if (found != 0) return LowestBit(found);
  }
  return FindLfBeyond(bytes, size);
#else
  return FindLfPortable(bytes, size);
#endif
}

#endif  // BRANTIX_TEXT_LINE_ENDS_H_
