// The one line-end change the text writer makes: a CR before each LF that
// has none. Two versions that give the same bytes: one that works on 16
// bytes at a time with SSE2 (present on every x86-64, Windows included),
// and a portable one, used where SSE2 is missing and as its reference.
#ifndef BRANTIX_TEXT_LINE_ENDS_H_
#define BRANTIX_TEXT_LINE_ENDS_H_

#include <cstddef>

/// Copies |size| bytes from |in| to |out|, with a CR before every LF that
/// does not follow a CR; |cr_before| tells whether the byte before |in| was
/// a CR. |out| must have room for 2 * |size| + 16 bytes: bytes past the
/// result may be written over. Returns the count of bytes the result holds.
std::size_t AddCrBeforeLoneLf(const char* in, std::size_t size, bool cr_before,
                              char* out);

/// The same without vector instructions.
std::size_t AddCrBeforeLoneLfPortable(const char* in, std::size_t size,
                                      bool cr_before, char* out);

#endif  // BRANTIX_TEXT_LINE_ENDS_H_
