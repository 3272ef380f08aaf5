// Reading a column number the way C's formatted input reads "%d": an
// optional sign, then decimal digits, up to the first byte that is not one.
#ifndef BRANTIX_PARAMETERS_NUMBER_H_
#define BRANTIX_PARAMETERS_NUMBER_H_

#include <cstdint>

/// A number read one byte at a time.
struct ParsedNumber {
  bool negative = false;
  bool sign_seen = false;
  bool digit_seen = false;
  bool too_large = false;  ///< Beyond the signed 32-bit range.
  bool ended = false;      ///< A byte that is not part of the number came.
  std::int64_t value = 0;  ///< Magnitude so far, capped past the range.
};

/// Feeds the next byte, after any leading blanks were skipped. Returns false
/// once the number has ended (that byte is not part of it).
bool AddByte(ParsedNumber* number, unsigned char byte);

/// The signed value of a number that has digits and is in range.
std::int32_t SignedValue(const ParsedNumber& number);

/// True for the bytes that "%d" skips before a number.
inline bool IsBlank(int byte) {
  return byte == ' ' || (byte >= '\t' && byte <= '\r');
}

#endif  // BRANTIX_PARAMETERS_NUMBER_H_
