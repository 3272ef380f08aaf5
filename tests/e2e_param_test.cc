// The parameter file "param.txt" (mode "-1"), seen through the page that the
// program rewrites from it.
#include <string>

#include "tests/e2e.h"

namespace {

const char kIncomplete[] = "param.txt incomplet : il faut six lignes";
const char kOutOfRange[] = "numero de colonne hors limites";

class ParamFileTest : public SmallTableTest {
 protected:
  RunResult RunWith(const std::string& param) {
    Put("page.htm", SmallTable());
    Put("param.txt", param);
    return Run({"page.htm", "-1"}, "\n");
  }
};

// Lines 2 to 6 of a parameter file.
const std::string kOtherLines = Params("").substr(1);

TEST_F(ParamFileTest, FirstLineGivesTheLeadingNumber) {
  const struct {
    const char* line;
    int column;
  } cases[] = {
      {"3 colonnes", 3}, {"2", 2},   {"\t\t2", 2},
      {"  +4x", 4},      {"abc", 0}, {"", 0},
      {"-2", -2},        {"- 3", 0}, {"-2147483648", -2147483647 - 1},
  };
  for (const auto& c : cases) {
    RunResult r = RunWith(c.line + std::string("\n") + kOtherLines);
    SCOPED_TRACE(c.line);
    ExpectRewritten(r, c.column);
  }
  // One UTF-8 byte-order mark at the start of the file is passed over; a
  // second one, a cut one, or a UTF-16 mark after it belong to the line.
  const std::string mark = "\xEF\xBB\xBF";
  const struct {
    std::string line;
    int column;
  } marked[] = {
      {mark + "2", 2},          {mark + " 3 colonnes", 3},
      {mark + mark + "2", 0},   {mark.substr(0, 2) + "2", 0},
      {mark + "\xFF\xFE 2", 0}, {"\xFE 2", 0},
  };
  for (const auto& c : marked) {
    RunResult r = RunWith(c.line + "\n" + kOtherLines);
    SCOPED_TRACE(c.line);
    ExpectRewritten(r, c.column);
  }
  // The largest number: the heading row's scan runs to the end of the page.
  RunResult r = RunWith("2147483647\n" + std::string(kOtherLines));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(Get("page.htm"), EveryLfToCrLf(SmallTable()));
  for (const char* line :
       {"2147483648", "-2147483649", "99999999999999999999"}) {
    ExpectRefused(RunWith(line + std::string("\n") + kOtherLines), kOutOfRange);
  }
}

TEST_F(ParamFileTest, LineEnds) {
  // CR LF lines give the same texts as LF lines.
  ExpectRewritten(RunWith("2\r\nEntete\r\nvideo.gif\r\nson2.gif\r\ncarte\r\n"
                          "lien.htm\r\n"),
                  2);
  // A sixth line without a line end is a whole line.
  ExpectRewritten(RunWith("2\nEntete\nvideo.gif\nson2.gif\ncarte\nlien.htm"),
                  2);
  // Lines after the sixth are not read, however long.
  ExpectRewritten(RunWith("2\n" + std::string(kOtherLines) + "septieme\n" +
                          std::string(3000, '7') + "\nhuitieme"),
                  2);
}

// A UTF-16 file is refused, whichever its byte order, rather than read as
// names full of NULs.
TEST_F(ParamFileTest, Utf16IsRefused) {
  const char kUtf16[] =
      "param.txt est en UTF-16 : enregistrez-le en UTF-8 ou en ANSI";
  std::string little = "\xFF\xFE", big = "\xFE\xFF";
  for (char c : Params("2")) {
    little += std::string{c, '\0'};
    big += std::string{'\0', c};
  }
  for (const std::string& param : {little, big, little.substr(0, 2),
                                   big.substr(0, 2) + "2\n" + kOtherLines,
                                   little.substr(2), big.substr(2)}) {
    SCOPED_TRACE(param.substr(0, 2));
    ExpectRefused(RunWith(param), kUtf16);
  }
}

TEST_F(ParamFileTest, FewerThanSixLinesAreRefused) {
  ExpectRefused(RunWith(""), kIncomplete);
  ExpectRefused(RunWith("2\n"), kIncomplete);
  ExpectRefused(RunWith("2\nEntete\nvideo.gif\nson2.gif\ncarte\n"),
                kIncomplete);
  ExpectRefused(RunWith("2\nEntete\nvideo.gif\nson2.gif\ncarte"), kIncomplete);
}

TEST_F(ParamFileTest, FieldLengths) {
  // Full fields are taken whole.
  const std::string heading(251, 'e'), name(27, 'n');
  ExpectRewritten(RunWith("1\n" + heading + "\n" + name + "\n" + name + "\n" +
                          name + "\n" + name + "\n"),
                  1, heading, name, name, name, name);
  // One byte more is refused, whichever line; a line of several pieces too.
  ExpectRefused(RunWith("1\n" + heading + "e\nv\ns\nm\nl\n"),
                "param.txt : ligne 2 trop longue (251 caracteres au plus)");
  ExpectRefused(RunWith("1\n" + std::string(600, 'e') + "\nv\ns\nm\nl\n"),
                "param.txt : ligne 2 trop longue (251 caracteres au plus)");
  for (int line = 3; line <= 6; ++line) {
    std::string lines[6] = {"1", "E", "v", "s", "m", "l"};
    lines[line - 1] = name + "n";
    std::string param;
    for (const std::string& l : lines) param += l + "\n";
    ExpectRefused(RunWith(param), "param.txt : ligne " + std::to_string(line) +
                                      " trop longue (27 caracteres au plus)");
  }
}

// A first line longer than a piece is read to its end: its rest does not
// become the heading.
TEST_F(ParamFileTest, LongFirstLine) {
  std::string line(600, 'x');
  line[0] = '3';
  ExpectRewritten(RunWith(line + "\n" + kOtherLines), 3);
  line = std::string(600, ' ') + "2 " + std::string(600, '9');
  ExpectRewritten(RunWith(line + "\n" + kOtherLines), 2);
}

TEST_F(ParamFileTest, TextsAreUsedAsTheyAre) {
  ExpectRewritten(RunWith("1\n<b>\"%s%n%d\" & %%</b>\n  v.gif \n%d\n"
                          "c&amp;\n%n\n"),
                  1, "<b>\"%s%n%d\" & %%</b>", "  v.gif ", "%d", "c&amp;",
                  "%n");
  // A byte-order mark after the file's first bytes is text like any other.
  const std::string mark = "\xEF\xBB\xBF";
  ExpectRewritten(RunWith("1\n" + mark + "Entete\nv.gif\ns.gif\nc\nl" + mark),
                  1, mark + "Entete", "v.gif", "s.gif", "c", "l" + mark);
}

TEST_F(ParamFileTest, MissingParameterFile) {
  Put("page.htm", SmallTable());
  ExpectRefused(RunKeepingErrors({"page.htm", "-1"}, "\n"), kNotFound);
  EXPECT_FALSE(Exists("param.txt"));
  // The error stream names the missing file, and tells of the backup.
  EXPECT_NE(Get("errors").find("ouvert est param.txt ("), std::string::npos);
  EXPECT_NE(Get("errors").find("page.htm.orig contient"), std::string::npos);
  EXPECT_EQ(RunKeepingErrors({"-n", "page.htm", "-1"}, "").output, kNotFound);
  EXPECT_NE(Get("errors").find("ouvert est param.txt ("), std::string::npos);
}

}  // namespace
