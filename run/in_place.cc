#include "run/in_place.h"

#include <algorithm>
#include <charconv>
#include <memory>
#include <string_view>
#include <vector>

#include "run/process.h"
#include "text/checksum.h"
#include "text/interrupt.h"
#include "text/text_file.h"

namespace {

// The record is an HTML comment, so that a browser showing a half-written
// page hides it: a fixed header, the numbers in 16 hexadecimal digits each,
// and the checksum of all that before it.
constexpr char kRecordStart[] = "\n<!-- brantix-en-cours ";
constexpr char kRecordEnd[] = " -->\n";
constexpr std::size_t kStartLength = sizeof kRecordStart - 1;
constexpr std::uint64_t kBlock = 4096;
// Larger numbers are no write's: the sums below cannot overflow.
constexpr std::uint64_t kMaxSize = std::uint64_t{1} << 60;
// The numbers of a record, and of an earlier version's, without the old
// text's checksum.
constexpr std::size_t kFields = 5;
constexpr std::size_t kEarlierFields = 4;

std::string Hex(std::uint64_t value) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text(16, '0');
  for (int i = 15; i >= 0; --i, value >>= 4) text[i] = kDigits[value & 15];
  return text;
}

bool ParseHex(std::string_view text, std::size_t at, std::uint64_t* value) {
  if (at + 16 > text.size()) return false;
  const char* end = text.data() + at + 16;
  const auto [stop, problem] =
      std::from_chars(text.data() + at, end, *value, 16);
  return problem == std::errc() && stop == end;
}

std::uint64_t SumOfText(std::string_view text, SumVersion version) {
  Checksum checksum(version);
  checksum.Add(text.data(), text.size());
  return checksum.Value();
}

// The checksum that an earlier version gave its record: one chain over
// the record's words, then its length.
std::uint64_t EarlierSumOfText(std::string_view text) {
  std::uint64_t state = 0xCBF29CE484222325ULL;
  for (std::size_t at = 0; at <= text.size(); at += 8) {
    std::uint64_t word = 0;
    for (std::size_t k = 0; k < 8 && at + k < text.size(); ++k) {
      word |=
          static_cast<std::uint64_t>(static_cast<unsigned char>(text[at + k]))
          << (8 * k);
    }
    state = (state ^ word) * 0x100000001B3ULL;
    state ^= state >> 29;
  }
  return state ^ text.size();
}

std::string Fields(const InPlaceRecord& r) {
  std::string text = kRecordStart + Hex(r.old_size) + ' ' + Hex(r.new_at) +
                     ' ' + Hex(r.new_size) + ' ' + Hex(r.new_sum) + ' ';
  if (r.old_known) text += Hex(r.old_sum) + ' ';
  return text;
}

// A record's own checksum, of the fields before it.
std::uint64_t RecordSum(const InPlaceRecord& r) {
  const std::string fields = Fields(r);
  return r.old_known ? SumOfText(fields, r.sums) : EarlierSumOfText(fields);
}

// The page's calls, each giving 0 or the system's error number of the
// call that failed. A call that fails with none, as an interruption makes
// one fail before the write holds them, gives kNoCause: the run words the
// interruption then.
constexpr int kNoCause = -1;

// The failure of |step| on |name| with the error number |error| of the
// call that failed, none for kNoCause.
Failure FailureWith(FailedStep step, const std::string& name, int error) {
  return FailureOf(step, name, error == kNoCause ? 0 : error);
}

int ErrorOf(const CallResult& result) {
  if (result) return 0;
  return result.error != 0 ? result.error : kNoCause;
}

// Reads up to |size| bytes at |at|, fewer only at the end of the file.
int ReadAt(File* file, std::uint64_t at, char* data, std::size_t size,
           std::size_t* got) {
  *got = 0;
  if (const int e = ErrorOf(SeekTo(file, at))) return e;
  while (*got < size) {
    const ReadResult n = ReadSome(file, data + *got, size - *got);
    if (n.count < 0) return n.error != 0 ? n.error : kNoCause;
    if (n.count == 0) break;
    *got += static_cast<std::size_t>(n.count);
  }
  return 0;
}

int WriteAt(File* file, std::uint64_t at, const char* data, std::size_t size) {
  if (const int e = ErrorOf(SeekTo(file, at))) return e;
  return ErrorOf(WriteAll(file, data, size));
}

int Flush(File* file) { return ErrorOf(FlushToDisk(file)); }

int CutAt(File* file, std::uint64_t length) {
  return ErrorOf(SetLength(file, length));
}

int SizeOf(File* file, std::uint64_t* size) {
  FileInfo now;
  if (const int e = ErrorOf(GetFileInfo(file, &now))) return e;
  *size = now.size;
  return 0;
}

