// The decision of a run that finds a page written in place, against a plain
// model of the write: the page as bytes, the write and the recovery as the
// same steps the program takes, each stopped after any byte. Whatever the
// stop, the next run's decision leaves the page as its old or its new text,
// and so does a second stop inside that recovery.
#include "run/in_place.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "run/checksum.h"

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

// The write's steps, from old to fresh.
std::vector<Step> WriteSteps(const std::string& old, const std::string& fresh) {
  InPlaceRecord r{old.size(), NewTextAt(old.size(), fresh.size()), fresh.size(),
                  Sum(fresh)};
  return {{RecordAt(r), RecordText(r), false, true},
          {r.new_at, fresh},
          {0, fresh},
          {fresh.size(), "", true}};
}

// What the next run decides about |page|, as FindUnfinishedWrite() reads it.
Pending DecideOn(const std::string& page, InPlaceRecord* record) {
  std::optional<InPlaceRecord> found;
  if (page.size() >= RecordSize()) {
    found = ParseRecord(page.substr(page.size() - RecordSize()));
  }
  bool whole = false;
  if (found && found->new_at + found->new_size <= page.size()) {
    whole = Sum(page.substr(found->new_at, found->new_size)) == found->new_sum;
  }
  if (found) *record = *found;
  return Decide(page.size(), found, whole);
}

// The recovery's steps for a page with |r|.
std::vector<Step> RecoverySteps(const std::string& page, Pending pending,
                                const InPlaceRecord& r) {
  if (pending == Pending::kUndo) return {{r.old_size, "", true}};
  return {{0, page.substr(r.new_at, r.new_size)}, {r.new_size, "", true}};
}

// Every stop of the write, then every stop of the recovery that follows.
void ExpectHealed(const std::string& old, const std::string& fresh) {
  const std::vector<Step> write = WriteSteps(old, fresh);
  const std::uint64_t length = Length(write);
  for (std::uint64_t done = 0; done <= length; ++done) {
    const std::string left = Apply(old, write, done);
    InPlaceRecord r;
    const Pending pending = DecideOn(left, &r);
    SCOPED_TRACE("write stopped after " + std::to_string(done) + " bytes");
    if (pending == Pending::kNone) {
      ASSERT_TRUE(left == old || left == fresh);
      continue;
    }
    ASSERT_NE(pending, Pending::kEdited);
    const std::vector<Step> recovery = RecoverySteps(left, pending, r);
    const std::uint64_t recovery_length = Length(recovery);
    // Every stop of a short recovery; some eight of a long one, the last
    // ones included.
    const std::uint64_t stride =
        std::max<std::uint64_t>(1, recovery_length / 8);
    for (std::uint64_t again = 0; again <= recovery_length;
         again += again + stride > recovery_length && again < recovery_length
                      ? recovery_length - again
                      : stride) {
      const std::string healed = Apply(left, recovery, again);
      InPlaceRecord r2;
      const Pending second = DecideOn(healed, &r2);
      if (second == Pending::kNone) {
        ASSERT_TRUE(healed == (pending == Pending::kFinish ? fresh : old));
        continue;
      }
      // Stopped inside the recovery: the next run takes the same way.
      ASSERT_EQ(second, pending);
      const std::vector<Step> rest = RecoverySteps(healed, second, r2);
      const std::string end = Apply(healed, rest, Length(rest));
      ASSERT_TRUE(end == (pending == Pending::kFinish ? fresh : old));
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
  const std::string left = Apply(old, WriteSteps(old, fresh), 501);
  InPlaceRecord r;
  ASSERT_EQ(DecideOn(left, &r), Pending::kFinish);
  // Text added after the record, or the page cut short: changed since.
  EXPECT_EQ(DecideOn(left + "<p>ajout</p>\r\n", &r), Pending::kNone);
  EXPECT_EQ(Decide(left.size() + 1, r, true), Pending::kEdited);
  EXPECT_EQ(Decide(left.size() - 1, r, true), Pending::kEdited);
  // Any byte of the record changed: no record.
  std::string record = RecordText(r);
  for (std::size_t i = 0; i < record.size(); ++i) {
    std::string changed = record;
    changed[i] = changed[i] == '0' ? '1' : '0';
    EXPECT_FALSE(ParseRecord(changed).has_value()) << "byte " << i;
  }
  // A well-formed record whose numbers are not a write's.
  InPlaceRecord odd = r;
  odd.new_at = r.new_at + 1;
  EXPECT_FALSE(ParseRecord(RecordText(odd)).has_value());
  EXPECT_EQ(ParseRecord(record)->new_sum, r.new_sum);
}

}  // namespace
