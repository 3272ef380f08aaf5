#include "parameters/number.h"

bool AddByte(ParsedNumber* n, unsigned char byte) {
  if (n->ended) return false;
  if (!n->sign_seen && !n->digit_seen && (byte == '-' || byte == '+')) {
    n->sign_seen = true;
    n->negative = byte == '-';
    return true;
  }
  if (byte < '0' || byte > '9') {
    n->ended = true;
    return false;
  }
  n->digit_seen = true;
  n->value = n->value * 10 + (byte - '0');
  const std::int64_t limit = n->negative ? 2147483648LL : 2147483647LL;
  if (n->value > limit) {
    n->too_large = true;
    n->value = limit + 1;  // Stays put however many digits follow.
  }
  return true;
}

std::int32_t SignedValue(const ParsedNumber& n) {
  return static_cast<std::int32_t>(n.negative ? -n.value : n.value);
}