// A part of the page, [from, to).
struct Range {
  std::uint64_t from = 0;
  std::uint64_t to = 0;
};

// The part of a file that a copy or a sum reads at once: large, so that
// the system's work per call is spread over many pages.
constexpr std::size_t kRangePart = 1024 * 1024;

// Reads [from, to) of a file part by part, each part a whole number of
// blocks but at the end, into a buffer of its own.
class RangeReader {
 public:
  RangeReader(File* file, std::uint64_t from, std::uint64_t to)
      : file_(file),
        at_(from),
        to_(to),
        buffer_(std::make_unique<char[]>(kRangePart)) {}

  /// The next part in |part|, empty at the end or where the file ends
  /// sooner; where it starts in the file, at(). 0 or the error number.
  int Next(std::string_view* part) {
    at_ += last_;
    last_ = 0;
    *part = {};
    if (at_ >= to_) return 0;
    const auto want = static_cast<std::size_t>(
        std::min<std::uint64_t>(kRangePart, to_ - at_));
    if (const int e = ReadAt(file_, at_, buffer_.get(), want, &last_)) {
      return e;
    }
    *part = std::string_view(buffer_.get(), last_);
    return 0;
  }
  std::uint64_t at() const { return at_; }

 private:
  File* file_;
  std::uint64_t at_;
  std::uint64_t to_;
  std::unique_ptr<char[]> buffer_;
  std::size_t last_ = 0;
};

// Adds [start, end) to |keep|, joined to the last range where they meet.
void AddRange(std::uint64_t start, std::uint64_t end,
              std::vector<Range>* keep) {
  if (!keep->empty() && keep->back().to == start) {
    keep->back().to = end;
  } else {
    keep->push_back({start, end});
  }
}

// The checksum of [from, to) in |sum|; a range past the end sums what is.
int SumRange(File* file, std::uint64_t from, std::uint64_t to,
             std::uint64_t* sum, std::uint64_t* length = nullptr,
             SumVersion version = SumVersion::kPairs) {
  Checksum checksum(version);
  std::uint64_t read = 0;
  RangeReader reader(file, from, to);
  std::string_view b;
  int e = 0;
  while ((e = reader.Next(&b)) == 0 && !b.empty()) {
    checksum.Add(b.data(), b.size());
    read += b.size();
  }
  *sum = checksum.Value();
  if (length != nullptr) *length = read;
  return e;
}

bool AllZeros(std::string_view bytes) {
  return std::all_of(bytes.begin(), bytes.end(),
                     [](char c) { return c == '\0'; });
}

// Adds to |keep| the blocks of [from, to) that are not zeros.
int NonZeroBlocks(File* file, std::uint64_t from, std::uint64_t to,
                  std::vector<Range>* keep) {
  RangeReader reader(file, from, to);
  std::string_view b;
  int e = 0;
  while ((e = reader.Next(&b)) == 0 && !b.empty()) {
    for (std::size_t i = 0; i < b.size(); i += kBlock) {
      const std::string_view block = b.substr(i, kBlock);
      if (AllZeros(block)) continue;
      AddRange(reader.at() + i, reader.at() + i + block.size(), keep);
    }
  }
  return e;
}

// The record that a lost or torn write of it may leave: each byte a zero,
// or the byte of a record there (a digit where the numbers go).
bool RecordShaped(std::string_view tail) {
  const std::string shape = Fields(InPlaceRecord{}) + Hex(0) + kRecordEnd;
  if (tail.size() > shape.size()) return false;
  for (std::size_t i = 0; i < tail.size(); ++i) {
    const char c = tail[i];
    const bool digit = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
    if (c != '\0' && c != shape[i] && !(shape[i] == '0' && digit)) return false;
  }
  return true;
}

// The records of a write: the first, written before anything else, with
// no checksum of the new text yet, and the last, once the new text is past
// the old end; an earlier version's has only the one.
std::string FirstRecordText(InPlaceRecord r) {
  if (r.old_known) r.new_sum = 0;
  return RecordText(r);
}

// Where the page of a write under |r| ends until the write is done.
std::uint64_t WriteEnd(const InPlaceRecord& r) {
  return RecordAt(r) + (r.old_known ? kBlock : 0) + RecordSize();
}

