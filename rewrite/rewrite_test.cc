// The table rewrite from memory to memory: a backup in, a page out,
// compared byte for byte with pages written out by hand.
#include "rewrite/rewrite.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <iterator>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "rewrite/markers.h"
#include "rewrite/pieces.h"
#include "tests/expected_cells.h"
#include "tests/rewrite_model.h"
#include "tests/text_model.h"

namespace {

using namespace std::string_literals;

ParamColonne Params(int number, const std::string& heading = "Entete",
                    const std::string& icon1 = "video.gif",
                    const std::string& icon2 = "son2.gif",
                    const std::string& map = "carte",
                    const std::string& link_file = "lien.htm") {
  ParamColonne p;
  p.NumeroColonne = number;
  EXPECT_TRUE(Assign(&p.TexteEntete, heading));
  EXPECT_TRUE(Assign(&p.NomIcone1, icon1));
  EXPECT_TRUE(Assign(&p.NomIcone2, icon2));
  EXPECT_TRUE(Assign(&p.NomMap, map));
  EXPECT_TRUE(Assign(&p.NomFichierLien, link_file));
  return p;
}

std::string Map(int number, const std::string& link_path) {
  return MapCell("video.gif", "son2.gif", "carte", number, link_path,
                 "lien.htm");
}

// Lines |from| to |to| (1-based, inclusive) of |lines|.
std::string Lines(const std::vector<std::string>& lines, int from, int to) {
  std::string out;
  for (int i = from; i <= to; ++i)
    out += lines[static_cast<std::size_t>(i - 1)];
  return out;
}

class RewriteTest : public ::testing::Test {
 protected:
  // Stores |page| as the backup (every LF as CR LF, as the backup copy
  // writes it), rewrites it and returns the new page's bytes.
  std::string Rewrite(const std::string& page, const ParamColonne& param,
                      std::size_t name_length = 8,
                      LinkRule rule = LinkRule::kNameLength,
                      MarkerRule markers = MarkerRule::kExact) {
    return RewriteBytes(EveryLfToCrLf(page), param, name_length, rule, markers);
  }
  // The backup is read in one go, and again a byte and then seven bytes at
  // a time, which must change nothing.
  std::string RewriteBytes(const std::string& backup, const ParamColonne& param,
                           std::size_t name_length = 8,
                           LinkRule rule = LinkRule::kNameLength,
                           MarkerRule markers = MarkerRule::kExact) {
    std::string pages[3];
    const std::size_t capacities[3] = {kTextBufferSize, 1, 7};
    for (int i = 2; i >= 0; --i) {
      TextReader reader(backup, capacities[i]);
      TextWriter writer(&pages[i]);
      state_ = EtatReecriture();
      EXPECT_EQ(RewriteTable(&reader, &writer, param, name_length, &state_,
                             rule, markers),
                TextEnd::kOk);
      EXPECT_TRUE(writer.WriteOutBuffer());
    }
    EXPECT_EQ(pages[1], pages[0]) << "read a byte at a time";
    EXPECT_EQ(pages[2], pages[0]) << "read seven bytes at a time";
    return pages[0];
  }

