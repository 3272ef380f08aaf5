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
//   [S, X)      a gap of at least 4096 bytes that stays empty; [S, N),
//               where the new text is longer, is taken on the disk before
//               the start is written, so that a full disk stops the write
//               while the old text is whole
//   [X, X + N)  the new text, X = max(S, N) + 4096, so that it never
//               overlaps the new text over the start
//   [P, P + T)  the record: S, X, N and the checksums of the new and of the
//               old text, at P, the first 4096-byte boundary after X + N
//
// The record is written and flushed first, then the new text past the old
// end, rebuilt from the page once more (the run's first rebuild only
// counted N), then the new text over the start, summed again as it is
// copied; cutting the page to N ends the write. Each step that overwrites or
// cuts first checks the page's size and the bytes it is about to overwrite or
// cut away against what it verified.
//
// A later run decides from the page's bytes alone. It looks for the record
// in the page's last 64 KiB (kTailWindow): where the write put it, it
// finishes the write when [X, X + N) holds the new text, only cuts when the
// start already holds it, cuts back to S when [0, S) holds the old text,
// and otherwise refuses. Bytes that are not the write's, an appended line
// say, are kept in a copy beside the page before anything is cut. A page
// whose end is a record lost or torn by a power cut (zeros, or part of a
// record, from a block's start, after a block of zeros) is a write that
// had not begun: the zeros are cut away. Nothing is read from or written to
// any other file but the copy that a recovery may keep.
#ifndef BRANTIX_RUN_IN_PLACE_H_
#define BRANTIX_RUN_IN_PLACE_H_

#include <cstdint>
#include <optional>
#include <string>

#include "run/page.h"
#include "run/replacement.h"
#include "text/checksum.h"
#include "text/failure.h"

/// The record of a write in place, at the end of the page.
struct InPlaceRecord {
  std::uint64_t old_size = 0;  ///< S: the page's size before the write.
  std::uint64_t new_at = 0;    ///< X: where the new text lies past it.
  std::uint64_t new_size = 0;  ///< N.
  std::uint64_t new_sum = 0;   ///< The new text's checksum.
  std::uint64_t old_sum = 0;   ///< The old text's checksum.
  /// The record holds |old_sum|: an earlier version's has none.
  bool old_known = true;
  /// How its checksums, its own and the texts', were computed: the version
  /// before this one computed them as four chains.
  SumVersion sums = SumVersion::kPairs;
};

/// How far from its end a page is searched for the record of a write.
constexpr std::uint64_t kTailWindow = 64 * 1024;

/// Where a write of |new_size| bytes over a page of |old_size| puts the
/// new text past the old end.
std::uint64_t NewTextAt(std::uint64_t old_size, std::uint64_t new_size);
/// The record's size in bytes.
std::uint64_t RecordSize();
/// The record as the page holds it.
std::string RecordText(const InPlaceRecord& record);
/// Where the record starts in a page that holds it.
std::uint64_t RecordAt(const InPlaceRecord& record);
/// The record that |text| holds from |at| (its line end), if it is one:
/// well formed, its own checksum right, its numbers those of a write. Its
/// length in |length|. Line ends may be LF or CR LF: only the record in
/// the form the write gives it is where the write left it.
std::optional<InPlaceRecord> ParseRecord(const std::string& text,
                                         std::size_t at = 0,
                                         std::size_t* length = nullptr);

/// What a run must do about the page before anything else.
enum class Pending {
  kNone,    ///< No unfinished write: the run goes on.
  kFinish,  ///< The new text is whole past the old end: copy it over.
  kCut,     ///< The start already holds the new text: cut the page to N.
  kUndo,    ///< The start holds the old text: cut the page to S.
  kLost,    ///< A record lost before it reached the disk: cut the zeros.
  kEdited,  ///< Not a state a write leaves: changed since, left alone.
};

/// What the page's bytes show of an unfinished write.
struct WriteEvidence {
  bool record = false;     ///< A valid record in the page's last bytes.
  bool in_place = false;   ///< It is where the write put it.
  bool lost = false;       ///< No record, but the zeros of a lost one.
  bool new_whole = false;  ///< [X, X + N) holds the new text.
  bool start_new = false;  ///< [0, N) holds it.
  bool start_old = false;  ///< [0, S) holds the old text.
  bool old_known = true;   ///< The record tells the old text's checksum.
};

/// The decision, from the evidence alone.
Pending Decide(const WriteEvidence& evidence);

/// An unfinished write as a run finds it.
struct UnfinishedWrite {
  Pending pending = Pending::kNone;
  InPlaceRecord record;
  std::uint64_t lost_end = 0;  ///< kLost: where the zeros start,
  std::uint64_t lost_at = 0;   ///< and where the record was going.
};

/// Reads the end of the page, open in |file| with |size| bytes, and what
/// its record names, and decides. Returns 0, or the system's error number
/// of a read that failed.
int FindUnfinishedWrite(File* file, std::uint64_t size, UnfinishedWrite* found);

/// Finishes or undoes an unfinished write found on |page|, keeping first
/// in a new file beside it whatever bytes of another program it would cut
/// away or overwrite. A failure of step kNone when there is none;
/// otherwise the run stops there, with what was done or why not.
Failure RecoverInterruptedRun(Page* page);

/// Puts the finished |fresh| in place of the page, unless the run has been
/// interrupted or the page has changed since it was opened: by a rename
/// when that keeps the page's owner, group, attributes and links;
/// otherwise written over the page, as above. The failure says what the
/// page holds then.
Failure ReplacePage(Page* page, Replacement* fresh);

#endif  // BRANTIX_RUN_IN_PLACE_H_