// Adds to |keep| what, in [from, size) of a page written in place under
// |r|, is not the write's: bytes in its gaps, records other than its own
// (or the zeros or part of one that a power cut leaves), and whatever
// follows them.
int ForeignBytes(File* file, const InPlaceRecord& r, std::uint64_t from,
                 std::uint64_t size, std::vector<Range>* keep) {
  const std::uint64_t x = r.new_at, p = RecordAt(r), end = WriteEnd(r);
  const Range empty[] = {
      {std::max(from, r.old_size), x},
      {std::max(from, x + r.new_size), p},
      {std::max(from, p + RecordSize()), end - RecordSize()}};
  for (const Range& gap : empty) {
    if (gap.from >= std::min(gap.to, size)) continue;
    if (const int e =
            NonZeroBlocks(file, gap.from, std::min(gap.to, size), keep)) {
      return e;
    }
  }
  const std::pair<std::uint64_t, std::string> records[] = {
      {p, FirstRecordText(r)}, {end - RecordSize(), RecordText(r)}};
  for (const auto& [at, ours] : records) {
    if (at < from || at >= size) continue;
    std::string bytes(std::min(size, at + ours.size()) - at, '\0');
    std::size_t got = 0;
    if (const int e = ReadAt(file, at, bytes.data(), bytes.size(), &got)) {
      return e;
    }
    bytes.resize(got);
    if (ours.compare(0, got, bytes) != 0 && !RecordShaped(bytes)) {
      keep->push_back({at, at + got});
    }
  }
  if (size > end) return NonZeroBlocks(file, std::max(from, end), size, keep);
  return 0;
}

// Copies |length| bytes of |from| at |from_at| to |to| at |to_at|; |from|
// may be |to| when the ranges do not overlap. A read that comes short is
// an input-output error. Adds the bytes to |checksum| if not nullptr.
int CopyRange(File* from, std::uint64_t from_at, File* to, std::uint64_t to_at,
              std::uint64_t length, Checksum* checksum = nullptr) {
  std::uint64_t copied = 0, started = 0;
  RangeReader reader(from, from_at, from_at + length);
  std::string_view b;
  int e = 0;
  while ((e = reader.Next(&b)) == 0 && !b.empty()) {
    if (checksum != nullptr) checksum->Add(b.data(), b.size());
    if ((e = WriteAt(to, to_at + copied, b.data(), b.size())) != 0) return e;
    copied += b.size();
    // Flushed at the end: the disk starts on each part at once.
    if (copied - started >= kFlushBehindStep) {
      StartFlushing(*to, to_at + started, copied - started);
      started = copied;
    }
  }
  if (e != 0) return e;
  return copied == length ? 0 : InputOutputError();
}

// Creates the copy that a recovery keeps, named after the write it
// recovers (|id|), so that a recovery stopped while it wrote it leaves the
// next one the same name to write again: one copy per write. A file of
// that name that is not this user's own plain file, with one name, is left
// alone, and the copy gets a name drawn at random, as without |id|.
CallResult CreateCopy(const Page& page, const std::string& id,
                      std::string* name, File* file) {
  const Folder& folder = TypedFolder(page);
  if (!id.empty()) {
    *name = folder.path() + "brantix-" + id + ".avant";
    const CallResult created = CreateExclusiveIn(folder, *name, file);
    if (created || !NameTaken(created.error)) {
      if (!created) name->clear();
      return created;
    }
    bool writable = false;
    FileInfo info;
    if (OpenWritableIn(folder, *name, file, &writable, Links::kRefuse) &&
        writable && GetFileInfo(file, &info) && info.links == 1 &&
        (!FilesHaveOwners() || info.owner == CurrentUser()) &&
        SetLength(file, 0)) {
      return {};
    }
    *file = File();
  }
  return CreateTemporary(folder, ".avant", name, file);
}

// Keeps the parts |keep| of the page in a new file beside the name the run
// was given, each at its own offset, holes between them, the whole the
// page's |size|: on the disk with its folder entry before the page is
// touched. Its name in |kept|; no copy stays when it fails.
int KeepAside(Page* page, const std::vector<Range>& keep, std::uint64_t size,
              const std::string& id, std::string* kept) {
  File copy;
  if (const int e = ErrorOf(CreateCopy(*page, id, kept, &copy))) return e;
  int e = 0;
  for (const Range& part : keep) {
    e = CopyRange(&page->file, part.from, &copy, part.from,
                  part.to - part.from);
    if (e != 0) break;
  }
  if (e == 0) e = CutAt(&copy, size);
  if (e == 0) e = Flush(&copy);
  if (e == 0) e = ErrorOf(CloseFile(&copy));
  if (e == 0) e = ErrorOf(FlushFolder(TypedFolder(*page)));
  if (e == 0) return 0;
  CloseFile(&copy);
  (void)RemoveFile(TypedFolder(*page), *kept);
  kept->clear();
  return e;
}

// Keeps |keep| aside when it is not empty. 0 or the copy's error.
int KeepIfAny(Page* page, const std::vector<Range>& keep, std::uint64_t size,
              std::string* kept, const std::string& id = "") {
  return keep.empty() ? 0 : KeepAside(page, keep, size, id, kept);
}

