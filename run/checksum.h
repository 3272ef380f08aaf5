// A checksum of a whole file, read through an open handle: it tells
// whether a file still holds the bytes it held, where times cannot tell.
#ifndef BRANTIX_RUN_CHECKSUM_H_
#define BRANTIX_RUN_CHECKSUM_H_

#include <cstddef>
#include <cstdint>

#include "text/file.h"

/// A checksum of 64 bits over whole words, fast enough to run over a large
/// file: it catches a changed file, not a forged one. Bytes may be added in
/// parts of any size: the result depends on the bytes only.
class Checksum {
 public:
  /// Adds |size| bytes.
  void Add(const char* data, std::size_t size);
  /// The checksum of every byte added; adds nothing more after it.
  std::uint64_t Value();

 private:
  void Mix();
  std::uint64_t state_ = 0xCBF29CE484222325ULL;
  std::uint64_t word_ = 0;
  std::uint64_t length_ = 0;
  int filled_ = 0;
};

/// Reads |file| from its start to its end and gives the checksum of its
/// bytes in |sum| and their count in |size|. Fails on a read error.
CallResult SumOf(File* file, std::uint64_t* sum, std::uint64_t* size);

#endif  // BRANTIX_RUN_CHECKSUM_H_
