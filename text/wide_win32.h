// Names and console text on Windows. The program keeps every name as bytes
// of UTF-8 (a name no code page can hold included), the way the POSIX
// build keeps them; the Win32 "W" calls take UTF-16. These convert between
// the two at that boundary, and to the ANSI code page where Windows
// programs write text in it. Windows only.
#ifndef BRANTIX_TEXT_WIDE_WIN32_H_
#define BRANTIX_TEXT_WIDE_WIN32_H_

#include <string>
#include <string_view>

/// |text| in UTF-8. A lone surrogate, which a Windows file name may hold,
/// is written as the three bytes UTF-8 would give its value (the form
/// known as WTF-8), so that the name comes back whole from Utf16Of().
std::string Utf8Of(std::wstring_view text);

/// The UTF-16 text of |utf8|, lone surrogates included. Returns false,
/// with |wide| unspecified, when |utf8| is not such a text.
bool Utf16Of(std::string_view utf8, std::wstring* wide);

/// |text| in the ANSI code page, when that code page holds every character
/// of it exactly: no "best fit" letter, no default character. Returns false
/// otherwise.
bool ExactAnsiOf(std::wstring_view text, std::string* ansi);

/// |text| in the ANSI code page as Windows programs write it there: a
/// character the code page lacks becomes its nearest letter or "?".
std::string AnsiOf(std::wstring_view text);

/// The number of characters of |text| as typed: a surrogate pair counts
/// once.
std::size_t CharacterCount(std::wstring_view text);

#endif  // BRANTIX_TEXT_WIDE_WIN32_H_