// Whether the page, of which |tail| holds the bytes from |base| to its end,
// ends as a write whose record never reached the disk leaves it: from a
// block's start, zeros or part of a record, after a whole block of zeros,
// maybe followed by what another program appended since. Then
// |w->lost_end| is where the zeros start, |w->lost_at| the record's place.
int FindLostRecord(File* file, const std::string& tail, std::uint64_t base,
                   UnfinishedWrite* w, bool* lost) {
  *lost = false;
  const std::uint64_t size = base + tail.size();
  std::uint64_t at = size == 0 ? 0 : (size - 1) / kBlock * kBlock;
  for (; at >= base + kBlock && at > 0; at -= kBlock) {
    const std::string_view bytes(tail);
    const std::string_view zeros = bytes.substr(at - kBlock - base, kBlock);
    const std::string_view record = bytes.substr(
        at - base, std::min<std::uint64_t>(RecordSize(), size - at));
    // What follows a record's place was appended as text: no zeros.
    const std::string_view after =
        bytes.substr(std::min<std::uint64_t>(at + RecordSize(), size) - base);
    if (AllZeros(zeros) && RecordShaped(record) &&
        after.find('\0') == std::string_view::npos) {
      break;
    }
  }
  if (at < base + kBlock || at == 0) return 0;
  w->lost_at = at;
  // The old text ends at the last byte that is not a zero.
  std::size_t got = 0;
  std::uint64_t stop = at - kBlock;
  while (stop > 0) {
    const std::uint64_t from =
        stop > kTextBufferSize ? stop - kTextBufferSize : 0;
    std::string part(stop - from, '\0');
    if (const int e = ReadAt(file, from, part.data(), part.size(), &got)) {
      return e;
    }
    const std::size_t last = part.find_last_not_of('\0', got);
    if (last != std::string::npos && last < got) {
      stop = from + last + 1;
      break;
    }
    stop = from;
  }
  *lost = true;
  w->lost_end = stop;
  return 0;
}

// Whether [from, from + length) of |file| has the checksum |sum|.
int HoldsText(File* file, std::uint64_t size, std::uint64_t from,
              std::uint64_t length, std::uint64_t sum, SumVersion version,
              bool* holds) {
  *holds = false;
  if (from + length > size) return 0;
  std::uint64_t found = 0;
  if (const int e =
          SumRange(file, from, from + length, &found, nullptr, version)) {
    return e;
  }
  *holds = found == sum;
  return 0;
}

// The blocks of [0, N) that a finishing copy would overwrite with other
// bytes than they hold, where they are another program's: below S only
// when the start is not the old text, past S (zeros until then) when they
// are not zeros.
int OverwrittenBytes(File* file, const InPlaceRecord& r, bool start_old,
                     std::vector<Range>* keep) {
  auto fresh = std::make_unique<char[]>(kRangePart);
  RangeReader reader(file, 0, r.new_size);
  std::string_view b;
  int e = 0;
  while ((e = reader.Next(&b)) == 0 && !b.empty()) {
    std::size_t got = 0;
    if (ReadAt(file, r.new_at + reader.at(), fresh.get(), b.size(), &got) !=
            0 ||
        got != b.size()) {
      AddRange(reader.at(), r.new_size, keep);
      return 0;
    }
    for (std::size_t i = 0; i < b.size(); i += kBlock) {
      const std::string_view block = b.substr(i, kBlock);
      const std::uint64_t start = reader.at() + i;
      const bool same =
          block == std::string_view(fresh.get() + i, block.size());
      const bool theirs = start < r.old_size ? !start_old : !AllZeros(block);
      if (!same && theirs) AddRange(start, start + block.size(), keep);
    }
  }
  return e;
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
  return fields + Hex(RecordSum(r)) + kRecordEnd;
}

std::uint64_t RecordAt(const InPlaceRecord& r) {
  return (r.new_at + r.new_size + kBlock - 1) / kBlock * kBlock;
}

std::optional<InPlaceRecord> ParseRecord(const std::string& text,
                                         std::size_t at, std::size_t* length) {
  // The line end before the comment, LF or CR LF.
  std::size_t start = at;
  if (text.compare(start, 2, "\r\n") == 0) ++start;
  if (text.compare(start, kStartLength, kRecordStart) != 0) {
    return std::nullopt;
  }
  const std::size_t numbers = start + kStartLength;
  std::uint64_t values[kFields + 1] = {};
  std::size_t count = 0;
  while (count <= kFields &&
         ParseHex(text, numbers + 17 * count, &values[count]) &&
         text.compare(numbers + 17 * count + 16, 1, " ") == 0) {
    ++count;
  }
  // The last number is the checksum of the fields before it, then the end.
  if (count != kFields + 1 && count != kEarlierFields + 1) return std::nullopt;
  std::size_t stop = numbers + 17 * count - 1;
  if (text.compare(stop, 4, " -->") != 0) return std::nullopt;
  stop += 4;
  if (text.compare(stop, 1, "\r") == 0) ++stop;
  if (text.compare(stop, 1, "\n") != 0) return std::nullopt;
  InPlaceRecord r{values[0],
                  values[1],
                  values[2],
                  values[3],
                  count == kFields + 1 ? values[4] : 0,
                  count == kFields + 1};
  // A record of the version before: its checksums are four chains.
  if (r.old_known && values[count - 1] != RecordSum(r)) {
    r.sums = SumVersion::kFourChains;
  }
  if (values[count - 1] != RecordSum(r) || r.old_size >= kMaxSize ||
      r.new_size >= kMaxSize || r.new_at != NewTextAt(r.old_size, r.new_size)) {
    return std::nullopt;
  }
  if (length != nullptr) *length = stop + 1 - at;
  return r;
}

