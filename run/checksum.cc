#include "run/checksum.h"

#include <cstring>
#include <memory>

#include "text/text_file.h"

void Checksum::Add(const char* data, std::size_t size) {
  std::size_t i = 0;
  if (filled_ == 0) {
    for (; i + 8 <= size; i += 8) {
      std::memcpy(&word_, data + i, 8);
      filled_ = 8;
      Mix();
    }
  }
  for (; i < size; ++i) {
    word_ |= static_cast<std::uint64_t>(static_cast<unsigned char>(data[i]))
             << (8 * filled_);
    if (++filled_ == 8) Mix();
  }
}

std::uint64_t Checksum::Value() {
  Mix();
  return state_ ^ length_;
}

void Checksum::Mix() {
  state_ = (state_ ^ word_) * 0x100000001B3ULL;
  state_ ^= state_ >> 29;
  length_ += filled_;
  word_ = 0;
  filled_ = 0;
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
