// The decision of a run that finds a page written in place, against a plain
// model of the write: the page as bytes, the write and the recovery as the
// same steps the program takes, each stopped after any byte. Whatever the
// stop, the next run's decision leaves the page as its old or its new text,
// and so does a second stop inside that recovery.
#include "run/in_place.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "tests/test_util.h"
#include "text/checksum.h"

namespace {

std::uint64_t Sum(const std::string& bytes) {
  Checksum checksum;
  checksum.Add(bytes.data(), bytes.size());
  return checksum.Value();
}

// One step of a write: bytes put at an offset, or a cut. The record is
// written by one call of less than a block, from a block's start, into a
// part of the file that had no bytes: it is there whole or not at all.
struct Step {
  std::uint64_t at = 0;
  std::string bytes;
  bool cut = false;
  bool whole = false;  ///< Written whole or not at all.
};

// Applies the first |done| units of |steps| to |page|, each byte written
// one unit, and each cut or whole write one: a write stopped there.
std::string Apply(std::string page, const std::vector<Step>& steps,
                  std::uint64_t done) {
  for (const Step& s : steps) {
    if (s.cut) {
      if (done == 0) return page;
      --done;
      page.resize(s.at, '\0');
      continue;
    }
    const std::uint64_t n = s.whole
                                ? (done > 0 ? s.bytes.size() : 0)
                                : std::min<std::uint64_t>(done, s.bytes.size());
    if (s.whole && done > 0) done = done - 1 + n;
    done -= n;
    if (n < s.bytes.size() && n == 0) return page;
    if (page.size() < s.at + n) page.resize(s.at + n, '\0');
    page.replace(s.at, n, s.bytes, 0, n);
    if (n < s.bytes.size()) return page;
  }
  return page;
}

std::uint64_t Length(const std::vector<Step>& steps) {
  std::uint64_t total = 0;
  for (const Step& s : steps) total += s.cut || s.whole ? 1 : s.bytes.size();
  return total;
}

// The write's steps, from old to fresh: the first record, the new text
// past the old end and the last record (the space that the start will
// fill taken, which changes no byte), the start, the cut.
std::vector<Step> WriteSteps(const std::string& old, const std::string& fresh) {
  InPlaceRecord r{old.size(), NewTextAt(old.size(), fresh.size()), fresh.size(),
                  0, Sum(old)};
  const std::string first = RecordText(r);
  r.new_sum = Sum(fresh);
  return {{RecordAt(r), first, false, true},
          {r.new_at, fresh},
          {RecordAt(r) + 4096, RecordText(r), false, true},
          {0, fresh},
          {fresh.size(), "", true}};
}

// What the next run decides about |page|, as it reads it from a file.
Pending DecideOn(const std::string& page, UnfinishedWrite* found) {
  static const ScratchDir dir;
  WriteBytes(dir / "page.htm", page);
  File file;
  EXPECT_TRUE(OpenForReading(dir / "page.htm", &file));
  EXPECT_EQ(FindUnfinishedWrite(&file, page.size(), found), 0);
  return found->pending;
}

// The recovery's steps for a page.
std::vector<Step> RecoverySteps(const std::string& page,
                                const UnfinishedWrite& w) {
  const InPlaceRecord& r = w.record;
  switch (w.pending) {
    case Pending::kFinish:
      return {{0, page.substr(r.new_at, r.new_size)}, {r.new_size, "", true}};
    case Pending::kCut:
      return {{r.new_size, "", true}};
    case Pending::kUndo:
      return {{r.old_size, "", true}};
    default:
      return {{w.lost_end, "", true}};
  }
}

// A power cut that keeps a file's new size but not its new bytes: the
// write stopped after |done| units, and the rest of the step that it
// stopped in reads as zeros, the size it gives the file kept.
std::string ApplyWithZeros(const std::string& old,
                           const std::vector<Step>& steps, std::uint64_t done) {
  std::string page = Apply(old, steps, done);
  std::uint64_t units = 0;
  for (const Step& s : steps) {
    units += s.cut || s.whole ? 1 : s.bytes.size();
    if (units <= done || s.cut) continue;
    if (page.size() < s.at + s.bytes.size()) {
      page.resize(s.at + s.bytes.size(), '\0');
    }
    break;
  }
  return page;
}

// Every stop of the write, plain or leaving zeros, then every stop of the
// recovery that follows: the page ends as its old or its new text.
void ExpectHealed(const std::string& old, const std::string& fresh) {
  const std::vector<Step> write = WriteSteps(old, fresh);
  // Around the start and the end of each step, every stop; between them,
  // one in 131.
  std::set<std::uint64_t> stops;
  std::uint64_t edge = 0;
  for (const Step& step : write) {
    const std::uint64_t next =
        edge + (step.cut || step.whole ? 1 : step.bytes.size());
    for (std::uint64_t at = edge; at <= next; ++at) {
      if (at < edge + 9 || at + 9 > next || at % 131 == 0) stops.insert(at);
    }
    edge = next;
  }
  for (std::uint64_t done : stops) {
    for (bool zeros : {false, true}) {
      const std::string left =
          zeros ? ApplyWithZeros(old, write, done) : Apply(old, write, done);
      UnfinishedWrite w;
      const Pending pending = DecideOn(left, &w);
      SCOPED_TRACE("write stopped after " + std::to_string(done) + " bytes" +
                   (zeros ? ", zeros kept" : ""));
      if (pending == Pending::kNone) {
        ASSERT_TRUE(left == old || left == fresh);
        continue;
      }
      ASSERT_NE(pending, Pending::kEdited);
      const bool forward =
          pending == Pending::kFinish || pending == Pending::kCut;
      const std::vector<Step> recovery = RecoverySteps(left, w);
      const std::uint64_t recovery_length = Length(recovery);
      const std::uint64_t stride =
          std::max<std::uint64_t>(1, recovery_length / 8);
      for (std::uint64_t again = 0; again <= recovery_length;
           again += again + stride > recovery_length && again < recovery_length
                        ? recovery_length - again
                        : stride) {
        const std::string healed = Apply(left, recovery, again);
        UnfinishedWrite w2;
        const Pending second = DecideOn(healed, &w2);
        if (second == Pending::kNone) {
          ASSERT_TRUE(healed == (forward ? fresh : old));
          continue;
        }
        // Stopped inside the recovery: the next run ends the same way.
        const std::vector<Step> rest = RecoverySteps(healed, w2);
        const std::string end = Apply(healed, rest, Length(rest));
        ASSERT_TRUE(end == (forward ? fresh : old));
      }
    }
  }
}

std::string Text(std::size_t size, char seed) {
  std::string text(size, '\0');
  for (std::size_t i = 0; i < size; ++i) {
    text[i] = "<tr>\r\n</td>son.gif..///"[(i * 7 + seed) % 23];
  }
  return text;
}

TEST(InPlace, EveryStopOfTheWriteAndOfItsRecoveryIsHealed) {
  // Longer and shorter than the old text, equal, empty, and with the new
  // text ending at a block's end, or one byte past it.
  const std::size_t sizes[][2] = {{0, 5},       {5, 0},     {37, 37},
                                  {100, 230},   {230, 100}, {2000, 2048},
                                  {2049, 2048}, {1, 4096}};
  for (const auto& size : sizes) {
    SCOPED_TRACE(std::to_string(size[0]) + " -> " + std::to_string(size[1]));
    ExpectHealed(Text(size[0], 'a'), Text(size[1], 'b'));
    if (HasFatalFailure()) return;
  }
}

TEST(InPlace, ARecordOnlyCountsWhereTheWriteLeavesIt) {
  const std::string old = Text(300, 'a'), fresh = Text(400, 'b');
  const std::vector<Step> write = WriteSteps(old, fresh);
  const std::string left = Apply(old, write, 1 + 400 + 1);
  UnfinishedWrite w;
  ASSERT_EQ(DecideOn(left, &w), Pending::kFinish);
  // A line appended after the record: still finished, the line kept aside.
  EXPECT_EQ(DecideOn(left + "<p>ajout</p>\r\n", &w), Pending::kFinish);
  // Its line ends converted, or a byte taken out before it: refused.
  std::string converted;
  for (char c : left)
    converted += c == '\n' ? std::string("\r\n") : std::string(1, c);
  EXPECT_EQ(DecideOn(converted, &w), Pending::kEdited);
  EXPECT_EQ(DecideOn(left.substr(1), &w), Pending::kEdited);
  // The new text past the old end changed, the start then changed too.
  std::string damaged = left;
  damaged[w.record.new_at + 7] ^= 1;
  EXPECT_EQ(DecideOn(damaged, &w), Pending::kUndo);
  damaged[3] ^= 1;
  EXPECT_EQ(DecideOn(damaged, &w), Pending::kEdited);
  // Any byte of the record changed: no record, and no lost one either.
  const std::string record = RecordText(w.record);
  for (std::size_t i = 0; i < record.size(); ++i) {
    std::string changed = record;
    changed[i] = changed[i] == '0' ? '1' : '0';
    EXPECT_FALSE(ParseRecord(changed).has_value()) << "byte " << i;
  }
  // A well-formed record whose numbers are not a write's.
  InPlaceRecord odd = w.record;
  odd.new_at = w.record.new_at + 1;
  EXPECT_FALSE(ParseRecord(RecordText(odd)).has_value());
  // An earlier version's record, without the old text's checksum.
  InPlaceRecord earlier = w.record;
  earlier.old_known = false;
  EXPECT_FALSE(ParseRecord(RecordText(earlier))->old_known);
  // A page that merely ends in zeros, or with a record's first words at a
  // block's start but no block of zeros before them, is a page.
  EXPECT_EQ(DecideOn(old + std::string(4000, '\0'), &w), Pending::kNone);
  EXPECT_EQ(DecideOn(Text(8192, 'c') + "\n<!-- brantix-en-cours ", &w),
            Pending::kNone);
}

}  // namespace
