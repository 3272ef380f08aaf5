#include "text/checksum.h"

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
  std::size_t i = 0;
  length_ += size;
  if (filled_ == 0) {
    // Whole words; four at a time, one to each lane, once in step.
    for (; lane_ != 0 && i + 8 <= size; i += 8) MixWord(Word(data + i));
    // The lanes in registers: their chains then run side by side at the
    // multiplier's pace, not through memory, where they are half as fast.
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

std::uint64_t Checksum::Value() {
  MixWord(word_);
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
