#include "text/checksum.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>

#include "text/text_file.h"

namespace {

std::uint64_t Word(const char* at) {
  std::uint64_t word;
  std::memcpy(&word, at, 8);
  return word;
}

}  // namespace

void Checksum::Add(const char* data, std::size_t size) {
  length_ += size;
  if (version_ == SumVersion::kPairs) {
    AddBlocks(data, size);
  } else {
    AddWords(data, size);
  }
}

void Checksum::AddWords(const char* data, std::size_t size) {
  std::size_t i = 0;
  if (filled_ == 0) {
    // Whole words; four at a time, one to each lane, once in step.
    for (; lane_ != 0 && i + 8 <= size; i += 8) MixWord(Word(data + i));
    // The lanes in registers: their chains then run side by side at the
    // multiplier's pace, not through memory.
    std::uint64_t a = lanes_[0], b = lanes_[1], c = lanes_[2], d = lanes_[3];
    for (; i + 32 <= size; i += 32) {
      Mix(&a, Word(data + i));
      Mix(&b, Word(data + i + 8));
      Mix(&c, Word(data + i + 16));
      Mix(&d, Word(data + i + 24));
    }
    lanes_[0] = a;
    lanes_[1] = b;
    lanes_[2] = c;
    lanes_[3] = d;
    for (; i + 8 <= size; i += 8) MixWord(Word(data + i));
  }
  for (; i < size; ++i) {
    word_ |= static_cast<std::uint64_t>(static_cast<unsigned char>(data[i]))
             << (8 * filled_);
    if (++filled_ == 8) {
      MixWord(word_);
      word_ = 0;
      filled_ = 0;
    }
  }
}

void Checksum::AddBlocks(const char* data, std::size_t size) {
  constexpr std::uint64_t kPrime = 0x100000001B3ULL;
  constexpr std::size_t kSize = sizeof block_;
  if (filled_ > 0) {
    const std::size_t take =
        std::min(size, kSize - static_cast<std::size_t>(filled_));
    std::memcpy(block_ + filled_, data, take);
    filled_ += static_cast<int>(take);
    data += take;
    size -= take;
    if (filled_ < static_cast<int>(kSize)) return;
    filled_ = 0;
    AddBlocks(block_, kSize);
  }
  std::uint64_t a = lanes_[0], b = lanes_[1], c = lanes_[2], d = lanes_[3];
  std::size_t i = 0;
  for (; i + kSize <= size; i += kSize) {
    const char* p = data + i;
    a = std::rotl((a ^ Word(p)) * kPrime, 29) + Word(p + 8);
    b = std::rotl((b ^ Word(p + 16)) * kPrime, 29) + Word(p + 24);
    c = std::rotl((c ^ Word(p + 32)) * kPrime, 29) + Word(p + 40);
    d = std::rotl((d ^ Word(p + 48)) * kPrime, 29) + Word(p + 56);
  }
  lanes_[0] = a;
  lanes_[1] = b;
  lanes_[2] = c;
  lanes_[3] = d;
  std::memcpy(block_, data + i, size - i);
  filled_ = static_cast<int>(size - i);
}

std::uint64_t Checksum::Value() {
  if (version_ == SumVersion::kPairs) {
    // The last block, padded with zeros: the count of bytes tells it.
    if (filled_ > 0) {
      std::memset(block_ + filled_, 0, sizeof block_ - filled_);
      filled_ = 0;
      AddBlocks(block_, sizeof block_);
    }
  } else {
    MixWord(word_);
  }
  std::uint64_t value = lanes_[0];
  for (int k = 1; k < 4; ++k) Mix(&value, lanes_[k]);
  return value ^ length_;
}

void Checksum::MixWord(std::uint64_t word) {
  Mix(&lanes_[lane_], word);
  lane_ = (lane_ + 1) & 3;
}

CallResult SumOf(File* file, std::uint64_t* sum, std::uint64_t* size) {
  const CallResult rewound = RewindFile(file);
  if (!rewound) return rewound;
  auto buffer = std::make_unique<char[]>(kTextBufferSize);
  Checksum checksum;
  *size = 0;
  for (;;) {
    const ReadResult got = ReadSome(file, buffer.get(), kTextBufferSize);
    if (got.count < 0) return CallFailed(got.error);
    if (got.count == 0) break;
    checksum.Add(buffer.get(), static_cast<std::size_t>(got.count));
    *size += static_cast<std::uint64_t>(got.count);
  }
  *sum = checksum.Value();
  return {};
}