Pending Decide(const WriteEvidence& e) {
  if (!e.record) return e.lost ? Pending::kLost : Pending::kNone;
  // Moved, or its line ends converted: its numbers no longer say where
  // anything lies.
  // An earlier version's record has neither the old text's checksum nor
  // this version's of the new text: its bytes prove nothing, left alone.
  if (!e.in_place || !e.old_known) return Pending::kEdited;
  if (e.new_whole) return Pending::kFinish;
  if (e.start_new) return Pending::kCut;
  if (e.start_old) return Pending::kUndo;
  return Pending::kEdited;
}

int FindUnfinishedWrite(File* file, std::uint64_t size,
                        UnfinishedWrite* found) {
  *found = UnfinishedWrite();
  const std::uint64_t base = size > kTailWindow ? size - kTailWindow : 0;
  std::string tail(size - base, '\0');
  std::size_t got = 0;
  if (const int e = ReadAt(file, base, tail.data(), tail.size(), &got)) {
    return e;
  }
  tail.resize(got);
  WriteEvidence evidence;
  // The last valid record in the window, looked for forwards: a forward
  // search skips to each "<" at the speed of memchr, where a page without
  // a record spends it on every run.
  InPlaceRecord r;
  const std::string_view marker(kRecordStart + 1);
  for (std::size_t at = tail.find(marker, 1); at != std::string::npos;
       at = tail.find(marker, at + 1)) {
    for (std::size_t from : {at - 1, at >= 2 ? at - 2 : at - 1}) {
      std::size_t length = 0;
      if (const auto parsed = ParseRecord(tail, from, &length)) {
        r = *parsed;
        evidence.record = true;
        evidence.old_known = r.old_known;
        // The first record, or the last one a block after it.
        const std::uint64_t place = base + from;
        evidence.in_place =
            (place == RecordAt(r) &&
             tail.compare(from, length, FirstRecordText(r)) == 0) ||
            (place == WriteEnd(r) - RecordSize() &&
             tail.compare(from, length, RecordText(r)) == 0);
        break;
      }
    }
  }
  if (!evidence.record) {
    if (const int e = FindLostRecord(file, tail, base, found, &evidence.lost)) {
      return e;
    }
  } else if (evidence.in_place && r.old_known) {
    int e = HoldsText(file, size, r.new_at, r.new_size, r.new_sum, r.sums,
                      &evidence.new_whole);
    if (e == 0 && !evidence.new_whole) {
      e = HoldsText(file, size, 0, r.new_size, r.new_sum, r.sums,
                    &evidence.start_new);
    }
    if (e == 0 && !evidence.new_whole && !evidence.start_new && r.old_known) {
      e = HoldsText(file, size, 0, r.old_size, r.old_sum, r.sums,
                    &evidence.start_old);
    }
    if (e != 0) return e;
  }
  found->pending = Decide(evidence);
  if (evidence.record) found->record = r;
  return 0;
}

namespace {

// What the recovery of |w| keeps of the page before it acts: another
// program's bytes among what it cuts away or overwrites. Also the page's
// checksum, checked again before each step.
int PlanRecovery(Page* page, const UnfinishedWrite& w, std::uint64_t size,
                 std::vector<Range>* keep) {
  const InPlaceRecord& r = w.record;
  switch (w.pending) {
    case Pending::kFinish: {
      bool start_old = false;
      int e = r.old_known ? HoldsText(&page->file, size, 0, r.old_size,
                                      r.old_sum, r.sums, &start_old)
                          : 0;
      if (e == 0) e = OverwrittenBytes(&page->file, r, start_old, keep);
      if (e == 0) e = ForeignBytes(&page->file, r, r.new_size, size, keep);
      return e;
    }
    case Pending::kCut:
      return ForeignBytes(&page->file, r, r.new_size, size, keep);
    case Pending::kUndo:
      return ForeignBytes(&page->file, r, r.old_size, size, keep);
    case Pending::kLost:
      // What follows the lost record was appended since.
      return w.lost_at + RecordSize() < size
                 ? NonZeroBlocks(&page->file, w.lost_at + RecordSize(), size,
                                 keep)
                 : 0;
    default:
      return 0;
  }
}

// Whether the page still has |size| bytes of checksum |sum|.
int StillAsVerified(Page* page, std::uint64_t size, std::uint64_t sum,
                    bool* same) {
  std::uint64_t now = 0, now_sum = 0;
  *same = false;
  if (const int e = SizeOf(&page->file, &now)) return e;
  if (now != size) return 0;
  if (const int e = SumRange(&page->file, 0, size, &now_sum)) return e;
  *same = now_sum == sum;
  return 0;
}

}  // namespace

