// The rewrite as the whole program does it: the page name as typed bounds
// the link path, and a file size limit met while the new page is written
// leaves the page untouched.
#include <string>

#include "tests/e2e.h"

namespace {

// The link path is the page name's length plus 23 bytes, the name counted
// as typed, folder part included.
TEST_F(E2eTest, LinkPathFollowsThePageNameAsTyped) {
  std::filesystem::create_directory(dir_.path / "sous");
  Put("sous/page.htm", SmallTable());
  Put("param.txt", kParams);
  RunResult r = Run({"sous/page.htm", "-1"}, "\n");
  EXPECT_EQ(r.output, kConfirm);
  EXPECT_EQ(r.status, 0);
  // 13 bytes of name: 36 bytes of path.
  EXPECT_EQ(Get("sous/page.htm"),
            EveryLfToCrLf(SmallTable(
                1, HeadingCell("Entete"),
                MapCell("video.gif", "son2.gif", "carte", 1,
                        "..///films/suspense/hitchcock/vertig", "lien.htm"))));
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
