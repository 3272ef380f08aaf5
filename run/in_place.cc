#include "run/in_place.h"

#include <algorithm>
#include <charconv>
#include <memory>

#include "run/checksum.h"
#include "run/process.h"
#include "text/interrupt.h"
#include "text/text_file.h"

namespace {

// The record is an HTML comment, so that a browser showing a half-written
// page hides it: a fixed header, the numbers in 16 hexadecimal digits each,
// and the checksum of all that before it.
constexpr char kRecordStart[] = "\n<!-- brantix-en-cours ";
constexpr char kRecordEnd[] = " -->\n";
constexpr std::uint64_t kBlock = 4096;
// Larger numbers are no write's: the sums below cannot overflow.
constexpr std::uint64_t kMaxSize = std::uint64_t{1} << 60;

std::string Hex(std::uint64_t value) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text(16, '0');
  for (int i = 15; i >= 0; --i, value >>= 4) text[i] = kDigits[value & 15];
  return text;
}

bool ParseHex(const std::string& text, std::size_t at, std::uint64_t* value) {
  const char* end = text.data() + at + 16;
  const auto [stop, problem] =
      std::from_chars(text.data() + at, end, *value, 16);
  return problem == std::errc() && stop == end;
}

std::uint64_t SumOfText(const std::string& text) {
  Checksum checksum;
  checksum.Add(text.data(), text.size());
  return checksum.Value();
}

std::string Fields(const InPlaceRecord& r) {
  return kRecordStart + Hex(r.old_size) + ' ' + Hex(r.new_at) + ' ' +
         Hex(r.new_size) + ' ' + Hex(r.new_sum) + ' ';
}

// Reads up to |size| bytes, fewer only at the end of the file; a count of
// -1 on a read error.
ReadResult ReadFull(File* file, char* data, std::size_t size) {
  std::size_t got = 0;
  while (got < size) {
    const ReadResult n = ReadSome(file, data + got, size - got);
    if (n.count < 0) return n;
    if (n.count == 0) break;
    got += static_cast<std::size_t>(n.count);
  }
  return {static_cast<std::int64_t>(got), 0};
}

// Copies |length| bytes of |from| at |from_at| to |to| at |to_at|; |from|
// may be |to| when the ranges do not overlap. Fails at a read that comes
// short, with no error number of the system.
CallResult CopyRange(File* from, std::uint64_t from_at, File* to,
                     std::uint64_t to_at, std::uint64_t length) {
  auto buffer = std::make_unique<char[]>(kTextBufferSize);
  for (std::uint64_t done = 0; done < length;) {
    const auto want = static_cast<std::size_t>(
        std::min<std::uint64_t>(kTextBufferSize, length - done));
    CallResult result = SeekTo(from, from_at + done);
    if (!result) return result;
    const ReadResult read = ReadFull(from, buffer.get(), want);
    if (read.count < 0) return CallFailed(read.error);
    if (read.count != static_cast<std::int64_t>(want)) return CallFailed(0);
    result = SeekTo(to, to_at + done);
    if (result) result = WriteAll(to, buffer.get(), want);
    if (!result) return result;
    done += want;
  }
  return {};
}

// Copies the page's bytes into a new file of the program's own beside the
// name the run was given, on the disk with its folder entry before the
// page is touched, and gives its name in |kept|. On failure, |error| holds
// the error of the copy, of its folder or of the page, and no copy stays.
bool KeepAside(Page* page, std::string* kept, int* error) {
  File copy;
  FileInfo now;
  CallResult result = GetFileInfo(&page->file, &now);
  if (result)
    result = CreateTemporary(FolderPart(page->name), ".avant", kept, &copy);
  if (!result) {
    *error = result.error;
    return false;
  }
  result = CopyRange(&page->file, 0, &copy, 0, now.size);
  if (result) result = FlushToDisk(&copy);
  if (result) result = CloseFile(&copy);
  if (result) result = FlushFolderOf(*kept);
  if (result) return true;
  *error = result.error;
  CloseFile(&copy);
  (void)RemoveFile(*kept);
  return false;
}

