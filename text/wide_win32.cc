#include "text/wide_win32.h"

#include <windows.h>

namespace {

bool IsHigh(unsigned unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLow(unsigned unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

void Append(std::string* out, unsigned code) {
  if (code < 0x80) {
    *out += static_cast<char>(code);
  } else if (code < 0x800) {
    *out += static_cast<char>(0xC0 | (code >> 6));
    *out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    *out += static_cast<char>(0xE0 | (code >> 12));
    *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | (code >> 18));
    *out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

}  // namespace

std::string Utf8Of(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    unsigned unit = static_cast<unsigned>(text[i]);
    if (IsHigh(unit) && i + 1 < text.size() &&
        IsLow(static_cast<unsigned>(text[i + 1]))) {
      unit = 0x10000 + ((unit - 0xD800) << 10) +
             (static_cast<unsigned>(text[++i]) - 0xDC00);
    }
    Append(&out, unit);
  }
  return out;
}

bool Utf16Of(std::string_view utf8, std::wstring* wide) {
  wide->clear();
  wide->reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    const std::size_t length = lead < 0x80             ? 1
                               : (lead & 0xE0) == 0xC0 ? 2
                               : (lead & 0xF0) == 0xE0 ? 3
                               : (lead & 0xF8) == 0xF0 ? 4
                                                       : 0;
    if (length == 0 || i + length > utf8.size()) return false;
    unsigned code = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(utf8[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    // Each value has one encoding, the shortest.
    static const unsigned kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kLeast[length] || code > 0x10FFFF) return false;
    if (code >= 0x10000) {
      *wide += static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10));
      *wide += static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
    } else {
      *wide += static_cast<wchar_t>(code);
    }
    i += length;
  }
  return true;
}

bool ExactAnsiOf(std::wstring_view text, std::string* ansi) {
  ansi->clear();
  if (text.empty()) return true;
  const int length = static_cast<int>(text.size());
  if (GetACP() == CP_UTF8) {
    // Where the ANSI code page is UTF-8, it holds every character; only a
    // lone surrogate has no UTF-8 form.
    const int size =
        WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), length,
                            nullptr, 0, nullptr, nullptr);
    if (size <= 0) return false;
    *ansi = Utf8Of(text);
    return true;
  }
  BOOL defaulted = FALSE;
  const int size =
      WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), length,
                          nullptr, 0, nullptr, &defaulted);
  if (size <= 0 || defaulted) return false;
  ansi->resize(static_cast<std::size_t>(size));
  defaulted = FALSE;
  return WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), length,
                             ansi->data(), size, nullptr, &defaulted) == size &&
         !defaulted;
}

std::string AnsiOf(std::wstring_view text) {
  std::string ansi;
  if (text.empty()) return ansi;
  const int length = static_cast<int>(text.size());
  const int size = WideCharToMultiByte(CP_ACP, 0, text.data(), length, nullptr,
                                       0, nullptr, nullptr);
  if (size <= 0) return ansi;
  ansi.resize(static_cast<std::size_t>(size));
  const int put = WideCharToMultiByte(CP_ACP, 0, text.data(), length,
                                      ansi.data(), size, nullptr, nullptr);
  ansi.resize(put > 0 ? static_cast<std::size_t>(put) : 0);
  return ansi;
}

std::size_t CharacterCount(std::wstring_view text) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IsHigh(static_cast<unsigned>(text[i])) && i + 1 < text.size() &&
        IsLow(static_cast<unsigned>(text[i + 1]))) {
      ++i;
    }
    ++count;
  }
  return count;
}
