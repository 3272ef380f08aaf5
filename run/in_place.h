// Putting the new page in place: by a rename where that keeps the page as
// it was; otherwise written over the page itself, for pages that a rename
// would change: another owner, an access list, several links, a file
// mounted in place, a page that Windows will not let go.
//
// A write in place finishes itself. Before the first byte of the old text
// is touched, the page carries its own record of the write, and the whole
// new text, past its old end:
//
//   [0, S)      the old text, then the new text as it is copied over it
//   [S, X)      a gap of at least 4096 bytes that stays empty
//   [X, X + N)  the new text, X = max(S, N) + 4096, so that it never
//               overlaps the new text over the start
//   [P, P + T)  the record: S, X, N and the new text's checksum, at P, the
//               first 4096-byte boundary after X + N
//
// The record is written and flushed first, then the new text past the old
// end, then the new text over the start; cutting the page to N ends the
// write. A later run that finds the record at the page's end, the page of
// the size the write gives it, finishes the write when the new text past
// the old end is whole, and otherwise cuts the page back to S: the start
// is only written once the new text is whole on the disk. Either can be
// cut and done again. Another program's edit made while the write begins
// lands past the old end: in the gap, which is checked before the start is
// written, or past the record, which changes the page's size. Nothing is read
// from or written to any other file but the copy of the page that a recovery
// keeps first.
#ifndef BRANTIX_RUN_IN_PLACE_H_
#define BRANTIX_RUN_IN_PLACE_H_

#include <cstdint>
#include <optional>
#include <string>

#include "run/page.h"
#include "run/replacement.h"
#include "text/failure.h"

/// The record of a write in place, at the end of the page.
struct InPlaceRecord {
  std::uint64_t old_size = 0;  ///< S: the page's size before the write.
  std::uint64_t new_at = 0;    ///< X: where the new text lies past it.
  std::uint64_t new_size = 0;  ///< N.
  std::uint64_t new_sum = 0;   ///< The new text's checksum.
};

/// Where a write of |new_size| bytes over a page of |old_size| puts the
/// new text past the old end.
std::uint64_t NewTextAt(std::uint64_t old_size, std::uint64_t new_size);
/// The record's size in bytes.
std::uint64_t RecordSize();
/// The record as the page holds it.
std::string RecordText(const InPlaceRecord& record);
/// Where the record starts in a page that holds it.
std::uint64_t RecordAt(const InPlaceRecord& record);
/// The record that |text| (the page's last RecordSize() bytes) holds, if
/// it is one: well formed, its own checksum right, its numbers those of a
/// write.
std::optional<InPlaceRecord> ParseRecord(const std::string& text);

/// What a run must do about the page before anything else.
enum class Pending {
  kNone,    ///< No unfinished write: the run goes on.
  kFinish,  ///< The new text is whole past the old end: copy it over.
  kUndo,    ///< It is not: the old text is untouched, cut the page to S.
  kEdited,  ///< Not a state a write leaves: changed since, left alone.
};

/// The decision, from the page's |size|, the record at its end if any, and
/// whether the bytes [X, X + N) have the new text's checksum.
Pending Decide(std::uint64_t size, const std::optional<InPlaceRecord>& record,
               bool new_text_whole);

/// Reads the end of the page, open in |file| with |size| bytes, and the
/// new text that its record names, and decides. Fails on a read error.
CallResult FindUnfinishedWrite(File* file, std::uint64_t size, Pending* pending,
                               InPlaceRecord* record);

/// Finishes or undoes an unfinished write found on |page|, once its bytes
/// are kept in a new file beside it. A failure of step kNone when there is
/// none; otherwise the run stops there, with what was done or why not.
Failure RecoverInterruptedRun(Page* page);

/// Puts the finished |fresh| in place of the page, unless the run has been
/// interrupted or the page has changed since it was opened: by a rename
/// when that keeps the page's owner, group, attributes and links;
/// otherwise written over the page, as above. The failure says what the
/// page holds then.
Failure ReplacePage(Page* page, Replacement* fresh);

#endif  // BRANTIX_RUN_IN_PLACE_H_
