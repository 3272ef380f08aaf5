// A checksum of a whole file, read through an open handle: it tells
// whether a file still holds the bytes it held, where times cannot tell.
#ifndef BRANTIX_TEXT_CHECKSUM_H_
#define BRANTIX_TEXT_CHECKSUM_H_

#include <cstddef>
#include <cstdint>

#include "text/file.h"

/// A checksum of 64 bits over whole words, fast enough to run over a large
/// file: it catches a changed file, not a forged one. Bytes may be added in
/// parts of any size: the result depends on the bytes only.
///
/// The bytes are read as 64-bit little-endian words, the last one holding
/// the zero to seven bytes left; word i is mixed into lane i mod 4, each
/// lane in FNV fashion, so that the four chains run side by side; the
/// lanes are then mixed into one, and the count of bytes added.
class Checksum {
 public:
  /// Adds |size| bytes.
  void Add(const char* data, std::size_t size);
  /// The checksum of every byte added; adds nothing more after it.
  std::uint64_t Value();

 private:
  static void Mix(std::uint64_t* state, std::uint64_t word) {
    *state = (*state ^ word) * 0x100000001B3ULL;
    *state ^= *state >> 29;
  }
  void MixWord(std::uint64_t word);
  std::uint64_t lanes_[4] = {0xCBF29CE484222325ULL, 0xCBF29CE484222326ULL,
                             0xCBF29CE484222327ULL, 0xCBF29CE484222328ULL};
  int lane_ = 0;  ///< The lane of the next word.
  std::uint64_t word_ = 0;
  std::uint64_t length_ = 0;
  int filled_ = 0;
};

/// Reads |file| from its start to its end and gives the checksum of its
/// bytes in |sum| and their count in |size|. Fails on a read error.
CallResult SumOf(File* file, std::uint64_t* sum, std::uint64_t* size);

#endif  // BRANTIX_TEXT_CHECKSUM_H_
