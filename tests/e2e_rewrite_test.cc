// The rewrite as the whole program does it: the page name as typed bounds
// the link path, and a page that cannot be written is put back.
#include <set>
#include <string>

#include "tests/e2e.h"

namespace {

// The names of the files in |folder|.
std::set<std::string> NamesIn(const std::filesystem::path& folder) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder)) {
    if (e.is_regular_file()) names.insert(e.path().filename().string());
  }
  return names;
}

// The link path is the page name's length plus 23, the name counted as
// typed, folder part included: its bytes on Linux; on Windows its bytes in
// the ANSI code page (windows-1252 under Wine) when that code page holds
// it, otherwise its characters. Names in any script work, in both modes,
// and "Dvořák.htm" is not taken for the "Dvorák.htm" beside it, as a
// best-fit ANSI command line would.
TEST_F(E2eTest, LinkPathFollowsThePageNameAsTyped) {
  namespace fs = std::filesystem;
  const std::string link =
      "..///films/suspense/hitchcock/vertigo.htm\">Vertigo";
  const struct {
    std::string name;
    std::size_t linux_length, windows_length;
    std::string beside;  ///< Another page in the folder, left untouched.
  } rows[] = {
      {"sous/page.htm", 13, 13, ""},
      {"chansons_fran\u00e7aises.htm", 24, 23, ""},
      {"Dvo\u0159\u00e1k.htm", 12, 10, "Dvor\u00e1k.htm"},
      {"\u65e5\u672c/\u6b4c.htm", 14, 8, ""},
      {"\U0001F600/Dvo\u0159\u00e1k \U0001F600.htm", 22, 14, ""},
  };
  Put("param.txt", kParams);
  for (const auto& row : rows) {
    const std::size_t length =
        Windows() ? row.windows_length : row.linux_length;
    const std::string path = link.substr(0, length + 23);
    const std::string folder = fs::path(row.name).parent_path().string();
    if (!folder.empty()) fs::create_directories(dir_.path / folder);
    if (!row.beside.empty()) Put(row.beside, "<table>\n<tr>\n");
    for (bool from_file : {true, false}) {
      SCOPED_TRACE(row.name + (from_file ? " -1" : ""));
      Put(row.name, SmallTable());
      const std::set<std::string> before = NamesIn(dir_.path / folder);
      RunResult r;
      if (from_file) {
        r = Run({row.name, "-1"}, "\n");
      } else {
        Session s = Start({row.name});
        std::string answers = Params("1") + "\n";
        for (const char* prompt : kPrompts) {
          ASSERT_TRUE(WaitFor(&s, prompt)) << Printed(s);
          const std::size_t end = answers.find('\n') + 1;
          Send(&s, answers.substr(0, end));
          answers.erase(0, end);
        }
        ASSERT_TRUE(WaitFor(&s, kConfirm));
        Send(&s, answers);
        r = Finish(&s);
        r.output.erase(0, r.output.rfind(kConfirm));
      }
      EXPECT_EQ(r.output, kConfirm);
      EXPECT_EQ(r.status, 0);
      EXPECT_EQ(
          Get(row.name),
          EveryLfToCrLf(SmallTable(
              1, HeadingCell("Entete"),
              MapCell("video.gif", "son2.gif", "carte", 1, path, "lien.htm"))));
      EXPECT_EQ(Get(row.name + ".orig"), EveryLfToCrLf(SmallTable()));
      // Nothing left in the page's folder but the page and its backup
      // beside what was there.
      std::set<std::string> expected = before;
      expected.insert(fs::path(row.name).filename().string() + ".orig");
      if (!row.beside.empty()) {
        EXPECT_EQ(Get(row.beside), "<table>\n<tr>\n");
      }
      EXPECT_EQ(NamesIn(dir_.path / folder), expected);
    }
  }
}

// A file size limit that lets the backup be written but not the longer new
// page: the backup is complete, the page untouched. With param.txt the new
// page is written before the confirmation, which is then not asked.
TEST_F(E2eTest, FileSizeLimitDuringTheRewrite) {
  if (Windows()) GTEST_SKIP() << "a file size limit is a POSIX notion";
  std::string page = "<table>\r\n<tr>\r\n<td>\r\nTitre\r\n</td>\r\n</tr>\r\n";
  for (int i = 0; i < 400; ++i) {
    page += "<tr>\r\n<td>\r\n<img src=\"son.gif\"> ..///films/" +
            std::to_string(i) + "/\r\n</td>\r\n</tr>\r\n";
  }
  page += "</table>\r\n";
  Put("page.htm", page);
  Put("param.txt", kParams);
  RunResult r =
      Run({"page.htm", "-1"}, "\n", static_cast<long long>(page.size()));
  EXPECT_EQ(r.output,
            "erreur d'ecriture du fichier page.htm (disque plein ou quota "
            "atteint) : le fichier n'a pas ete modifie");
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(Get("page.htm"), page);
  EXPECT_EQ(Get("page.htm.orig"), page);
  EXPECT_EQ(Listing(), std::vector<std::string>(
                           {"page.htm", "page.htm.orig", "param.txt"}));
}

}  // namespace
