// The search for a marker in raw text. Two versions that give the same result:
// one that tests 16 starting positions at a time with SSE2 (present on
// every x86-64, Windows included), and a portable one, used where SSE2 is
// missing and as its reference.
#ifndef BRANTIX_TEXT_SEARCH_H_
#define BRANTIX_TEXT_SEARCH_H_

#include <string_view>

/// Where |text| first holds |marker|, or nullptr.
const char* FindBytes(std::string_view text, std::string_view marker);

/// The same without vector instructions.
const char* FindBytesPortable(std::string_view text, std::string_view marker);

/// Whether |text| holds |marker| anywhere.
inline bool ContainsBytes(std::string_view text, std::string_view marker) {
  return FindBytes(text, marker) != nullptr;
}

#endif  // BRANTIX_TEXT_SEARCH_H_