// Whether [from, to) of |file| holds only zero bytes, in |empty|.
CallResult OnlyZeros(File* file, std::uint64_t from, std::uint64_t to,
                     bool* empty) {
  auto buffer = std::make_unique<char[]>(kTextBufferSize);
  *empty = true;
  const CallResult sought = SeekTo(file, from);
  if (!sought) return sought;
  for (std::uint64_t left = to - from; left > 0 && *empty;) {
    const auto want = static_cast<std::size_t>(
        std::min<std::uint64_t>(kTextBufferSize, left));
    const ReadResult got = ReadFull(file, buffer.get(), want);
    if (got.count < 0) return CallFailed(got.error);
    if (got.count == 0) break;
    *empty = std::all_of(buffer.get(), buffer.get() + got.count,
                         [](char c) { return c == '\0'; });
    left -= static_cast<std::uint64_t>(got.count);
  }
  return {};
}

// How cutting the page to end a write, or to undo one, went.
enum class Cut { kOk, kFailed, kNotFlushed, kEdited, kEditedNotKept };

// Cuts the page to |length| and flushes it, once its size shows that
// nobody else changed it since the write or the recovery began; otherwise
// keeps what it holds in |kept| first, so that the other program's bytes
// are not lost.
Cut CutTo(Page* page, const InPlaceRecord& r, std::uint64_t length,
          std::string* kept, int* error) {
  FileInfo now;
  CallResult result = GetFileInfo(&page->file, &now);
  if (!result) {
    *error = result.error;
    return Cut::kFailed;
  }
  const bool edited = now.size != RecordAt(r) + RecordSize();
  if (edited && !KeepAside(page, kept, error)) return Cut::kEditedNotKept;
  result = SetLength(&page->file, length);
  if (!result) {
    *error = result.error;
    return Cut::kFailed;
  }
  result = FlushToDisk(&page->file);
  if (!result) {
    *error = result.error;
    return Cut::kNotFlushed;
  }
  return edited ? Cut::kEdited : Cut::kOk;
}

// The failure of a cut that did not end with kOk: |finishing| once the new
// text is over the start, |edit| where an edit was kept.
Failure CutFailure(Cut cut, bool finishing, const std::string& edit,
                   int error) {
  switch (cut) {
    case Cut::kEdited:
      return FailureOf(FailedStep::kEditedDuringWrite, edit);
    case Cut::kEditedNotKept:
      return FailureOf(FailedStep::kEditNotKept, "", error);
    case Cut::kNotFlushed:
      return FailureOf(finishing ? FailedStep::kInPlaceNotFlushedNew
                                 : FailedStep::kInPlaceNotFlushedOld,
                       "", error);
    default:
      return FailureOf(finishing ? FailedStep::kInPlaceLeftToFinish
                                 : FailedStep::kInPlaceLeftToUndo,
                       "", error);
  }
}

}  // namespace

std::uint64_t NewTextAt(std::uint64_t old_size, std::uint64_t new_size) {
  return std::max(old_size, new_size) + kBlock;
}

std::uint64_t RecordSize() {
  return Fields(InPlaceRecord{}).size() + 16 + sizeof kRecordEnd - 1;
}

std::string RecordText(const InPlaceRecord& r) {
  const std::string fields = Fields(r);
  return fields + Hex(SumOfText(fields)) + kRecordEnd;
}

std::uint64_t RecordAt(const InPlaceRecord& r) {
  return (r.new_at + r.new_size + kBlock - 1) / kBlock * kBlock;
}

