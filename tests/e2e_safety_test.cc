// What a careful user counts on: a page that is not a file, a page that is
// its own backup, a second brantix, an edit made during the run, an output
// no one reads, and interruptions at any moment. Each run ends with a
// message, and the page keeps its old text or gets its whole new text.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "tests/e2e.h"

namespace {

namespace fs = std::filesystem;

const char kPage[] = "<table>\n<tr>\n<td>\nA\n</td>\n</tr>\n<tr>\n<td>\nB\n</td>\n</tr>\n</table>\n";

struct Refusal {
  std::string what;
  std::string page;     ///< The page name given to the program.
  std::string message;  ///< The end of the output.
  bool native_only = false;
};

class SafetyTest : public E2eTest {
 protected:
  // Runs |page| in parameter mode, Enter at the confirmation.
  RunResult RunOn(const std::string& page) { return Run({page, "-1"}, "\n"); }
  fs::path Folder() const { return dir_.path; }
};

TEST_F(SafetyTest, RefusedBeforeAnythingIsWritten) {
  const std::vector<Refusal> refusals = {
      {"a FIFO", "tube.htm",
       "le fichier tube.htm n'est pas un fichier ordinaire", true},
      {"a device", "/dev/null",
       "le fichier /dev/null n'est pas un fichier ordinaire", true},
      {"a device name", "NUL",
       "le fichier NUL n'est pas un fichier ordinaire", false},
      {"a link to its own backup", "lien.htm",
       "le fichier lien.htm et sa sauvegarde lien.htm.orig sont le meme "
       "fichier", false},
      {"a hard link of its backup", "dur.htm",
       "le fichier dur.htm et sa sauvegarde dur.htm.orig sont le meme "
       "fichier", false},
  };
  Put("param.txt", kParams);
  Put("lien.htm.orig", kPage);
  fs::create_symlink("lien.htm.orig", Folder() / "lien.htm");
  Put("dur.htm.orig", kPage);
  fs::create_hard_link(Folder() / "dur.htm.orig", Folder() / "dur.htm");
  ASSERT_EQ(mkfifo((Folder() / "tube.htm").c_str(), 0644), 0);
  const std::vector<std::string> before = Listing();
  const bool device_backup = fs::exists("/dev/null.orig");
  for (const Refusal& r : refusals) {
    SCOPED_TRACE(r.what);
    if (Windows() ? r.native_only : r.page == "NUL") continue;
    RunResult result = RunOn(r.page);
    EXPECT_EQ(result.output, r.message);
    EXPECT_EQ(result.status, 255);
    EXPECT_EQ(Listing(), before);
  }
  EXPECT_EQ(fs::exists("/dev/null.orig"), device_backup);
  EXPECT_EQ(Get("lien.htm.orig"), kPage);
  EXPECT_EQ(Get("dur.htm.orig"), kPage);
}

TEST_F(SafetyTest, SecondRunOnTheSamePageStopsAtOnce) {
  Put("page.htm", kPage);
  Put("param.txt", kParams);
  Session first = Start({"page.htm"});
  ASSERT_TRUE(WaitFor(&first, "Numero de colonne : "));
  RunResult second = RunOn("page.htm");
  EXPECT_EQ(second.output,
            "le fichier page.htm est deja en cours de modification par un "
            "autre brantix");
  EXPECT_EQ(second.status, 255);
  // The first run goes on and completes.
  for (const char* answer : {"1\n", "Entete\n", "v.gif\n", "s.gif\n",
                             "carte\n", "lien.htm\n"}) {
    Send(&first, answer);
    if (std::string(answer) != "lien.htm\n") {
      ASSERT_TRUE(WaitFor(&first, ": ")) << first.output;
    }
  }
  ASSERT_TRUE(WaitFor(&first, kConfirm));
  Send(&first, "\n");
  RunResult done = Finish(&first);
  EXPECT_EQ(done.status, 0) << done.output;
  EXPECT_EQ(Get("page.htm.orig"), LoneLfToCrLf(kPage));
  EXPECT_NE(Get("page.htm"), LoneLfToCrLf(kPage));
  EXPECT_EQ(Listing(), std::vector<std::string>(
                           {"page.htm", "page.htm.orig", "param.txt"}));
}

TEST_F(SafetyTest, PageEditedBeforeTheConfirmationIsKept) {
  Put("page.htm", kPage);
  Put("param.txt", kParams);
  Session s = Start({"page.htm", "-1"});
  ASSERT_TRUE(WaitFor(&s, kConfirm));
  const std::string edited = std::string(kPage) + "<p>ajout</p>\n";
  Put("page.htm", edited);
  Send(&s, "\n");
  RunResult r = Finish(&s);
  EXPECT_EQ(r.output,
            std::string(kConfirm) +
                "le fichier page.htm a ete modifie pendant l'execution : la "
                "nouvelle version n'a pas ete enregistree");
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(Get("page.htm"), edited);
  EXPECT_EQ(Get("page.htm.orig"), LoneLfToCrLf(kPage));
  EXPECT_EQ(Listing(), std::vector<std::string>(
                           {"page.htm", "page.htm.orig", "param.txt"}));
}

TEST_F(SafetyTest, OutputReadByNoOneStopsTheRun) {
  Put("page.htm", kPage);
  Put("param.txt", kParams);
  for (bool dialogue : {false, true}) {
    RunOptions options;
    options.folder = Folder().string();
    options.input = dialogue ? "1\n" : "\n";
    options.close_output = true;
    std::vector<std::string> args = {"page.htm"};
    if (!dialogue) args.push_back("-1");
    RunResult r = RunProgram(args, options);
    EXPECT_EQ(r.status, 255) << dialogue;
    EXPECT_EQ(Get("page.htm"), kPage);
  }
  EXPECT_EQ(Listing(), std::vector<std::string>(
                           {"page.htm", "page.htm.orig", "param.txt"}));
}

// Interruptions: SIGINT (Ctrl-C), SIGTERM (kill) and SIGHUP (a closed
// terminal), at a question, at the confirmation, and during the rewrite of a
// page of a few megabytes.
class InterruptionTest : public E2eTest,
                         public ::testing::WithParamInterface<int> {};

std::string LargePage() {
  std::string page = "<table>\n";
  for (int i = 0; i < 60000; ++i) {
    page += "<tr>\n<td>\n" + std::to_string(i) +
            "\n</td>\n<td><img src=son.gif></td>\n</tr>\n";
  }
  return page + "</table>\n";
}

TEST_P(InterruptionTest, LeavesThePageOldOrWholeAndNoTemporaryFile) {
  if (Windows()) GTEST_SKIP() << "POSIX signals";
  const int signal_number = GetParam();
  const std::string page = LargePage();
  const std::string message =
      "interruption : le fichier page.htm n'a pas ete modifie";
  Put("param.txt", kParams);
  for (int moment = 0; moment < 3; ++moment) {
    SCOPED_TRACE("moment " + std::to_string(moment));
    Put("page.htm", page);
    std::filesystem::remove(dir_.path / "page.htm.orig");
    Session s = Start(moment == 0 ? std::vector<std::string>{"page.htm"}
                                  : std::vector<std::string>{"page.htm", "-1"});
    ASSERT_TRUE(WaitFor(&s, moment == 0 ? "Numero de colonne : " : kConfirm));
    if (moment == 2) Send(&s, "\n");
    kill(s.pid, signal_number);
    RunResult r = Finish(&s);
    EXPECT_EQ(Listing(), std::vector<std::string>(
                             {"page.htm", "page.htm.orig", "param.txt"}));
    EXPECT_EQ(Get("page.htm.orig"), LoneLfToCrLf(page));
    if (r.status == 0) {
      // The signal came after the new page was in place.
      EXPECT_EQ(moment, 2);
      EXPECT_GT(Get("page.htm").size(), page.size() * 2);
      continue;
    }
    EXPECT_EQ(r.status, 255);
    EXPECT_TRUE(r.output.ends_with(message)) << r.output;
    EXPECT_TRUE(Get("page.htm") == page);
  }
}

INSTANTIATE_TEST_SUITE_P(Signals, InterruptionTest,
                         ::testing::Values(SIGINT, SIGTERM, SIGHUP));

}  // namespace
