// A checksum of a whole file, read through an open handle: it tells
// whether a file still holds the bytes it held, where times cannot tell.
#ifndef BRANTIX_TEXT_CHECKSUM_H_
#define BRANTIX_TEXT_CHECKSUM_H_

#include <cstddef>
#include <cstdint>

#include "text/file.h"

/// The ways the checksum has been computed: the program's own, and the one
/// of the version before, still read in the records that its writes left.
enum class SumVersion {
  /// The bytes as 64-bit little-endian words, the last one holding the
  /// zero to seven bytes left; word i mixed into lane i mod 4, each lane
  /// in FNV fashion with a shift: (s ^ w) * P, then s ^= s >> 29.
  kFourChains,
  /// The bytes in blocks of 64, the last one padded with zeros; each block
  /// as eight 64-bit little-endian words, lane k taking words 2k and
  /// 2k + 1: s = rotl((s ^ w[2k]) * P, 29) + w[2k + 1]. Two words to a
  /// multiplication: twice as fast.
  kPairs,
};

/// A checksum of 64 bits, fast enough to run over a large file: it catches
/// a changed file, not a forged one. Bytes may be added in parts of any
/// size: the result depends on the bytes only. The four lanes run side by
/// side, and are then mixed into one, with the count of bytes added.
class Checksum {
 public:
  explicit Checksum(SumVersion version = SumVersion::kPairs)
      : version_(version) {}
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
  void AddWords(const char* data, std::size_t size);
  void AddBlocks(const char* data, std::size_t size);
  SumVersion version_;
  std::uint64_t lanes_[4] = {0xCBF29CE484222325ULL, 0xCBF29CE484222326ULL,
                             0xCBF29CE484222327ULL, 0xCBF29CE484222328ULL};
  int lane_ = 0;  ///< kFourChains: the lane of the next word.
  std::uint64_t word_ = 0;
  std::uint64_t length_ = 0;
  int filled_ = 0;  ///< The bytes in |word_|, or in |block_|.
  char block_[64] = {};
};

/// Reads |file| from its start to its end and gives the checksum of its
/// bytes in |sum| and their count in |size|. Fails on a read error.
CallResult SumOf(File* file, std::uint64_t* sum, std::uint64_t* size);

#endif  // BRANTIX_TEXT_CHECKSUM_H_
