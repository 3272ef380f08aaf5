// The fuzz targets' check: a broken invariant stops the run, so that
// libFuzzer keeps the input as a crash.
#ifndef BRANTIX_FUZZ_EXPECT_H_
#define BRANTIX_FUZZ_EXPECT_H_

#include <cstdlib>

/// Aborts unless |condition| holds.
#define EXPECT(condition)           \
  do {                              \
    if (!(condition)) std::abort(); \
  } while (0)

#endif  // BRANTIX_FUZZ_EXPECT_H_
