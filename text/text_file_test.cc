#include "text/text_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "tests/test_util.h"
#include "tests/text_model.h"
#include "text/line_ends.h"

namespace {

// Reads every piece of |reader|.
std::vector<std::string> AllPieces(TextReader* reader) {
  std::vector<std::string> pieces;
  std::string_view piece;
  PieceResult got;
  while ((got = reader->ReadPiece(&piece)) == PieceResult::kPiece) {
    pieces.emplace_back(piece);
  }
  EXPECT_EQ(got, PieceResult::kEnd);
  return pieces;
}

class TextFileTest : public ::testing::Test {
 protected:
  // The pieces of |raw|, read |capacity| bytes at a time.
  std::vector<std::string> ReadPieces(const std::string& raw,
                                      std::size_t capacity = kTextBufferSize) {
    TextReader reader(raw, capacity);
    return AllPieces(&reader);
  }
  std::string Written(const std::vector<std::string>& texts,
                      std::size_t capacity = kTextBufferSize) {
    std::string out;
    TextWriter writer(&out, capacity);
    for (const std::string& t : texts) EXPECT_TRUE(writer.WriteText(t));
    EXPECT_TRUE(writer.WriteOutBuffer());
    return out;
  }
  ScratchDir dir_;
};

using Strings = std::vector<std::string>;

TEST_F(TextFileTest, PiecesAtTheLengthLimit) {
  std::string a510(510, 'a'), a511(511, 'a'), a512(512, 'a');
  EXPECT_EQ(ReadPieces(a510 + "\n"), Strings({a510 + "\n"}));
  EXPECT_EQ(ReadPieces(a511 + "\n"), Strings({a511, "\n"}));
  EXPECT_EQ(ReadPieces(a512 + "\n"), Strings({a511, "a\n"}));
  // CR LF counts as one byte of the translated text.
  EXPECT_EQ(ReadPieces(a510 + "\r\n"), Strings({a510 + "\n"}));
  EXPECT_EQ(ReadPieces(a511 + "\r\n"), Strings({a511, "\n"}));
  EXPECT_EQ(ReadPieces(a512), Strings({a511, "a"}));
  EXPECT_EQ(ReadPieces(std::string(1533, 'b')),
            Strings({std::string(511, 'b'), std::string(511, 'b'),
                     std::string(511, 'b')}));
}

TEST_F(TextFileTest, LineEndsAndSpecialBytes) {
  EXPECT_EQ(ReadPieces(""), Strings());
  EXPECT_EQ(ReadPieces("un\r\ndeux\ntrois"),
            Strings({"un\n", "deux\n", "trois"}));
  EXPECT_EQ(ReadPieces("a\r\r\nb"), Strings({"a\r\n", "b"}));
  EXPECT_EQ(ReadPieces("a\rb\r"), Strings({"a\rb\r"}));
  EXPECT_EQ(ReadPieces("\n\n"), Strings({"\n", "\n"}));
  std::string binary("x\0y\x1Az\n\x1A", 7);
  EXPECT_EQ(ReadPieces(binary),
            Strings({std::string("x\0y\x1Az\n", 6), "\x1A"}));
}

// Every way a CR LF pair can fall against the reader's buffer and the piece
// limit, checked against the rules applied to the whole text at once.
TEST_F(TextFileTest, MatchesTheRulesForAnyTextAndBuffer) {
  // With a buffer of 512 bytes, the CR is the last byte of the first read.
  for (std::size_t before = 505; before < 520; ++before) {
    std::string raw = std::string(before, 'c') + "\r\nfin";
    EXPECT_EQ(ReadPieces(raw, kPieceMax + 1), PiecesOf(CrLfToLf(raw)))
        << before;
  }
  std::mt19937 rng(12345);
  const char alphabet[] = {'a', '\r', '\n', '\0', '\x1A'};
  for (int round = 0; round < 300; ++round) {
    std::string raw;
    std::size_t size = rng() % 3000;
    bool long_lines = round % 2 == 0;
    for (std::size_t i = 0; i < size; ++i) {
      unsigned pick = rng() % (long_lines ? 400 : 8);
      raw += pick < 5 ? alphabet[pick] : 'a';
    }
    std::size_t capacity = 1 + rng() % 1200;
    ASSERT_EQ(ReadPieces(raw, capacity), PiecesOf(CrLfToLf(raw))) << round;
  }
}

TEST_F(TextFileTest, WritingTurnsEachLfIntoCrLf) {
  EXPECT_EQ(Written({"a\nb\n", "\n", "c\rd"}), "a\r\nb\r\n\r\nc\rd");
  EXPECT_EQ(Written({std::string("\0\x1A\n", 3)}),
            std::string("\0\x1A\r\n", 4));
  // A CR LF pair may straddle the buffer's end.
  std::string long_text(1000, 'x');
  long_text[4] = '\n';
  EXPECT_EQ(Written({long_text}, 5), LoneLfToCrLf(long_text));
}

// The whole-file copy must give the bytes of the piece-by-piece copy, for
// every way a CR LF pair, a lone CR or a lone LF falls against the reads and
// the writer's buffer, and after pieces already read; so must the copy made
// while reading. The first rounds put the CR of a CR LF at the end of one
// read and the LF at the start of the next.
TEST_F(TextFileTest, CopyTextMatchesPiecesWrittenBack) {
  std::mt19937 rng(777);
  const char alphabet[] = {'a', '\r', '\n', '\0', '\x1A'};
  const int straddling = 15;
  for (int round = 0; round < straddling + 300; ++round) {
    std::string raw;
    std::size_t read_capacity, write_capacity = 64, pieces_first = 0;
    if (round < straddling) {
      raw =
          std::string(505 + static_cast<std::size_t>(round), 'c') + "\r\nfin\n";
      read_capacity = kPieceMax + 1;
    } else {
      std::size_t size = rng() % 3000;
      for (std::size_t i = 0; i < size; ++i) {
        unsigned pick = rng() % (round % 2 == 0 ? 400 : 8);
        raw += pick < 5 ? alphabet[pick] : 'a';
      }
      read_capacity = kPieceMax + 1 + rng() % 700;
      write_capacity = 2 + rng() % 600;
      pieces_first = rng() % 3;
    }
    std::string out, copied;
    TextReader reader(raw, read_capacity);
    TextWriter writer(&out, write_capacity);
    TextWriter copy(&copied, write_capacity);
    reader.CopyWhileReading(&copy);
    std::string_view piece;
    for (std::size_t i = 0; i < pieces_first; ++i) {
      if (reader.ReadPiece(&piece) == PieceResult::kPiece) {
        ASSERT_TRUE(writer.WriteText(piece));
      }
    }
    ASSERT_EQ(reader.CopyText(&writer), TextEnd::kOk);
    ASSERT_TRUE(writer.WriteOutBuffer());
    ASSERT_TRUE(copy.WriteOutBuffer());
    ASSERT_EQ(out, LoneLfToCrLf(raw)) << round;
    ASSERT_EQ(copied, LoneLfToCrLf(raw)) << round;
  }
}

TEST_F(TextFileTest, PiecesWrittenBackGiveTheTextWithCrLf) {
  std::string raw = "a\r\nb\nc\r\r\n" + std::string(1200, 'd') + "\r\n\n\n\re";
  std::vector<std::string> pieces = ReadPieces(raw);
  for (std::size_t capacity : {std::size_t{2}, std::size_t{3}, std::size_t{511},
                               std::size_t{512}, kTextBufferSize}) {
    EXPECT_EQ(Written(pieces, capacity), LoneLfToCrLf(raw)) << capacity;
  }
}

TEST_F(TextFileTest, LongTextsPassTheBufferWhole) {
  // Texts longer than the buffer go out directly, in order with what the
  // buffer already holds.
  std::string big(5000, 'x');
  big[2500] = '\n';
  EXPECT_EQ(Written({"ab", big, "c\n", std::string(700, 'y')}, 512),
            "ab" + LoneLfToCrLf(big) + "c\r\n" + std::string(700, 'y'));
  // To a file, flushed behind as it goes past each step, then to the disk.
  WriteBytes(dir_ / "big", "");
  File file;
  bool writable = false;
  ASSERT_TRUE(OpenWritableIfAllowed(dir_ / "big", &file, &writable));
  ASSERT_TRUE(writable);
  TextWriter writer(std::move(file));
  writer.FlushBehind();
  const std::string step(kFlushBehindStep / 4 + 3, 'z');
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(writer.WriteStraight(step));
  ASSERT_TRUE(writer.WriteUnchanged("fin"));
  ASSERT_TRUE(writer.FinishToDisk());
  EXPECT_EQ(ReadBytes(dir_ / "big"), step + step + step + step + step + "fin");
}

// The vector and the portable line-end change give the same bytes, those
// of the rule, for every length around the 16- and 32-byte steps and every
// position of CRs and LFs, with and without a CR before.
TEST(LineEndsTest, VectorAndPortableVersionsAgree) {
  std::mt19937 rng(11);
  const char alphabet[] = {'\r', '\n', 'a', '\0'};
  for (int round = 0; round < 4000; ++round) {
    std::string in(rng() % 130, 'a');
    for (char& ch : in) ch = alphabet[rng() % 4];
    const bool cr_before = rng() % 2 == 1;
    // Every other text has few lone LFs, or none, as a CR LF file has.
    for (std::size_t i = 0; round % 2 == 1 && i < in.size(); ++i) {
      const bool after_cr = i > 0 ? in[i - 1] == '\r' : cr_before;
      if (in[i] == '\n' && !after_cr && rng() % 16 != 0) in[i] = 'a';
    }
    // The rule over the text with the CR before as its first byte.
    const std::string before = cr_before ? "\r" : "";
    const std::string expected =
        LoneLfToCrLf(before + in).substr(before.size());
    std::string vector(2 * in.size() + 32, '?');
    std::string portable(2 * in.size() + 32, '?');
    vector.resize(
        AddCrBeforeLoneLf(in.data(), in.size(), cr_before, vector.data()));
    portable.resize(AddCrBeforeLoneLfPortable(in.data(), in.size(), cr_before,
                                              portable.data()));
    ASSERT_EQ(vector, expected) << round;
    ASSERT_EQ(portable, expected) << round;
    std::size_t lone = 0;
    while (
        lone < in.size() &&
        (in[lone] != '\n' || (lone > 0 ? in[lone - 1] == '\r' : cr_before))) {
      ++lone;
    }
    ASSERT_EQ(FindLoneLf(in.data(), in.size(), cr_before), lone) << round;
    ASSERT_EQ(FindLoneLfPortable(in.data(), in.size(), cr_before), lone)
        << round;
    const std::size_t lf = std::min(in.find('\n'), in.size());
    ASSERT_EQ(FindLf(in.data(), in.size()), lf) << round;
    ASSERT_EQ(FindLfPortable(in.data(), in.size()), lf) << round;
    const std::size_t last = std::min(in.rfind('\n'), in.size());
    ASSERT_EQ(FindLastLf(in.data(), in.size()), last) << round;
    ASSERT_EQ(FindLastLfPortable(in.data(), in.size()), last) << round;
  }
}

// A folder is not read at all; a read that the system refuses is reported
// as an error, not taken for the end of the file. The file here is closed
// under the reader, so that reading it fails on every platform.
TEST_F(TextFileTest, ReadErrorIsReported) {
  File folder;
  EXPECT_EQ(OpenForReading(dir_.path.string(), &folder).kind,
            OpenReadResult::kIsDirectory);
  File file;
  ASSERT_TRUE(CreateExclusive(dir_ / "in", &file));
  // Closed, its handle is gone: the system refuses to read it.
  ASSERT_TRUE(CloseFile(&file));
  TextReader reader(std::move(file));
  std::string_view piece;
  EXPECT_EQ(reader.ReadPiece(&piece), PieceResult::kError);
  // A copy made while reading that cannot be written (its writer has no
  // file open) stops the reading, and the writer keeps its failure.
  TextWriter copy(File(), 16);
  const std::string text(4 * kViewKept, 'a');
  TextReader source(text, 16);
  source.CopyWhileReading(&copy);
  EXPECT_EQ(source.ReadPiece(&piece), PieceResult::kError);
  EXPECT_TRUE(copy.failed());
  EXPECT_FALSE(copy.WriteUnchanged("x"));
  copy.Close();
  // Asked for more while its view is longer than kViewKept, the reader has
  // no room for a read: an error, not the end of the text.
  TextReader full(text, 1);
  bool read = true;
  while (read && !full.AtEnd()) read = full.ReadMore();
  EXPECT_FALSE(read);
}

TEST_F(TextFileTest, OpenFailures) {
  File file;
  EXPECT_EQ(OpenForReading(dir_ / "absent", &file).kind,
            OpenReadResult::kCannotOpen);
  EXPECT_FALSE(CreateExclusive(dir_ / "absent/x", &file));
  ASSERT_TRUE(CreateExclusive(dir_ / "new", &file));
  EXPECT_TRUE(CloseFile(&file));
  EXPECT_TRUE(NameTaken(CreateExclusive(dir_ / "new", &file).error));
}

}  // namespace