std::optional<InPlaceRecord> ParseRecord(const std::string& text) {
  const std::size_t start = sizeof kRecordStart - 1;
  if (text.size() != RecordSize() ||
      text.compare(0, start, kRecordStart) != 0 ||
      !text.ends_with(kRecordEnd)) {
    return std::nullopt;
  }
  InPlaceRecord r;
  std::uint64_t* fields[] = {&r.old_size, &r.new_at, &r.new_size, &r.new_sum};
  std::uint64_t check = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    if (!ParseHex(text, start + 17 * i, fields[i]) ||
        text[start + 17 * i + 16] != ' ') {
      return std::nullopt;
    }
  }
  if (!ParseHex(text, start + 68, &check) ||
      check != SumOfText(text.substr(0, start + 68)) ||
      r.old_size >= kMaxSize || r.new_size >= kMaxSize ||
      r.new_at != NewTextAt(r.old_size, r.new_size)) {
    return std::nullopt;
  }
  return r;
}

Pending Decide(std::uint64_t size, const std::optional<InPlaceRecord>& record,
               bool new_text_whole) {
  if (!record) return Pending::kNone;
  // Every state of a write or of a recovery keeps the page at this size
  // until the cut that ends it, which takes the record away.
  if (size != RecordAt(*record) + RecordSize()) return Pending::kEdited;
  return new_text_whole ? Pending::kFinish : Pending::kUndo;
}

CallResult FindUnfinishedWrite(File* file, std::uint64_t size, Pending* pending,
                               InPlaceRecord* record) {
  *pending = Pending::kNone;
  const std::uint64_t record_size = RecordSize();
  if (size < record_size) return {};
  std::string text(record_size, '\0');
  CallResult result = SeekTo(file, size - record_size);
  if (!result) return result;
  const ReadResult tail = ReadFull(file, text.data(), text.size());
  if (tail.count < 0) return CallFailed(tail.error);
  const std::optional<InPlaceRecord> found = ParseRecord(text);
  bool whole = false;
  if (found && size == RecordAt(*found) + record_size) {
    // The new text past the old end, read and summed in blocks.
    auto buffer = std::make_unique<char[]>(kTextBufferSize);
    Checksum checksum;
    result = SeekTo(file, found->new_at);
    if (!result) return result;
    for (std::uint64_t left = found->new_size; left > 0;) {
      const auto want = static_cast<std::size_t>(
          std::min<std::uint64_t>(kTextBufferSize, left));
      const ReadResult got = ReadFull(file, buffer.get(), want);
      if (got.count < 0) return CallFailed(got.error);
      if (got.count == 0) break;
      checksum.Add(buffer.get(), static_cast<std::size_t>(got.count));
      left -= static_cast<std::uint64_t>(got.count);
    }
    whole = checksum.Value() == found->new_sum;
  }
  *pending = Decide(size, found, whole);
  if (found) *record = *found;
  return {};
}

Failure RecoverInterruptedRun(Page* page) {
  Pending pending = Pending::kNone;
  InPlaceRecord r;
  const CallResult looked =
      FindUnfinishedWrite(&page->file, page->info.size, &pending, &r);
  if (!looked) return FailureOf(FailedStep::kRecoveryRead, "", looked.error);
  switch (pending) {
    case Pending::kNone:
      return Failure();
    case Pending::kEdited:
      return FailureOf(FailedStep::kEditedSince);
    case Pending::kFinish:
    case Pending::kUndo:
      break;
  }
  if (!page->writable) {
    return FailureOf(FailedStep::kNotRecovered, "", AccessRefusedError());
  }
  // Whatever the page holds now is kept before anything is written.
  std::string kept, edit;
  int error = 0;
  if (!KeepAside(page, &kept, &error)) {
    return FailureOf(FailedStep::kNotKept, "", error);
  }
  HoldInterruptions();
  const bool finish = pending == Pending::kFinish;
  CallResult copied;
  if (finish)
    copied = CopyRange(&page->file, r.new_at, &page->file, 0, r.new_size);
  if (finish && copied) copied = FlushToDisk(&page->file);
  if (!copied) return FailureOf(FailedStep::kNotRecovered, kept, copied.error);
  const Cut cut =
      CutTo(page, r, finish ? r.new_size : r.old_size, &edit, &error);
  if (cut == Cut::kFailed || cut == Cut::kNotFlushed) {
    return FailureOf(FailedStep::kNotRecovered, kept, error);
  }
  if (cut != Cut::kOk) return CutFailure(cut, finish, edit, error);
  return FailureOf(
      finish ? FailedStep::kWriteFinished : FailedStep::kWriteUndone, kept);
}

