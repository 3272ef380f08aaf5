#include "text/text_file.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tests/test_util.h"
#include "tests/text_model.h"
#include "text/line_ends.h"

namespace {

// Reads every piece of |path| with a reader of |capacity| bytes.
std::vector<std::string> ReadPiecesOfFile(
    const std::string& path, std::size_t capacity = kTextBufferSize) {
  File file;
  EXPECT_EQ(OpenForReading(path, &file), OpenReadResult::kOk);
  TextReader reader;
  StartReading(std::move(file), &reader, capacity);
  std::vector<std::string> pieces;
  std::string_view piece;
  PieceResult got;
  while ((got = ReadPiece(&reader, &piece)) == PieceResult::kPiece) {
    pieces.emplace_back(piece);
  }
  EXPECT_EQ(got, PieceResult::kEnd);
  return pieces;
}

class TextFileTest : public ::testing::Test {
 protected:
  std::vector<std::string> ReadPieces(const std::string& raw,
                                      std::size_t capacity = kTextBufferSize) {
    WriteBytes(dir_ / "in", raw);
    return ReadPiecesOfFile(dir_ / "in", capacity);
  }
  std::string Written(const std::vector<std::string>& texts,
                      std::size_t capacity = kTextBufferSize) {
    File file;
    EXPECT_TRUE(OpenForWriting(dir_ / "out", &file));
    TextWriter writer;
    StartWriting(std::move(file), &writer, capacity);
    for (const std::string& t : texts) EXPECT_TRUE(WriteText(&writer, t));
    EXPECT_TRUE(FinishWriting(&writer));
    return ReadBytes(dir_ / "out");
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
    std::size_t capacity = kPieceMax + 1 + rng() % 700;
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
// every way a CR LF pair, a lone CR or a lone LF falls against the reader's
// buffer and the writer's buffer, and after pieces already read. The first
// rounds put the CR of a CR LF at the end of one read and the LF at the
// start of the next.
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
    WriteBytes(dir_ / "in", raw);
    File in, out;
    ASSERT_EQ(OpenForReading(dir_ / "in", &in), OpenReadResult::kOk);
    ASSERT_TRUE(OpenForWriting(dir_ / "out", &out));
    TextReader reader;
    TextWriter writer;
    StartReading(std::move(in), &reader, read_capacity);
    StartWriting(std::move(out), &writer, write_capacity);
    std::string_view piece;
    for (std::size_t i = 0; i < pieces_first; ++i) {
      if (ReadPiece(&reader, &piece) == PieceResult::kPiece) {
        ASSERT_TRUE(WriteText(&writer, piece));
      }
    }
    ASSERT_EQ(CopyText(&reader, &writer), CopyEnd::kDone);
    ASSERT_TRUE(FinishWriting(&writer));
    ASSERT_EQ(ReadBytes(dir_ / "out"), LoneLfToCrLf(raw)) << round;
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
}

TEST(ContainsBytesTest, FindsMarkersAnywhere) {
  EXPECT_TRUE(ContainsBytes("<tr>", "<tr>"));
  EXPECT_TRUE(ContainsBytes("  <td><tr>\n", "<tr>"));
  EXPECT_TRUE(ContainsBytes("<<tr>", "<tr>"));
  EXPECT_TRUE(ContainsBytes("x..///y", "..///"));
  EXPECT_TRUE(ContainsBytes(".....///", "..///"));
  EXPECT_TRUE(ContainsBytes(std::string("\0son.gif", 8), "son.gif"));
  EXPECT_FALSE(ContainsBytes("<tr", "<tr>"));
  EXPECT_FALSE(ContainsBytes("<TR>", "<tr>"));
  EXPECT_FALSE(ContainsBytes("<tr >", "<tr>"));
  EXPECT_FALSE(ContainsBytes("", "<tr>"));
  EXPECT_FALSE(ContainsBytes("son.gi", "son.gif"));
  // The search stops at the view's end, not at the bytes behind it.
  std::string_view cut = std::string_view("abc<tr>").substr(0, 6);
  EXPECT_FALSE(ContainsBytes(cut, "<tr>"));
  EXPECT_TRUE(ContainsBytes("a", "a"));
  EXPECT_FALSE(ContainsBytes("b", "a"));
}

// The vector and the portable line-end change give the same bytes, those
// of the rule, for every length around the 16- and 32-byte steps and every
// position of CRs and LFs, with and without a CR before.
TEST(LineEndsTest, VectorAndPortableVersionsAgree) {
  std::mt19937 rng(11);
  const char alphabet[] = {'\r', '\n', 'a', '\0'};
  for (int round = 0; round < 4000; ++round) {
    std::string in(rng() % 100, 'a');
    for (char& ch : in) ch = alphabet[rng() % 4];
    const bool cr_before = rng() % 2 == 1;
    // The rule over the text with the CR before as its first byte.
    const std::string before = cr_before ? "\r" : "";
    const std::string expected =
        LoneLfToCrLf(before + in).substr(before.size());
    std::string vector(2 * in.size() + 16, '?');
    std::string portable(2 * in.size() + 16, '?');
    vector.resize(
        AddCrBeforeLoneLf(in.data(), in.size(), cr_before, vector.data()));
    portable.resize(AddCrBeforeLoneLfPortable(in.data(), in.size(), cr_before,
                                              portable.data()));
    ASSERT_EQ(vector, expected) << round;
    ASSERT_EQ(portable, expected) << round;
  }
}

// The vector and the portable marker search agree, around the 16-byte
// steps, for each marker, in texts made of the markers' own bytes.
TEST(SearchTest, VectorAndPortableVersionsAgree) {
  std::mt19937 rng(13);
  const std::string_view markers[] = {"<tr>", "</td>", "son.gif", "..///", "a"};
  const char alphabet[] = "<tr>/dson.gif.\n";
  for (int round = 0; round < 20000; ++round) {
    std::string text(rng() % 70, 'x');
    for (char& ch : text) ch = alphabet[rng() % (sizeof alphabet - 1)];
    for (std::string_view marker : markers) {
      const char* found = FindBytes(text, marker);
      const char* reference = FindBytesPortable(text, marker);
      std::size_t expected = text.find(marker);
      ASSERT_EQ(found, reference) << text << " " << marker;
      ASSERT_EQ(found == nullptr
                    ? std::string::npos
                    : static_cast<std::size_t>(found - text.data()),
                expected);
    }
  }
}

// A folder is not read at all; a read that the system refuses is reported
// as an error, not taken for the end of the file. The file here is open for
// writing only, so that reading it fails on every platform.
TEST_F(TextFileTest, ReadErrorIsReported) {
  File folder;
  EXPECT_EQ(OpenForReading(dir_.path.string(), &folder),
            OpenReadResult::kIsDirectory);
  File file;
  ASSERT_TRUE(OpenForWriting(dir_ / "in", &file));
  TextReader reader;
  StartReading(std::move(file), &reader);
  std::string_view piece;
  EXPECT_EQ(ReadPiece(&reader, &piece), PieceResult::kError);
}

TEST_F(TextFileTest, OpenFailures) {
  File file;
  EXPECT_EQ(OpenForReading(dir_ / "absent", &file),
            OpenReadResult::kCannotOpen);
  EXPECT_FALSE(OpenForWriting(dir_ / "absent/x", &file));
  int error = 0;
  ASSERT_TRUE(CreateExclusive(dir_ / "new", &file, &error));
  EXPECT_TRUE(CloseFile(&file));
  EXPECT_FALSE(CreateExclusive(dir_ / "new", &file, &error));
  EXPECT_TRUE(NameTaken(error));
}

}  // namespace
