// The one place that chooses between the vector versions of the byte
// searches (SSE2, present on every x86-64, Windows included) and their
// portable versions: the vector ones wherever SSE2 is there, unless the
// build defines BRANTIX_PORTABLE, as the portable preset does, so that the
// portable versions run in a native build and its tests.
#ifndef BRANTIX_TEXT_VECTOR_H_
#define BRANTIX_TEXT_VECTOR_H_

#include <bit>

/// 1 when the vector versions are built, 0 for the portable ones.
#if defined(__SSE2__) && !defined(BRANTIX_PORTABLE)
#define BRANTIX_VECTOR 1
#include <emmintrin.h>
#else
#define BRANTIX_VECTOR 0
#endif

/// The index of the lowest set bit of |mask|, which is not 0.
inline unsigned LowestBit(unsigned mask) {
  return static_cast<unsigned>(std::countr_zero(mask));
}

/// The index of the highest set bit of |mask|, which is not 0.
inline unsigned HighestBit(unsigned mask) {
  return 31u - static_cast<unsigned>(std::countl_zero(mask));
}

#endif  // BRANTIX_TEXT_VECTOR_H_