Failure RecoverInterruptedRun(Page* page) {
  UnfinishedWrite w;
  const std::uint64_t size = page->info.size;
  // Looking for an earlier run's write is reading the page: a failure
  // there says nothing of an earlier run.
  if (const int e = FindUnfinishedWrite(&page->file, size, &w)) {
    return FailureWith(FailedStep::kRead, page->name, e);
  }
  const InPlaceRecord& r = w.record;
  switch (w.pending) {
    case Pending::kNone:
      return Failure();
    case Pending::kEdited:
      return FailureOf(FailedStep::kEditedSince);
    default:
      break;
  }
  if (!page->writable) {
    return FailureOf(FailedStep::kNotRecovered, "", AccessRefusedError());
  }
  // Another program's bytes that the recovery would cut away or overwrite
  // are kept first; the page's own bytes, verified, are not.
  std::vector<Range> keep;
  std::string kept;
  std::uint64_t sum = 0;
  int e = PlanRecovery(page, w, size, &keep);
  if (e == 0) e = SumRange(&page->file, 0, size, &sum);
  if (e != 0) return FailureWith(FailedStep::kRecoveryRead, "", e);
  // The copy is named after the write: its record, or where it was going.
  const std::string id =
      Hex(w.pending == Pending::kLost ? w.lost_at : RecordSum(r)).substr(4);
  if (const int k = KeepIfAny(page, keep, size, &kept, id)) {
    return FailureWith(FailedStep::kNotKept, "", k);
  }
  HoldInterruptions();
  // The last look before anything is written: changed since it was read,
  // the page is left as it is.
  bool same = false;
  if ((e = StillAsVerified(page, size, sum, &same)) != 0) {
    return FailureWith(FailedStep::kNotRecovered, kept, e);
  }
  if (!same) {
    if (!kept.empty()) (void)RemoveFile(TypedFolder(*page), kept);
    return FailureOf(FailedStep::kEditedSince);
  }
  std::uint64_t length = 0;
  switch (w.pending) {
    case Pending::kFinish:
      length = r.new_size;
      e = SumRange(&page->file, length, size, &sum);
      if (e == 0 && r.new_size > r.old_size) {
        e = ErrorOf(
            ReserveSpace(&page->file, r.old_size, r.new_size - r.old_size));
      }
      if (e == 0) {
        e = CopyRange(&page->file, r.new_at, &page->file, 0, r.new_size);
      }
      if (e == 0) e = Flush(&page->file);
      if (e == 0) {
        // The start now holds the new text: what the cut takes away must
        // still be what was verified, or it is kept first.
        std::uint64_t now = 0, now_sum = 0;
        e = SizeOf(&page->file, &now);
        if (e == 0) e = SumRange(&page->file, length, now, &now_sum);
        if (e == 0 && (now != size || now_sum != sum)) {
          std::vector<Range> theirs;
          std::string edit;
          e = NonZeroBlocks(&page->file, length, now, &theirs);
          if (e == 0) e = KeepIfAny(page, theirs, now, &edit);
          if (e != 0) return FailureWith(FailedStep::kEditNotKept, "", e);
          e = CutAt(&page->file, length);
          if (e == 0) e = Flush(&page->file);
          if (e != 0) return FailureWith(FailedStep::kNotRecovered, edit, e);
          return FailureOf(FailedStep::kEditedDuringWrite, edit);
        }
      }
      break;
    case Pending::kCut:
      length = r.new_size;
      break;
    case Pending::kUndo:
      length = r.old_size;
      break;
    default:
      length = w.lost_end;
      break;
  }
  if (e == 0) e = CutAt(&page->file, length);
  if (e != 0) return FailureWith(FailedStep::kNotRecovered, kept, e);
  if ((e = Flush(&page->file)) != 0) {
    const bool old_text =
        w.pending == Pending::kUndo || w.pending == Pending::kLost;
    return FailureOf(old_text ? FailedStep::kInPlaceNotFlushedOld
                              : FailedStep::kInPlaceNotFlushedNew,
                     "", e);
  }
  switch (w.pending) {
    case Pending::kUndo:
      return FailureOf(FailedStep::kWriteUndone, kept);
    case Pending::kLost:
      return FailureOf(FailedStep::kWriteNotBegun, kept);
    default:
      return FailureOf(FailedStep::kWriteFinished, kept);
  }
}

