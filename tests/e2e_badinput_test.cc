// Input that no one means to give the program: binary pages, huge lines,
// column numbers beyond every row, awkward page names, NUL bytes in the
// parameter file. Each run must end, say what happened, and keep the page.
#include <algorithm>
#include <random>
#include <string>

#include "tests/e2e.h"

namespace {

using namespace std::string_literals;

// The new cells as the page holds them, with CR LF line ends.
std::string HeadingCellCrLf(const std::string& heading) {
  return EveryLfToCrLf(HeadingCell(heading));
}

const std::string kDashCellCrLf = EveryLfToCrLf(DashCell());

// |text| without every occurrence of |cell|; |count| gets how many.
std::string Without(const std::string& text, const std::string& cell,
                    int* count) {
  std::string out;
  *count = 0;
  std::size_t from = 0;
  for (;;) {
    std::size_t at = text.find(cell, from);
    out.append(text, from,
               at == std::string::npos ? std::string::npos : at - from);
    if (at == std::string::npos) return out;
    ++*count;
    from = at + cell.size();
  }
}

TEST_F(E2eTest, BinaryPageWithoutLineEnds) {
  std::mt19937 rng(5);
  std::string page;
  for (int i = 0; i < 20000; ++i) {
    char c = static_cast<char>(rng() & 0xff);
    if (c == '\n') c = '\r';  // Lone CRs stay as they are.
    page += c;
    if (i % 997 == 0) page += "\0\x1A"s;
  }
  page += "<tr>\0</td>\x1A"s;  // Markers near the end.
  Put("bin.dat", page);
  Put("param.txt", Params("1"));
  RunResult r = Run({"bin.dat", "-1"}, "\n");
  EXPECT_EQ(r.output, kConfirm);
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(Get("bin.dat.orig") == page);
  // The only "<tr>" is in one of the last two pieces: the row scan meets the
  // end of the page and no cell is written.
  EXPECT_TRUE(Get("bin.dat") == page);
}

TEST_F(E2eTest, LineOfSeveralMegabytes) {
  std::string table =
      "<table>\n<tr>\n<td>\nA\n</td>\n<td>\nB\n</td>\n</tr>\n"
      "<tr>\n<td>\nx\n</td>\n<td>\ny\n</td>\n</tr>\n</table>\n";
  // The same table alone gives the cells that the long page must get.
  Put("page.htm", table);
  Put("param.txt", Params("1"));
  ASSERT_EQ(Run({"page.htm", "-1"}, "\n").status, 0);
  const std::string table_after = Get("page.htm");

  std::string line(6 * 1024 * 1024 + 7, 'x');
  for (std::size_t i = 1000; i < line.size(); i += 4099) line[i] = '\r';
  Put("page.htm", line + "\r\n" + table);
  RunResult r = Run({"page.htm", "-1"}, "\n");
  EXPECT_EQ(r.output, kConfirm);
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(Get("page.htm.orig") == line + "\r\n" + LoneLfToCrLf(table));
  EXPECT_TRUE(Get("page.htm") == line + "\r\n" + table_after);
}

TEST_F(E2eTest, ColumnNumberBeyondEveryRow) {
  std::string page = "<table>\n";
  for (int i = 0; i < 10000; ++i) {
    page += "<tr>\n<td>\n" + std::to_string(i) + "\n</td>\n<td>b</td>\n</tr>\n";
  }
  page += "</table>\n";
  Put("page.htm", page);
  for (std::string column : {"7", "2147483647"}) {
    Put("param.txt", Params(column));
    RunResult r = Run({"page.htm", "-1"}, "\n");
    EXPECT_EQ(r.output, kConfirm) << column;
    EXPECT_EQ(r.status, 0) << column;
    const std::string backup = Get("page.htm.orig");
    EXPECT_TRUE(backup == LoneLfToCrLf(page)) << column;
    // The scans run on across rows; taking the new cells out of the page
    // gives the backup back.
    int headings = 0, dashes = 0;
    std::string rest =
        Without(Without(Get("page.htm"), HeadingCellCrLf("Entete"), &headings),
                kDashCellCrLf, &dashes);
    EXPECT_TRUE(rest == backup) << column;
    if (column == "7") {
      EXPECT_EQ(headings, 1);
      EXPECT_GT(dashes, 100);
    } else {
      // The first scan counts to the end of the page: no cell at all.
      EXPECT_EQ(headings + dashes, 0);
    }
    Put("page.htm", page);
  }
}

TEST_F(E2eTest, PageNamesWithBlanksAndFolders) {
  const std::string page = "<p>\n</p>\n";
  std::filesystem::create_directories(dir_.path / "un dossier" / "sous");
  for (std::string name :
       {"ma page.htm", "a b  c.htm", "un dossier/sous/la page.htm",
        "./un dossier/../un dossier/p.htm"}) {
    Put(name, page);
    Put("param.txt", Params("1"));
    RunResult r = Run({name, "-1"}, "\n");
    EXPECT_EQ(r.output, kConfirm) << name;
    EXPECT_EQ(r.status, 0) << name;
    EXPECT_EQ(Get(name + ".orig"), LoneLfToCrLf(page)) << name;
    EXPECT_EQ(Get(name), LoneLfToCrLf(page)) << name;
  }
  // Nothing but the pages, their backups and the parameter file.
  EXPECT_EQ(Listing(), std::vector<std::string>(
                           {"a b  c.htm", "a b  c.htm.orig", "ma page.htm",
                            "ma page.htm.orig", "param.txt", "un dossier"}));
}

// 250 bytes: the backup's name takes the 255 that a folder entry allows,
// and the temporary copy still has a short name of its own. One byte more is
// refused before any file is touched.
TEST_F(E2eTest, PageNameOfTheLongestLength) {
  const std::string name = std::string(246, 'n') + ".htm";
  ASSERT_EQ(name.size(), 250u);
  const std::string page = "<table>\n<tr>\n<td>\n</td>\n<td>\n</td>\n</tr>\n";
  Put(name, page);
  Put("param.txt", Params("1"));
  RunResult r = Run({name, "-1"}, "\n");
  EXPECT_EQ(r.output, kConfirm);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(Get(name + ".orig"), LoneLfToCrLf(page));
  EXPECT_EQ(Get(name),
            EveryLfToCrLf("<table>\n<tr>\n<td>\n</td>\n" +
                          HeadingCell("Entete") + "<td>\n</td>\n</tr>\n"));

  const std::string longer = name + "l";
  Put(longer, page);
  r = Run({longer, "-1"}, "\n");
  EXPECT_EQ(r.output, "nom de fichier trop long (250 caracteres au plus)");
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(Get(longer), page);
  EXPECT_EQ(Listing().size(), 4u);  // Both pages, a backup, param.txt.
  // Refused with no page at all, the same: nothing is created.
  r = Run({std::string(251, 'p'), "-1"});
  EXPECT_EQ(r.output, "nom de fichier trop long (250 caracteres au plus)");
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(Listing().size(), 4u);
}

// A name the ANSI code page cannot hold counts its characters on Windows,
// its bytes on Linux: 250 "r with caron" (two bytes each in UTF-8) pass on
// Windows only, 251 nowhere. Run from a folder of its own, the page's full
// path passes 300 characters, beyond the 260 of the ordinary Windows form:
// the page, its backup and the temporary files take the long form.
TEST_F(E2eTest, PageNameOfTheLongestLengthInCharacters) {
  namespace fs = std::filesystem;
  auto r_caron = [](std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) text += "\u0159";
    return text;
  };
  const fs::path here = dir_.path / std::string(60, 'd');
  const std::string page = "<table>\n<tr>\n<td>\n</td>\n<td>\n</td>\n</tr>\n";
  fs::create_directories(here);
  WriteBytes((here / "param.txt").string(), Params("1"));
  for (std::size_t folder_length : {125, 126}) {
    SCOPED_TRACE(folder_length);
    // 125 + 1 + 124 = 250 characters, or 251.
    const std::string name =
        r_caron(folder_length) + "/" + r_caron(120) + ".htm";
    fs::create_directories(here / r_caron(folder_length));
    WriteBytes((here / name).string(), page);
    RunOptions options;
    options.folder = here.string();
    options.input = "\n";
    RunResult r = RunProgram({name, "-1"}, options);
    if (Windows() && folder_length == 125) {
      ASSERT_GT(dir_.path.string().size() + 2 + 60 + 1 + 250, 300u);
      EXPECT_EQ(r.output, kConfirm);
      EXPECT_EQ(r.status, 0);
      EXPECT_EQ(ReadBytes((here / (name + ".orig")).string()),
                LoneLfToCrLf(page));
      EXPECT_EQ(ReadBytes((here / name).string()),
                EveryLfToCrLf("<table>\n<tr>\n<td>\n</td>\n" +
                              HeadingCell("Entete") + "<td>\n</td>\n</tr>\n"));
    } else {
      EXPECT_EQ(r.output, "nom de fichier trop long (250 caracteres au plus)");
      EXPECT_EQ(r.status, 255);
      EXPECT_EQ(ReadBytes((here / name).string()), page);
    }
    std::size_t files = 0;
    for (const auto& e :
         fs::directory_iterator(here / r_caron(folder_length))) {
      (void)e;
      ++files;
    }
    EXPECT_EQ(files, Windows() && folder_length == 125 ? 2u : 1u);
  }
}