  EtatReecriture state_;
};

// Eighteen lines: a heading row and a data row of two cells, three lines a
// cell; line 12 holds the sound icon and the link path.
const std::vector<std::string> kEighteenLines = {
    "<table>\n",  // 1
    "<tr>\n",     // 2
    "<td>\n",     // 3
    "Titre\n",    // 4
    "</td>\n",    // 5
    "<td>\n",     // 6
    "Duree\n",    // 7
    "</td>\n",    // 8
    "</tr>\n",    // 9
    "<tr>\n",     // 10
    "<td>\n",     // 11
    "<img src=\"son.gif\"> <a href=\"..///films/policiers/1950/"
    "le_samourai.htm\">Le samourai</a>\n",  // 12
    "</td>\n",                              // 13
    "<td>\n",                               // 14
    "1h45\n",                               // 15
    "</td>\n",                              // 16
    "</tr>\n",                              // 17
    "</table>\n",                           // 18
};

TEST_F(RewriteTest, EighteenLinesAfterTheFirstCell) {
  std::string page = Lines(kEighteenLines, 1, 18);
  // A page name of 8 bytes: the path is the 31 bytes from "..///".
  std::string expected = Lines(kEighteenLines, 1, 5) + HeadingCell("Entete") +
                         Lines(kEighteenLines, 6, 13) +
                         Map(1, "..///films/policiers/1950/le_sa") +
                         Lines(kEighteenLines, 14, 18);
  EXPECT_EQ(Rewrite(page, Params(1)), EveryLfToCrLf(expected));
  EXPECT_EQ(state_.NumeroMap, 1);
}

TEST_F(RewriteTest, EighteenLinesAfterTheSecondCellWithoutMarkers) {
  std::vector<std::string> lines = kEighteenLines;
  lines[11] = "Le samourai\n";
  std::string expected = Lines(lines, 1, 8) + HeadingCell("Entete") +
                         Lines(lines, 9, 16) + DashCell() +
                         Lines(lines, 17, 18);
  EXPECT_EQ(Rewrite(Lines(lines, 1, 18), Params(2)), EveryLfToCrLf(expected));
  EXPECT_EQ(state_.NumeroMap, 0);
  EXPECT_EQ(state_.CheminLien.view(), "");
}

// Three cells a row, three lines a cell, the new column after the second:
// map numbers run over the page and dash cells take none; a sound icon after
// the second cell gives a dash; a row without a path reuses the last one.
TEST_F(RewriteTest, ThreeLinesPerCellAfterTheSecondCell) {
  auto cell = [](const std::string& content) {
    return "<td>\n" + content + "\n</td>\n";
  };
  const std::string bach =
      "<a href=\"..///musique/classique/bach/suites.htm\">Bach</a>";
  const std::string coltrane =
      "<img src=\"son.gif\"><a href=\"..///musique/jazz/coltrane/"
      "blue_train.htm\">Coltrane</a>";
  std::vector<std::string> row_starts = {
      "<tr>\n" + cell("Oeuvre") + cell("Auteur"),
      "<tr>\n" + cell("<img src=\"son.gif\"> Suites") + cell(bach),
      "<tr>\n" + cell("Nocturnes") + cell("Chopin"),
      "<tr>\n" + cell("<img src=\"son.gif\"> Partitas") + cell("Bach"),
      "<tr>\n" + cell("Requiem") + cell("Mozart"),
      "<tr>\n" + cell("Blue train") + cell(coltrane),
  };
  std::vector<std::string> row_ends = {
      cell("Annee") + "</tr>\n",
      cell("1720") + "</tr>\n",
      cell("<img src=\"son.gif\">") + "</tr>\n",  // after the counted cells
      cell("1730") + "</tr>\n",
      cell("1791") + "</tr>\n",
      cell("1957") + "</tr>\n",
  };
  std::vector<std::string> cells = {
      HeadingCell("Entete"),
      Map(1, "..///musique/classique/bach/sui"),
      DashCell(),
      Map(2, "..///musique/classique/bach/sui"),
      DashCell(),
      Map(3, "..///musique/jazz/coltrane/blue"),
  };
  std::string page = "<table>\n";
  std::string expected = "<table>\n";
  for (std::size_t i = 0; i < row_starts.size(); ++i) {
    page += row_starts[i] + row_ends[i];
    expected += row_starts[i] + cells[i] + row_ends[i];
  }
  page += "</table>\n";
  expected += "</table>\n";
  EXPECT_EQ(Rewrite(page, Params(2)), EveryLfToCrLf(expected));
  EXPECT_EQ(state_.NumeroMap, 3);
}

// Rows written on one line: a line is one closed cell however many "</td>"
// it holds, the "<tr>" line itself is never counted, and the scan runs on
// into the following rows.
TEST_F(RewriteTest, RowsOnOneLine) {
  const std::vector<std::string> lines = {
      "<table>\n",                                                        // 1
      "<tr>\n",                                                           // 2
      "<td>\n",                                                           // 3
      "<b>A</b></td><td><b>B</b></td><td><b>C</b></td>\n",                // 4
      "</tr>\n",                                                          // 5
      "<tr><td>a1</td><td>a2</td><td><img src=\"son.gif\"></td></tr>\n",  // 6
      "<tr><td>b1</td><td>b2</td><td>b3</td></tr>\n",                     // 7
      "<tr><td>c1</td><td>c2</td><td><img src=\"son.gif\"></td></tr>\n",  // 8
      "</table>\n",                                                       // 9
  };
  const std::string page = Lines(lines, 1, 9);
  // After one cell: the heading after line 4; line 6 starts a row whose
  // scan skips line 7 (the piece after "<tr>", never examined) and counts
  // line 8, sound icon included.
  EXPECT_EQ(
      Rewrite(page, Params(1)),
      EveryLfToCrLf(Lines(lines, 1, 4) + HeadingCell("Entete") +
                    Lines(lines, 5, 8) + Map(1, "") + Lines(lines, 9, 9)));
  // After two cells: the heading lands after line 6, inside the next row;
  // line 7, current after the heading, starts a row whose scan meets the
  // end of the page: that row gets no cell.
  EXPECT_EQ(Rewrite(page, Params(2)),
            EveryLfToCrLf(Lines(lines, 1, 6) + HeadingCell("Entete") +
                          Lines(lines, 7, 9)));
}

TEST_F(RewriteTest, OnlyTheExactLowerCaseMarkersCount) {
  const std::vector<std::string> lines = {
      "<table>\n",                      // 1
      "<tr>\n",                         // 2
      "<td>\n",                         // 3
      "Titre\n",                        // 4
      "</td>\n",                        // 5
      "</tr>\n",                        // 6
      "<TR>\n",                         // 7
      "<td>\n",                         // 8
      "<img src=\"son.gif\">\n",        // 9
      "</td>\n",                        // 10
      "</TR>\n",                        // 11
      "<tr class=\"paire\">\n",         // 12
      "<td>\n",                         // 13
      "<img src=\"son.gif\">\n",        // 14
      "</td>\n",                        // 15
      "</tr>\n",                        // 16
      "<tr>\n",                         // 17
      "<TD>\n",                         // 18
      "<IMG SRC=\"SON.GIF\"> ..///\n",  // 19: no marker but the path
      "</TD>\n",                        // 20
      "<td><img src=\"son.gif\">\n",    // 21
      "</td>\n",                        // 22
      "</tr>\n",                        // 23
      "</table>\n",                     // 24
  };
  EXPECT_EQ(Rewrite(Lines(lines, 1, 24), Params(1)),
            EveryLfToCrLf(Lines(lines, 1, 5) + HeadingCell("Entete") +
                          Lines(lines, 6, 22) + Map(1, "..///\n") +
                          Lines(lines, 23, 24)));
  // Read as a browser reads them, every row gets its cell.
  EXPECT_EQ(
      Rewrite(Lines(lines, 1, 24), Params(1), 8, LinkRule::kNameLength,
              MarkerRule::kHtml),
      EveryLfToCrLf(Lines(lines, 1, 5) + HeadingCell("Entete") +
                    Lines(lines, 6, 10) + Map(1, "") + Lines(lines, 11, 15) +
                    Map(2, "") + Lines(lines, 16, 20) + Map(3, "..///\n") +
                    Lines(lines, 21, 24)));
}

// With no cell to count, each new cell follows the second piece of its row,
// every data row gets a dash and no path is taken.
TEST_F(RewriteTest, ColumnZeroOrNegative) {
  const std::vector<std::string> lines = {
      "<table>\n",                                   // 1
      "<tr>\n",                                      // 2
      "<td>Titre</td>\n",                            // 3
      "<td>Duree</td>\n",                            // 4
      "</tr>\n",                                     // 5
      "<tr>\n",                                      // 6
      "<td><img src=\"son.gif\"> ..///a/b/</td>\n",  // 7
      "<td><img src=\"son.gif\"> ..///c/d/</td>\n",  // 8
      "</tr>\n",                                     // 9
      "</table>\n",                                  // 10
  };
  const std::string expected =
      EveryLfToCrLf(Lines(lines, 1, 3) + HeadingCell("Entete") +
                    Lines(lines, 4, 7) + DashCell() + Lines(lines, 8, 10));
  for (int number : {0, -1, -7, INT_MIN}) {
    EXPECT_EQ(Rewrite(Lines(lines, 1, 10), Params(number)), expected) << number;
    EXPECT_EQ(state_.CheminLien.view(), "") << number;
    EXPECT_EQ(state_.NumeroMap, 0) << number;
  }
}

// The path starts at the first "..///" of the piece and has at most the page
// name's length plus 23 bytes, or the rest of the piece, line end included.
TEST_F(RewriteTest, LinkPathLength) {
  const std::string line =
      "<img src=\"son.gif\"><a href=\"..///videos/concerts/1969/"
      "woodstock/hendrix.htm\">..///x</a>\n";
  const std::string page =
      "<table>\n<tr>\n<td>\nTitre</td>\n</tr>\n<tr>\n"
      "<td>\n" +
      line + "</td>\n</tr>\n";
  auto expected = [&](const std::string& link_path) {
    return EveryLfToCrLf("<table>\n<tr>\n<td>\nTitre</td>\n" +
                         HeadingCell("Entete") + "</tr>\n<tr>\n<td>\n" + line +
                         "</td>\n" + Map(1, link_path) + "</tr>\n");
  };
  EXPECT_EQ(Rewrite(page, Params(1), 8),
            expected("..///videos/concerts/1969/woods"));
  EXPECT_EQ(Rewrite(page, Params(1), 0), expected("..///videos/concerts/19"));
  EXPECT_EQ(Rewrite(page, Params(1), 20),
            expected("..///videos/concerts/1969/woodstock/hendrix"));
  // 250, the longest name: the rest of the piece with its line end, which
  // comes out as CR LF inside the link.
  EXPECT_EQ(Rewrite(page, Params(1), 250),
            expected("..///videos/concerts/1969/woodstock/hendrix.htm\">"
                     "..///x</a>\n"));
  EXPECT_EQ(state_.CheminLien.view(),
            "..///videos/concerts/1969/woodstock/hendrix.htm\">..///x</a>\n");
  // The folder rule, whatever the name's length: the path ends at the
  // quote, and is cut after its last '/'.
  for (std::size_t length : {0, 8, 250}) {
    EXPECT_EQ(Rewrite(page, Params(1), length, LinkRule::kFolder),
              expected("..///videos/concerts/1969/woodstock/"));
  }
}

// The folder rule at each end a path can have: a quote, a blank, a line
// end, the end of the page, and the end of a full 511-byte piece, where
// the path may go on and is taken whole.
TEST_F(RewriteTest, LinkFolderEndsOfThePath) {
  const struct {
    std::string line;
    std::string path;
  } rows[] = {
      {"<a href='..///a/b/c.htm'>\n", "..///a/b/"},
      {"..///a/b c/d\n", "..///a/"},
      {"..///a/b/\tx/\n", "..///a/b/"},
      {"..///a/b/c.htm\n", "..///a/b/"},
      {"..///a/b/c.htm\r\n", "..///a/b/"},
      {"..///\n", "..///"},
      {"<..///a<b/\n", "..///"},
      // 511 bytes before the LF: the piece ends inside the path.
      {std::string(502, 'y') + "..///a/bc\n", "..///a/bc"},
      {std::string(499, 'y') + "..///a/bc\n", "..///a/"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    const std::string page =
        "<table>\n<tr>\n<td>\nTitre</td>\n</tr>\n<tr>\n"
        "<td>\n<img src=\"son.gif\">\n" +
        row.line + "</td>\n</tr>\n";
    Rewrite(page, Params(1), 8, LinkRule::kFolder);
    EXPECT_EQ(state_.CheminLien.view(), row.path);
  }
  // The end of the page, on a line without a line end.
  Rewrite("<table>\n<tr>\n<td>\nT</td>\n<tr>\n<td>\n</td>..///films/a/b.htm",
          Params(1), 8, LinkRule::kFolder);
  EXPECT_EQ(state_.CheminLien.view(), "..///films/a/");
}

// Only pieces scanned inside a data row give a path, and a later row
// without one reuses it; before any, the path is empty.
TEST_F(RewriteTest, LinkPathIsTakenOnlyWhileScanningDataRows) {
  const std::vector<std::string> lines = {
      "<table>\n",                                  // 1
      "<tr>\n",                                     // 2
      "<td>\n",                                     // 3
      "<td>..///entete/</td>\n",                    // 4: heading row
      "</tr>\n",                                    // 5
      "<tr>\n",                                     // 6
      "<td>..///apres-tr/</td>\n",                  // 7: right after "<tr>"
      "<td><img src=\"son.gif\"></td>\n",           // 8: counted
      "<td>..///apres-cellule/</td>\n",             // 9: after the count
      "</tr>\n",                                    // 10
      "<tr>\n",                                     // 11
      "<td>\n",                                     // 12
      "<td><img src=\"son.gif\">..///bon/</td>\n",  // 13
      "</tr>\n",                                    // 14
      "<tr>\n",                                     // 15
      "<td>\n",                                     // 16
      "<td><img src=\"son.gif\"></td>\n",           // 17
      "</tr>\n",                                    // 18
  };
  EXPECT_EQ(
      Rewrite(Lines(lines, 1, 18), Params(1)),
      EveryLfToCrLf(Lines(lines, 1, 4) + HeadingCell("Entete") +
                    Lines(lines, 5, 8) + Map(1, "") + Lines(lines, 9, 13) +
                    Map(2, "..///bon/</td>\n") + Lines(lines, 14, 17) +
                    Map(3, "..///bon/</td>\n") + Lines(lines, 18, 18)));
}

// Which pieces are looked at for "<tr>": the one right after the heading
// cell is, the one right after a data row's cell is not, nor the first
// piece of the page.
TEST_F(RewriteTest, PiecesExaminedForARowStart) {
  const std::vector<std::string> lines = {
      "<table>\n",     // 1
      "<tr>\n",        // 2
      "<td>T</td>\n",  // 3: right after "<tr>", not counted
      "<td>U</td>\n",  // 4: counted
      "<tr>\n",        // 5: current after the heading cell: a row
      "<td>a</td>\n",  // 6
      "<td>b</td>\n",  // 7: counted
      "<tr>\n",        // 8: current after the dash cell: not a row
      "<td>c</td>\n",  // 9
      "<td>d</td>\n",  // 10
      "</table>\n",    // 11
  };
  EXPECT_EQ(
      Rewrite(Lines(lines, 1, 11), Params(1)),
      EveryLfToCrLf(Lines(lines, 1, 4) + HeadingCell("Entete") +
                    Lines(lines, 5, 7) + DashCell() + Lines(lines, 8, 11)));
  // Starting at line 2, the first piece: the heading goes into the row of
  // line 5, and line 8, current after it, starts a data row.
  EXPECT_EQ(
      Rewrite(Lines(lines, 2, 11), Params(1)),
      EveryLfToCrLf(Lines(lines, 2, 7) + HeadingCell("Entete") +
                    Lines(lines, 8, 10) + DashCell() + Lines(lines, 11, 11)));
}

TEST_F(RewriteTest, FieldsAreWrittenAsTheyAre) {
  const std::string page =
      "<table>\n<tr>\n<td>\n</td>\n</tr>\n<tr>\n<td>\nson.gif ..///%s%d\n"
      "</td>\n";
  const ParamColonne p =
      Params(1, "%s%n%d", "<b>\"a&b\"</b>", "%d%%x", "%s", "%n%x.htm");
  EXPECT_EQ(
      Rewrite(page, p),
      EveryLfToCrLf("<table>\n<tr>\n<td>\n</td>\n" + HeadingCell("%s%n%d") +
                    "</tr>\n<tr>\n<td>\nson.gif ..///%s%d\n</td>\n" +
                    MapCell("<b>\"a&b\"</b>", "%d%%x", "%s", 1, "..///%s%d\n",
                            "%n%x.htm")));
  // An empty heading: nothing between the center tags.
  EXPECT_EQ(Rewrite("x\n<tr>\n<td>\n", Params(0, "")),
            EveryLfToCrLf("x\n<tr>\n<td>\n" + HeadingCell("")));
}

TEST_F(RewriteTest, PageWithoutRowIsCopied) {
  std::string backup = "<html>\r\n" + std::string(1500, 'x') + "<TR>\r\n" +
                       "nul\0</td>son.gif\r\n"s +
                       "a\rb\x1A\r\n<tr class=\"x\">\r\n" + "fin sans ligne";
  EXPECT_EQ(RewriteBytes(backup, Params(1)), backup);
  EXPECT_EQ(RewriteBytes("", Params(1)), "");
}

// The page ends inside a row scan: the rewrite stops there without a cell
// for that row. When it ends right where a cell goes, the cell follows the
// last piece.
TEST_F(RewriteTest, PageEndsInsideARow) {
  const std::string heading_row = "<table>\n<tr>\n<td>\nA\n</td>\n";
  for (const std::string& page : {
           std::string("<table>\n<tr>"),  // "<tr>" in the last piece
           heading_row,                   // one cell of two
           heading_row + "<td>\nB\n</td>\n</tr>\n<tr>",
           heading_row + "<td>\nB\n</td>\n</tr>\n<tr>\n<td>\nson.gif\n</td>\n",
       }) {
    std::string expected = EveryLfToCrLf(page);
    const std::string after = "B\r\n</td>\r\n";
    const std::string::size_type b = expected.find(after);
    if (b != std::string::npos) {
      expected.insert(b + after.size(), EveryLfToCrLf(HeadingCell("Entete")));
    }
    EXPECT_EQ(Rewrite(page, Params(2)), expected) << page;
  }
  EXPECT_EQ(Rewrite("x\n<tr>\n<td>\n</td>", Params(1)),
            EveryLfToCrLf("x\n<tr>\n<td>\n</td>" + HeadingCell("Entete")));
  EXPECT_EQ(Rewrite("x\n<tr>\n<td>\n</td>\n<tr>\n<td>\n</td>", Params(1)),
            EveryLfToCrLf("x\n<tr>\n<td>\n</td>\n" + HeadingCell("Entete") +
                          "<tr>\n<td>\n</td>" + DashCell()));
}

// Markers are searched in one piece at a time, over all its bytes.
TEST_F(RewriteTest, MarkersInsideOnePiece) {
  const std::string long_row = std::string(507, 'x') + "<tr>\n";   // one piece
  const std::string split_row = std::string(509, 'x') + "<tr>\n";  // "<t" "r>"
  const std::string long_cell = std::string(600, 'y') + "</td>\n";
  const std::string nul_cell = "<td>a\0b</td>\n"s;
  const std::string nul_sound = "\0son.gif\0\n"s;
  const std::string page = "<table>\n" + split_row + "<td>\n</td>\n" +
                           long_row + "<td>\n" + long_cell + "</tr>\n" +
                           "<tr>\n<td>\n" + nul_sound + nul_cell + "</tr>\n";
  EXPECT_EQ(Rewrite(page, Params(1)),
            EveryLfToCrLf("<table>\n" + split_row + "<td>\n</td>\n" + long_row +
                          "<td>\n" + long_cell + HeadingCell("Entete") +
                          "</tr>\n" + "<tr>\n<td>\n" + nul_sound + nul_cell +
                          Map(1, "") + "</tr>\n"));
}

// Pieces of line for the random pages: markers, their halves, near misses,
// NULs and lone CRs.
const char* const kTokens[] = {"<tr>",
                               "</td>",
                               "<td>",
                               "</tr>",
                               "son.gif",
                               "..///films/a/b.htm",
                               "<img src=\"../son.gif\">",
                               "<t",
                               "r>",
                               "</t",
                               "d>",
                               "son.",
                               "gif",
                               "..",
                               "///",
                               "\0",
                               "\r",
                               "<TR>",
                               "\t",
                               "<tr class=\"a\">",
                               "</th>",
                               "</TD>",
                               "SON.GIF",
                               "<Tr\f",
                               "<tr"};

// A random page of about |size| bytes: table rows of three lines a cell,
// each cell holding text, a sound icon, a link path or both, among lines of
// tokens and filler, short ones and, for a share of the page, lines of 505
// to 2000 bytes; LF, CR LF or mixed line ends.
// Only the first |tokens| tokens are used: the first 17 are read alike by
// both marker rules.
std::string RandomPage(std::mt19937& rng, std::size_t size,
                       std::size_t tokens = std::size(kTokens)) {
  const unsigned ends = rng() % 3;
  const unsigned long_percent = std::vector<unsigned>{2, 30, 90}[rng() % 3];
  const char* const mixed[] = {"\n", "\r\n", "\r\r\n", "\n\r", "\r"};
  const auto eol = [&]() -> std::string {
    if (ends == 0) return "\n";
    if (ends == 1) return "\r\n";
    return mixed[rng() % 5];
  };
  const auto noise = [&](std::size_t length) {
    std::string line;
    while (line.size() < length) {
      if (rng() % 100 < 15) {
        const char* token = kTokens[rng() % tokens];
        line += *token == '\0' ? "\0"s : token;
      } else {
        line.append(1 + rng() % 40, "abcdefghij xyz<>./"[rng() % 18]);
      }
    }
    if (rng() % 2 == 0) line.resize(length);
    return line;
  };
  std::string page;
  while (page.size() < size) {
    const unsigned kind = rng() % 100;
    if (kind < long_percent) {
      page += noise(505 + rng() % 1496) + eol();
    } else if (kind < long_percent + (100 - long_percent) / 2) {
      page += "<tr>" + eol();
      for (unsigned cell = rng() % 6; cell > 0; --cell) {
        page += "\t<td>" + eol() + "\t";
        // Text, sound icons and link paths, one or two of each, and now
        // and then a long run of tokens.
        for (unsigned part = rng() % 4; part > 0; --part) {
          switch (rng() % 5) {
            case 0:
              page += "<img src=\"../images/son.gif\"> ";
              break;
            case 1:
              page += "<a href=\"..///extraits/la_mer.htm\">La mer</a>";
              break;
            case 2:
              page += "..///autre/chemin/" + std::to_string(rng() % 1000);
              break;
            case 3:
              page += noise(rng() % 30);
              break;
            default:
              page += noise(rng() % 8 == 0 ? 400 + rng() % 800 : 3);
              break;
          }
        }
        page += eol() + "\t</td>" + eol();
      }
      page += "</tr>" + eol();
    } else {
      page += noise(rng() % 61) + eol();
    }
  }
  return page;
}

// |page| as its author may write it for a browser: each "<tr>" upper-cased,
// or given an attribute where its line stays one piece, each "</td>" as
// "</TD>" or "</th>", each "son.gif" as "SON.GIF".
std::string AsWrittenByHand(const std::string& page, std::mt19937& rng) {
  std::string out;
  for (std::size_t i = 0; i < page.size();) {
    const std::string_view rest = std::string_view(page).substr(i);
    const std::size_t line = out.size() - out.rfind('\n') - 1 +
                             std::min(rest.find('\n'), rest.size());
    if (rest.starts_with("<tr>")) {
      out += rng() % 2 == 0 && line < 497 ? "<tr class=\"pair\">" : "<TR>";
    } else if (rest.starts_with("</td>")) {
      out += rng() % 2 == 0 ? "</TD>" : "</th>";
    } else if (rest.starts_with("son.gif")) {
      out += "SON.GIF";
    } else {
      out += page[i++];
      continue;
    }
    i += rest.starts_with("son") ? 7 : rest[1] == '/' ? 5 : 4;
  }
  return out;
}

// The cells of |page| by the model, without their link paths.
std::vector<std::string> CellsOf(const std::string& page, const ModelAnswers& a,
                                 bool html) {
  std::vector<ModelCell> cells;
  ModelRewrite(page, a, 8, 0, &cells, false, html);
  std::vector<std::string> out;
  for (const ModelCell& c : cells) {
    out.push_back(std::to_string(c.line) + " " +
                  c.what.substr(0, c.what.find(" -> ")));
  }
  return out;
}

// The rewrite and the model agree on random pages from 1 KiB to some
// hundreds of KiB, read in pieces of many sizes, with any column (NumeroMap
// near its wrap now and then) and any page name length.
TEST(RewriteModelTest, AgreesWithTheModelOnRandomPages) {
  std::mt19937 rng(2027);
  const std::size_t reads[] = {7,   100,  511,   512,
                               513, 4096, 65536, kTextBufferSize};
  const std::int32_t columns[] = {-1, 0, 1, 1, 2, 2, 3, 5, 40, INT_MAX};
  int with_cells = 0;  // Pages given new cells: the test's own check.
  int by_hand = 0;     // Pages written by hand compared with their plain form.
  for (int round = 0; round < 48; ++round) {
    // Sizes spread evenly over their logarithm, 1 KiB to 320 KiB.
    const std::size_t size = static_cast<std::size_t>(
        1024.0 * std::pow(320.0, static_cast<double>(round % 12) / 11.0));
    // Every fourth page is read with --html, and the next but one is also
    // written by hand, its plain form read without it.
    const bool html = round % 4 == 1 || round % 4 == 3;
    const std::string plain =
        RandomPage(rng, size, round % 4 == 3 ? 17 : std::size(kTokens));
    const std::string backup =
        round % 4 == 3 ? AsWrittenByHand(plain, rng) : plain;
    ModelAnswers a;
    a.column = columns[rng() % std::size(columns)];
    a.heading = "Entete";
    a.icon1 = "video.gif";
    a.icon2 = "son2.gif";
    a.map = "carte";
    a.link_file = "lien.htm";
    const std::size_t name_length = rng() % 251;
    const bool link_folder = rng() % 3 == 0;
    const std::int32_t first_map = rng() % 4 == 0 ? INT_MAX - 2 : 0;
    ParamColonne param =
        Params(a.column, a.heading, a.icon1, a.icon2, a.map, a.link_file);
    const std::string expected = ModelRewrite(backup, a, name_length, first_map,
                                              nullptr, link_folder, html);
    if (expected.size() > LoneLfToCrLf(backup).size()) ++with_cells;
    if (round % 4 == 3 && CellsOf(plain, a, false) == CellsOf(plain, a, true)) {
      ++by_hand;
      ASSERT_EQ(CellsOf(backup, a, true), CellsOf(plain, a, false)) << round;
    }
    for (int read = 0; read < 2; ++read) {
      // A byte at a time on the small pages only: it costs the most.
      const std::size_t capacity =
          size <= 2048 && read == 0 ? 1 : reads[rng() % std::size(reads)];
      const std::size_t out_capacity =
          rng() % 2 == 0 ? kTextBufferSize : 2 + rng() % 1100;
      std::string rewritten;
      TextReader reader(backup, capacity);
      TextWriter writer(&rewritten, out_capacity);
      EtatReecriture state;
      state.NumeroMap = first_map;
      ASSERT_EQ(
          RewriteTable(&reader, &writer, param, name_length, &state,
                       link_folder ? LinkRule::kFolder : LinkRule::kNameLength,
                       html ? MarkerRule::kHtml : MarkerRule::kExact),
          TextEnd::kOk);
      ASSERT_TRUE(writer.WriteOutBuffer());
      ASSERT_EQ(FirstDifference(rewritten, expected), "")
          << (link_folder ? "--link-folder, " : "") << (html ? "--html, " : "")
          << "round " << round << ", " << backup.size() << " bytes, column "
          << a.column << ", reads of " << capacity;
    }
  }
  EXPECT_GE(with_cells, 32);
  EXPECT_GE(by_hand, 10);
}

// A read or a write that fails ends the rewrite with that error: here
// the reader's and the writer's files are none, and refuse every use.
TEST(RewriteModelTest, ReadAndWriteErrorsEndTheRewrite) {
  const ParamColonne param = Params(1);
  std::string rewritten;
  TextReader unreadable{File()};
  TextWriter writer(&rewritten);
  EtatReecriture state;
  EXPECT_EQ(RewriteTable(&unreadable, &writer, param, 8, &state),
            TextEnd::kReadError);
  // The first span, or the first cell, does not fit in the buffer.
  const std::string page = EveryLfToCrLf(SmallTable());
  for (std::size_t capacity : {std::size_t{2}, std::size_t{100}}) {
    TextReader reader(page, 16);
    TextWriter unwritable(File(), capacity);
    state = EtatReecriture();
    EXPECT_EQ(RewriteTable(&reader, &unwritable, param, 8, &state),
              TextEnd::kWriteError)
        << capacity;
  }
}

// The piece rule on the reader's bytes, which have every LF after a CR:
// where a piece ends (the reader's and the rewrite's arithmetic), where the
// piece that holds a byte starts, and where the piece that holds a marker's
// bytes ends.
TEST(PieceRuleTest, LengthAndStartAgreeWithThePieces) {
  std::mt19937 rng(99);
  const char alphabet[] = {'a', '\r', '\n', '\0'};
  for (int round = 0; round < 300; ++round) {
    std::string raw;
    std::size_t size = rng() % 3000;
    for (std::size_t i = 0; i < size; ++i) {
      unsigned pick = rng() % (round % 2 == 0 ? 600 : 8);
      raw += pick < 4 ? alphabet[pick] : 'a';
    }
    const std::string bytes = LoneLfToCrLf(raw);
    std::size_t at = 0;
    for (const std::string& piece : PiecesOf(CrLfToLf(bytes))) {
      const std::size_t end = PieceLength(std::string_view(bytes).substr(at));
      ASSERT_EQ(CrLfToLf(bytes.substr(at, end)), piece) << round;
      ASSERT_EQ(PieceEndFrom(bytes, true, at), at + end) << round;
      // Without the rest of the text, the end is told or said unseen.
      const std::string_view part = std::string_view(bytes).substr(0, at + 40);
      const std::size_t part_end = PieceEndFrom(part, false, at);
      ASSERT_TRUE(part_end == at + end ||
                  (part_end == kPieceUnseen && at + end >= part.size()))
          << round;
      for (std::size_t i = at; i < at + end; ++i) {
        if (bytes[i] == '\n') continue;
        ASSERT_EQ(PieceStartOf(bytes, 0, i), at) << round << " " << i;
        // Five bytes without a line end, as a marker would be.
        const std::string_view five = std::string_view(bytes).substr(i, 5);
        if (five.size() < 5 || five.find_first_of("\r\n") != five.npos) {
          continue;
        }
        std::size_t known = 0;
        ASSERT_EQ(PieceEndAround(bytes, true, &known, i, 5),
                  i + 5 <= at + end ? at + end : kPieceCut)
            << round << " " << i;
        // From the piece's own start, and with the text cut short after it.
        known = at;
        const std::size_t around = PieceEndAround(
            std::string_view(bytes).substr(0, i + 5), false, &known, i, 5);
        ASSERT_TRUE(around == kPieceUnseen || around == kPieceCut ||
                    around == at + end)
            << round << " " << i;
      }
      at += end;
    }
    ASSERT_EQ(at, bytes.size());
  }
}

// The vector and the portable sortings of marker starts agree, and the
// walk over them gives exactly the positions of the rule, in texts made of
// the markers' own bytes followed by zeros, as the reader's view is.
TEST(MarkerScanTest, VectorAndPortableVersionsAgree) {
  std::mt19937 rng(13);
  const char alphabet[] = "<tr>/dson.gifTR\n";
  for (int round = 0; round < 20000; ++round) {
    std::string text(rng() % 90, 'x');
    for (char& ch : text) ch = alphabet[rng() % (sizeof alphabet - 1)];
    const std::size_t size = text.size();
    text.append(kBlockView, '\0');
    if (size >= kBlockView) {
      const char* p = text.data() + rng() % (size - kBlockView + 1);
      ASSERT_EQ(RowCandidates(p), RowCandidatesPortable(p));
      ASSERT_EQ(CellEndCandidates(p), CellEndCandidatesPortable(p));
      ASSERT_EQ(CellScanCandidates(p), CellScanCandidatesPortable(p));
      ASSERT_EQ(HtmlRowCandidates(p), HtmlRowCandidatesPortable(p));
      ASSERT_EQ(HtmlCellEndCandidates(p), HtmlCellEndCandidatesPortable(p));
      ASSERT_EQ(HtmlCellScanCandidates(p), HtmlCellScanCandidatesPortable(p));
    }
    const std::size_t from = size == 0 ? 0 : rng() % size;
    std::vector<std::size_t> expected, found;
    for (std::size_t i = from; i < size; ++i) {
      if (text[i] == '.' || (text[i] == '<' && text[i + 2] == 't')) {
        expected.push_back(i);
      }
    }
    Candidates<CellScanCandidates> walk(text.data(), from, size);
    std::size_t at;
    while (walk.Next(&at)) found.push_back(at);
    ASSERT_EQ(found, expected) << text;
  }
}

}  // namespace