namespace {

// Stops a write in place that failed before the start was written, with
// |cause|: the page is cut back to its old text, once another program's
// bytes past it, if any, are kept.
Failure BackOut(Page* page, const InPlaceRecord& r, const Failure& cause) {
  std::uint64_t size = 0;
  std::vector<Range> keep;
  std::string kept;
  int e = SizeOf(&page->file, &size);
  if (e == 0) e = ForeignBytes(&page->file, r, r.old_size, size, &keep);
  if (e == 0 && (e = KeepIfAny(page, keep, size, &kept)) != 0) {
    return FailureWith(FailedStep::kEditNotKept, "", e);
  }
  // Cut short by another program, it is left as it is.
  if (e == 0 && size < r.old_size) return FailureOf(FailedStep::kPageChanged);
  if (e == 0) e = CutAt(&page->file, r.old_size);
  if (e != 0) return FailureWith(FailedStep::kInPlaceLeftToUndo, "", e);
  if ((e = Flush(&page->file)) != 0) {
    return FailureWith(FailedStep::kInPlaceNotFlushedOld, "", e);
  }
  if (!kept.empty()) return FailureOf(FailedStep::kEditedDuringWrite, kept);
  return cause;
}

// Rebuilds the page once more, straight past its old end at |r.new_at|,
// summed into |sum| as it goes, and flushed behind. The failure of the
// page's reading or writing; a page rebuilt into another size than the
// first reading counted was edited as it was written, and nothing is
// written beyond that size. An edit of another size, or of the old text
// that is still there, is found before the start is written.
Failure RebuildPastTheEnd(Page* page, const InPlaceRecord& r, Checksum* sum) {
  File out;
  if (const CallResult dup = Duplicate(page->file, &out); !dup) {
    return FailureWith(FailedStep::kPageWrite, "", ErrorOf(dup));
  }
  TextWriter writer;
  writer.StartAt(std::move(out), r.new_at, r.new_size, kRangePart);
  writer.FlushBehind();
  writer.SumWhileWriting(sum);
  const Failure rebuilt = RebuildInto(page, r.old_size, &writer);
  const CallResult written = writer.FinishToDisk(false);
  if (writer.overflowed()) return FailureOf(FailedStep::kEditedDuringWrite);
  if (rebuilt.failed()) {
    if (rebuilt.step != FailedStep::kPageWrite) return rebuilt;
    return FailureWith(FailedStep::kPageWrite, "", rebuilt.error);
  }
  if (!written) {
    return FailureWith(FailedStep::kPageWrite, "", ErrorOf(written));
  }
  if (writer.written() != r.new_size) {
    return FailureOf(FailedStep::kEditedDuringWrite);
  }
  return {};
}

// Whether the page is as the write left it before it overwrites its start
// (|start|) or cuts it: its size; the old text, before the start is
// written; the first block past the old end, where another program's
// append made as the write began lies, and the blocks around the new text
// and the records. The new text past the old end, the write's own, is
// summed again as it is copied over the start.
int AsWritten(Page* page, const InPlaceRecord& r, bool start,
              bool* as_written) {
  std::uint64_t size = 0;
  *as_written = false;
  if (const int e = SizeOf(&page->file, &size)) return e;
  if (size != WriteEnd(r)) return 0;
  const std::uint64_t gap = std::max(r.old_size, r.new_size);
  const std::uint64_t p = RecordAt(r);
  std::vector<Range> foreign;
  const Range looked[] = {
      {start ? r.old_size : gap, start ? r.old_size + kBlock : gap},
      {gap, gap + kBlock},
      {r.new_at + r.new_size, p + kBlock}};
  for (const Range& part : looked) {
    if (part.from >= part.to) continue;
    if (const int e =
            ForeignBytes(&page->file, r, part.from, part.to, &foreign)) {
      return e;
    }
  }
  if (!foreign.empty()) return 0;
  if (const int e = ForeignBytes(&page->file, r, p + kBlock, size, &foreign)) {
    return e;
  }
  bool holds = true;
  if (!foreign.empty()) return 0;
  if (start) {
    if (const int e = HoldsText(&page->file, size, 0, r.old_size, r.old_sum,
                                r.sums, &holds)) {
      return e;
    }
  }
  if (!holds) return 0;
  // The size once more, last: an append made while the bytes were read.
  std::uint64_t now = 0;
  if (const int e2 = SizeOf(&page->file, &now)) return e2;
  *as_written = now == size;
  return 0;
}

// Writes the new page over the page: its record, the new text past the
// old end, the new text over the start, each flushed before the next
// begins, then the cut. |fresh| counted the new text's bytes.
Failure WriteInPlace(Page* page, Replacement* fresh) {
  File* file = &page->file;
  InPlaceRecord r;
  r.old_size = page->info.size;
  r.new_size = fresh->writer.written();
  r.new_at = NewTextAt(r.old_size, r.new_size);
  // The old text's checksum, of the bytes the run read: summed as the
  // rebuild read them, the same as when the page was opened by its times,
  // or by its checksum where they are too coarse; after a refused rename,
  // from the page (one whose times are too coarse was just summed whole,
  // and found the same by StillTheSamePage()). It is checked again before
  // the start is written.
  std::uint64_t read = r.old_size;
  FileInfo now;
  r.old_sum = page->read_summed ? page->read_sum : page->sum;
  if (page->read_summed) read = page->read_size;
  int e = page->read_summed || page->recent
              ? 0
              : SumRange(file, 0, r.old_size, &r.old_sum, &read);
  if (e == 0) e = ErrorOf(GetFileInfo(file, &now));
  if (e != 0) return FailureWith(FailedStep::kRead, page->name, e);
  if (read != r.old_size || !Unchanged(page->info, now) ||
      (page->recent && r.old_sum != page->sum)) {
    return FailureOf(FailedStep::kPageChanged);
  }

  // From the first byte written to the page until the write is done or
  // undone, an interruption waits.
  HoldInterruptions();
  const std::string first = FirstRecordText(r);
  e = WriteAt(file, RecordAt(r), first.data(), first.size());
  if (e == 0) e = Flush(file);
  if (e != 0) {
    return BackOut(page, r, FailureWith(FailedStep::kPageWrite, "", e));
  }
  // The new text past the old end, summed as it goes, then the record that
  // holds its checksum, flushed together.
  Checksum checksum;
  const Failure rebuilt = RebuildPastTheEnd(page, r, &checksum);
  if (rebuilt.failed()) return BackOut(page, r, rebuilt);
  r.new_sum = checksum.Value();
  const std::string last = RecordText(r);
  e = WriteAt(file, WriteEnd(r) - last.size(), last.data(), last.size());
  // The blocks that the new text will fill past the old end are taken
  // now, while a full disk still leaves the old text whole.
  if (e == 0 && r.new_size > r.old_size) {
    e = ErrorOf(ReserveSpace(file, r.old_size, r.new_size - r.old_size));
  }
  if (e == 0) e = Flush(file);
  bool as_written = false;
  if (e == 0) e = AsWritten(page, r, true, &as_written);
  if (e != 0) {
    return BackOut(page, r, FailureWith(FailedStep::kPageWrite, "", e));
  }
  // Another program's edit: past the old end, it is kept aside; in the old
  // text, it stays there.
  if (!as_written) {
    return BackOut(page, r, FailureOf(FailedStep::kEditedDuringWrite));
  }
  // The new text past the old end, summed again as it is copied over the
  // start: an edit made there since it was written is seen before the cut.
  Checksum copied;
  e = CopyRange(file, r.new_at, file, 0, r.new_size, &copied);
  if (e == 0) e = Flush(file);
  if (e != 0) return FailureWith(FailedStep::kInPlaceLeftToFinish, "", e);
  // The new text is over the start: what the cut takes away must still be
  // the write's own.
  if ((e = AsWritten(page, r, false, &as_written)) != 0) {
    return FailureWith(FailedStep::kInPlaceLeftToFinish, "", e);
  }
  const bool copied_as_written = copied.Value() == r.new_sum;
  std::string kept;
  if (!as_written || !copied_as_written) {
    std::uint64_t size = 0;
    std::vector<Range> keep;
    if (!copied_as_written) {
      AddRange(r.new_at, r.new_at + r.new_size, &keep);
    }
    e = SizeOf(file, &size);
    // Cut shorter than the new text by another program: left as it is.
    if (e == 0 && size < r.new_size) {
      return FailureOf(FailedStep::kEditedDuringWrite);
    }
    if (e == 0) e = ForeignBytes(file, r, r.new_size, size, &keep);
    if (e == 0) e = KeepIfAny(page, keep, size, &kept);
    if (e != 0) return FailureWith(FailedStep::kEditNotKept, "", e);
  }
  if ((e = CutAt(file, r.new_size)) != 0) {
    return FailureWith(FailedStep::kInPlaceLeftToFinish, "", e);
  }
  if ((e = Flush(file)) != 0) {
    return FailureWith(FailedStep::kInPlaceNotFlushedNew, "", e);
  }
  if (!kept.empty()) return FailureOf(FailedStep::kEditedDuringWrite, kept);
  return Failure();
}

}  // namespace

Failure ReplacePage(Page* page, Replacement* fresh) {
  const Failure changed = StillTheSamePage(page, fresh->renamed);
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