TEST_F(E2eTest, ParameterFileWithNulBytes) {
  const std::string page =
      "<table>\n<tr>\n<td>\nA\n</td>\n</tr>\n"
      "<tr>\n<td>\n<img src=son.gif>\n</td>\n</tr>\n";
  Put("page.htm", page);
  Put("param.txt", "1\0 ignore\nEn\0tete\nv\0.gif\ns.gif\n\0\nlien\0\n"s);
  RunResult r = Run({"page.htm", "-1"}, "\n");
  EXPECT_EQ(r.output, kConfirm);
  EXPECT_EQ(r.status, 0);
  // The NUL bytes are kept in the texts and written into the new cells.
  EXPECT_EQ(
      Get("page.htm"),
      EveryLfToCrLf(
          "<table>\n<tr>\n<td>\nA\n</td>\n" + HeadingCell("En\0tete"s) +
          "</tr>\n<tr>\n<td>\n<img src=son.gif>\n</td>\n" +
          MapCell("v\0.gif"s, "s.gif", "\0"s, 1, "", "lien\0"s) + "</tr>\n"));

  // A NUL byte before the number is not a blank: the column number is 0,
  // and the new cells go right after the second piece of each row.
  Put("page.htm", page);
  Put("param.txt",
      "\0"
      "5\nE\nv\ns\nm\nl\n"s);
  r = Run({"page.htm", "-1"}, "\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(Get("page.htm"),
            LoneLfToCrLf("<table>\n<tr>\n<td>\n") + HeadingCellCrLf("E") +
                LoneLfToCrLf("A\n</td>\n</tr>\n<tr>\n<td>\n") + kDashCellCrLf +
                LoneLfToCrLf("<img src=son.gif>\n</td>\n</tr>\n"));
}

}  // namespace