namespace {

// Writes the finished |fresh| over the page: its record, the new text past
// the old end, the new text over the start, each flushed before the next
// begins, then the cut.
Failure WriteInPlace(Page* page, Replacement* fresh) {
  InPlaceRecord r;
  r.old_size = page->info.size;
  const CallResult summed = SumOf(&fresh->reread, &r.new_sum, &r.new_size);
  if (!summed) return FailureOf(FailedStep::kPageWrite, "", summed.error);
  r.new_at = NewTextAt(r.old_size, r.new_size);
  File* file = &page->file;
  // The last look before the first byte is written: an edit made since the
  // page was checked would lie where the new text goes.
  FileInfo now;
  const CallResult looked = GetFileInfo(file, &now);
  if (!looked) return FailureOf(FailedStep::kRead, page->name, looked.error);
  if (now.size != r.old_size) return FailureOf(FailedStep::kPageChanged);
  const std::string record = RecordText(r);

  // From the first byte written to the page until the write is done or
  // undone, an interruption waits.
  HoldInterruptions();
  std::string edit;
  int error = 0;
  CallResult written = SeekTo(file, RecordAt(r));
  if (written) written = WriteAll(file, record.data(), record.size());
  if (written) written = FlushToDisk(file);
  if (written)
    written = CopyRange(&fresh->reread, 0, file, r.new_at, r.new_size);
  if (written) written = FlushToDisk(file);
  if (!written) {
    // The old text is untouched: the page is cut back to it.
    const int write_error = written.error;
    const Cut cut = CutTo(page, r, r.old_size, &edit, &error);
    if (cut == Cut::kOk) {
      return FailureOf(FailedStep::kPageWrite, "", write_error);
    }
    return CutFailure(cut, false, edit,
                      cut == Cut::kFailed ? write_error : error);
  }
  // Bytes in the gap past the old end are another program's, appended
  // as the write began: they are kept, and the page cut back to its old
  // text, before anything is written over the start.
  bool empty = false;
  const CallResult gap = OnlyZeros(file, r.old_size, r.new_at, &empty);
  if (!gap || !empty) {
    const int read_error = gap.error;
    if (empty || KeepAside(page, &edit, &error)) {
      const Cut cut = CutTo(page, r, r.old_size, &edit, &error);
      if (cut == Cut::kOk) {
        return empty ? FailureOf(FailedStep::kPageWrite, "", read_error)
                     : FailureOf(FailedStep::kEditedDuringWrite, edit);
      }
      return CutFailure(cut, false, edit, error);
    }
    return FailureOf(FailedStep::kEditNotKept, "", error);
  }
  written = CopyRange(&fresh->reread, 0, file, 0, r.new_size);
  if (written) written = FlushToDisk(file);
  if (!written) {
    return FailureOf(FailedStep::kInPlaceLeftToFinish, "", written.error);
  }
  const Cut cut = CutTo(page, r, r.new_size, &edit, &error);
  return cut == Cut::kOk ? Failure() : CutFailure(cut, true, edit, error);
}

}  // namespace

Failure ReplacePage(Page* page, Replacement* fresh) {
  const Failure changed = StillTheSamePage(page);
  if (changed.failed()) return changed;
  // A rename gives the page the new file's owner, group, attributes and
  // one name: only when they are the page's own does it keep the page as
  // it was.
  if (fresh->renamed) {
    const CallResult renamed = PutInPlace(fresh, &page->file);
    if (renamed) return Failure();
    if (Interrupted()) return FailureOf(FailedStep::kInterrupted);
    if (!ReopenPage(page)) {
      return FailureOf(FailedStep::kPageWrite, "", renamed.error);
    }
  }
  return WriteInPlace(page, fresh);
}
