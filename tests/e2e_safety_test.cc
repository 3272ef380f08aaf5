// What a careful user counts on: a page that is not a file, a page that is
// its own backup, a second brantix, an edit made during the run, an output
// no one reads, and interruptions at any moment. Each run ends with a
// message, and the page keeps its old text or gets its whole new text.
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "tests/e2e.h"
#include "tests/expected_cells.h"

namespace {

namespace fs = std::filesystem;

const char kPage[] =
    "<table>\n<tr>\n<td>\nA\n</td>\n</tr>\n<tr>\n<td>\nB\n</td>\n</tr>\n</"
    "table>\n";

// kPage rewritten with kParams: a heading cell, then a dash cell.
std::string NewPage() {
  return EveryLfToCrLf("<table>\n<tr>\n<td>\nA\n</td>\n" +
                       HeadingCell("Entete") + "</tr>\n<tr>\n<td>\nB\n</td>\n" +
                       DashCell() + "</tr>\n</table>\n");
}

// Whether the page ends with the record of a write in place.
bool RecordLeft(const fs::path& file) {
  const std::string page = ReadBytes(file);
  const std::size_t at = page.rfind("\n<!-- brantix-en-cours ");
  return at != std::string::npos && page.size() - at < 200;
}

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
      {"a device name", "NUL", "le fichier NUL n'est pas un fichier ordinaire",
       false},
      {"a device name with an extension, even as an existing file", "con.htm",
       "le fichier con.htm n'est pas un fichier ordinaire", false},
      {"a link to its own backup", "lien.htm",
       "le fichier lien.htm et sa sauvegarde lien.htm.orig sont le meme "
       "fichier",
       false},
      {"a hard link of its backup", "dur.htm",
       "le fichier dur.htm et sa sauvegarde dur.htm.orig sont le meme "
       "fichier",
       false},
  };
  Put("param.txt", kParams);
  Put("con.htm", kPage);
  Put("lien.htm.orig", kPage);
  fs::create_symlink("lien.htm.orig", Folder() / "lien.htm");
  Put("dur.htm.orig", kPage);
  fs::create_hard_link(Folder() / "dur.htm.orig", Folder() / "dur.htm");
  ASSERT_EQ(mkfifo((Folder() / "tube.htm").c_str(), 0644), 0);
  const std::vector<std::string> before = Listing();
  const bool device_backup = fs::exists("/dev/null.orig");
  for (const Refusal& r : refusals) {
    SCOPED_TRACE(r.what);
    const bool windows_only = r.page == "NUL" || r.page == "con.htm";
    if (Windows() ? r.native_only : windows_only) continue;
    RunResult result = RunOn(r.page);
    EXPECT_EQ(result.output, r.message);
    EXPECT_EQ(result.status, 255);
    // The preview finds the same refusal, and says that a run would refuse.
    RunResult preview = Run({r.page, "-1", "-n"});
    EXPECT_NE(preview.output.find(
                  "attention : brantix refuserait : " + r.message + "\n"),
              std::string::npos)
        << preview.output;
    EXPECT_EQ(preview.status, 2);
    EXPECT_EQ(Listing(), before);
  }
  EXPECT_EQ(fs::exists("/dev/null.orig"), device_backup);
  EXPECT_EQ(Get("lien.htm.orig"), kPage);
  EXPECT_EQ(Get("dur.htm.orig"), kPage);
  EXPECT_EQ(Get("con.htm"), kPage);
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
  RunResult preview = Run({"page.htm", "-n", "-1"});
  EXPECT_NE(preview.output.find("refuserait : " + second.output + "\n"),
            std::string::npos);
  EXPECT_EQ(preview.status, 2);
  // The first run goes on and completes.
  for (const char* answer :
       {"1\n", "Entete\n", "v.gif\n", "s.gif\n", "carte\n", "lien.htm\n"}) {
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
  EXPECT_EQ(Get("page.htm"), NewPage());
  EXPECT_EQ(Listing(), std::vector<std::string>(
                           {"page.htm", "page.htm.orig", "param.txt"}));
}

TEST_F(SafetyTest, PageEditedBeforeTheConfirmationIsKept) {
  // An edit that changes the size, and one that keeps it and puts the
  // modification time back: Windows keeps no change time, so there only
  // the checksum of a page whose times are too recent to tell can. The
  // page's time is set a minute ahead, so that it is that recent however
  // long the program takes to start (Wine).
  std::string same_size = kPage;
  same_size[same_size.find('A')] = 'Z';
  for (const std::string& edited :
       {std::string(kPage) + "<p>ajout</p>\n", same_size}) {
    Put("page.htm", kPage);
    Put("param.txt", kParams);
    struct timespec ahead[2];
    clock_gettime(CLOCK_REALTIME, &ahead[0]);
    ahead[0].tv_sec += 60;
    ahead[1] = ahead[0];
    ASSERT_EQ(utimensat(AT_FDCWD, (Folder() / "page.htm").c_str(), ahead, 0),
              0);
    Session s = Start({"page.htm", "-1"});
    ASSERT_TRUE(WaitFor(&s, kConfirm));
    struct stat before;
    ASSERT_EQ(stat((Folder() / "page.htm").c_str(), &before), 0);
    Put("page.htm", edited);
    const struct timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(utimensat(AT_FDCWD, (Folder() / "page.htm").c_str(), times, 0),
              0);
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

// Interruptions: SIGINT (Ctrl-C), SIGQUIT (Ctrl-\\), SIGTERM (kill) and
// SIGHUP (a closed terminal), at a question, at the confirmation, and during
// the rewrite of a page of a few megabytes, with param.txt and after the
// questions at the console.
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
  // At a question, at the confirmation, during the writing of the new page,
  // during the rewrite that follows the questions at the console, and at a
  // question of a preview.
  for (int moment = 0; moment < 5; ++moment) {
    SCOPED_TRACE("moment " + std::to_string(moment));
    Put("page.htm", page);
    std::filesystem::remove(dir_.path / "page.htm.orig");
    const bool console = moment == 0 || moment == 3 || moment == 4;
    Session s = Start(moment == 4 ? std::vector<std::string>{"page.htm", "-n"}
                      : console   ? std::vector<std::string>{"page.htm"}
                                  : std::vector<std::string>{"page.htm", "-1"});
    ASSERT_TRUE(WaitFor(&s, console ? "Numero de colonne : " : kConfirm));
    if (moment == 2) Send(&s, "\n");
    if (moment == 3) {
      std::string answers = kParams;
      // The first question has been seen already.
      for (std::size_t i = 0; i < std::size(kPrompts); ++i) {
        if (i > 0) {
          ASSERT_TRUE(WaitFor(&s, kPrompts[i])) << Printed(s);
        }
        const std::size_t end = answers.find('\n') + 1;
        Send(&s, answers.substr(0, end));
        answers.erase(0, end);
      }
    }
    kill(s.pid, signal_number);
    RunResult r = Finish(&s);
    if (moment == 4) {
      EXPECT_EQ(r.status, 255);
      EXPECT_TRUE(r.output.ends_with(message)) << r.output;
      EXPECT_EQ(Listing(), std::vector<std::string>({"page.htm", "param.txt"}));
      continue;
    }
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
                         ::testing::Values(SIGINT, SIGQUIT, SIGTERM, SIGHUP));

// Pages that a team shares, each run as another user where that matters
// (root starts it through setpriv): the page keeps its owner, group, mode,
// access list and inode, and a refused run keeps the earlier backup.
constexpr uid_t kOwner = 4001;
constexpr uid_t kMember = 4002;
constexpr gid_t kTeam = 4100;

struct SharedCase {
  std::string what;
  /// Sets up the folder "equipe" and the page in it; false to skip the row
  /// on a machine that cannot give it (no mount, no pid namespace).
  std::function<bool(const fs::path& folder)> setup;
  std::vector<std::string> prefix;  ///< How the program is started.
  std::string message;              ///< The output after the confirmation.
  std::function<void(const fs::path& folder)> check;
};

void Shell(const std::string& command) {
  ASSERT_EQ(system(command.c_str()), 0) << command;
}

std::vector<std::string> As(uid_t user, bool in_team) {
  return {"setpriv", "--reuid=" + std::to_string(user),
          "--regid=" + std::to_string(user),
          in_team ? "--groups=" + std::to_string(kTeam) : "--clear-groups",
          "--"};
}

std::string Acl(const fs::path& file) {
  char value[1024];
  ssize_t size =
      getxattr(file.c_str(), "system.posix_acl_access", value, sizeof value);
  return size < 0 ? "" : std::string(value, static_cast<std::size_t>(size));
}

// The page has its new text and kept what the table row names.
void ExpectKept(const fs::path& page, const struct stat& before) {
  struct stat now;
  ASSERT_EQ(stat(page.c_str(), &now), 0);
  EXPECT_EQ(ReadBytes(page), NewPage());
  EXPECT_EQ(now.st_ino, before.st_ino) << "a new file took the page's place";
  EXPECT_EQ(now.st_uid, before.st_uid);
  EXPECT_EQ(now.st_gid, before.st_gid);
  EXPECT_EQ(now.st_mode, before.st_mode);
}

TEST_F(SafetyTest, SharedPagesKeepWhatTheTeamSet) {
  if (Windows()) GTEST_SKIP() << "POSIX owners, signals and mounts";
  if (geteuid() != 0) GTEST_SKIP() << "needs root to act as other users";
  const fs::path folder = Folder() / "equipe";
  const fs::path page = folder / "page.htm";
  struct stat before = {};
  auto make = [&](const char* mode, uid_t owner, gid_t group,
                  const char* folder_mode) {
    fs::create_directory(folder);
    WriteBytes(page, kPage);
    WriteBytes(folder / "param.txt", kParams);
    Shell(std::string("chmod ") + folder_mode + " " + folder.string() +
          " && chmod " + mode + " " + page.string());
    EXPECT_EQ(chown(page.c_str(), owner, group), 0);
    stat(page.c_str(), &before);
  };
  const std::vector<SharedCase> cases = {
      {"a member of the page's group",
       [&](const fs::path& f) {
         make("0660", kOwner, kTeam, "2770");
         EXPECT_EQ(chown(f.c_str(), kOwner, kTeam), 0);
         return true;
       },
       As(kMember, true), "",
       [&](const fs::path& f) {
         ExpectKept(page, before);
         struct stat backup;
         ASSERT_EQ(stat((f / "page.htm.orig").c_str(), &backup), 0);
         EXPECT_EQ(backup.st_gid, kTeam);
         EXPECT_EQ(backup.st_mode & 07777, 0660u);
       }},
      {"a user given write access by an access list",
       [&](const fs::path& f) {
         make("0640", kOwner, kOwner, "0755");
         Shell("setfacl -m u:" + std::to_string(kMember) + ":rwx " +
               f.string() + " && setfacl -m u:" + std::to_string(kMember) +
               ":rw " + page.string());
         stat(page.c_str(), &before);
         return true;
       },
       As(kMember, false), "",
       [&](const fs::path&) {
         const std::string acl = Acl(page);
         ExpectKept(page, before);
         EXPECT_FALSE(acl.empty());
         EXPECT_EQ(Acl(page), acl);
       }},
      {"a sticky shared folder",
       [&](const fs::path&) {
         make("0666", kOwner, kOwner, "1777");
         return true;
       },
       As(kMember, false), "",
       [&](const fs::path&) { ExpectKept(page, before); }},
      {"a page this user may not write, with an earlier backup",
       [&](const fs::path& f) {
         make("0644", kOwner, kOwner, "0777");
         WriteBytes(f / "page.htm.orig", "sauvegarde precedente");
         return true;
       },
       As(kMember, false),
       "impossible d'ecrire le fichier page.htm : le fichier n'a pas ete "
       "modifie",
       [&](const fs::path& f) {
         EXPECT_EQ(ReadBytes(page), kPage);
         EXPECT_EQ(ReadBytes(f / "page.htm.orig"), "sauvegarde precedente");
       }},
      {"a folder where this user may create no file",
       [&](const fs::path& f) {
         make("0666", kOwner, kOwner, "0755");
         WriteBytes(f / "page.htm.orig", "sauvegarde precedente");
         return true;
       },
       As(kMember, false),
       "impossible de creer un fichier dans le dossier " +
           (fs::weakly_canonical(folder)).string() +
           " (acces refuse) : le fichier page.htm n'a pas ete modifie",
       [&](const fs::path& f) {
         EXPECT_EQ(ReadBytes(page), kPage);
         EXPECT_EQ(ReadBytes(f / "page.htm.orig"), "sauvegarde precedente");
       }},
      {"a page mounted in place",
       [&](const fs::path& f) {
         make("0644", 0, 0, "0755");
         WriteBytes(Folder() / "source.htm", kPage);
         stat((Folder() / "source.htm").c_str(), &before);
         return system(("mount --bind " + (Folder() / "source.htm").string() +
                        " " + (f / "page.htm").string() + " 2>/dev/null")
                           .c_str()) == 0;
       },
       {},
       "",
       [&](const fs::path& f) {
         EXPECT_EQ(ReadBytes(Folder() / "source.htm"), NewPage());
         Shell("umount " + (f / "page.htm").string());
       }},
      {"200 leftovers of a run that had the process number 1",
       [&](const fs::path& f) {
         make("0644", 0, 0, "0755");
         for (int i = 0; i < 200; ++i) {
           WriteBytes(f / ("brantix-1-" + std::to_string(i) + ".tmp"), "");
         }
         return system("unshare --pid --fork true 2>/dev/null") == 0;
       },
       {"unshare", "--pid", "--fork"},
       "",
       [&](const fs::path& f) {
         EXPECT_EQ(ReadBytes(page), NewPage());
         EXPECT_TRUE(fs::exists(f / "brantix-1-199.tmp"));
       }},
  };
  for (const SharedCase& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(folder);
    if (!c.setup(folder)) {
      std::printf("skipped on this machine: %s\n", c.what.c_str());
      continue;
    }
    RunOptions options;
    options.folder = folder.string();
    options.input = "\n";
    options.prefix = c.prefix;
    RunResult r = RunProgram({"page.htm", "-1"}, options);
    const bool refused = !c.message.empty();
    EXPECT_EQ(r.output, refused ? c.message : std::string(kConfirm));
    EXPECT_EQ(r.status, refused ? 255 : 0);
    c.check(folder);
    EXPECT_FALSE(RecordLeft(folder / "page.htm"));
  }
}

// Windows refuses to rename over a file that another program holds open
// without sharing its deletion: the page is opened again, checked, and
// written in place.
TEST_F(SafetyTest, RenameRefusedOnWindowsWritesInPlace) {
  const char* hold = getenv("BRANTIX_HOLD");
  if (!Windows() || hold == nullptr || !fs::exists(hold)) {
    GTEST_SKIP() << "a Windows program holding the page";
  }
  Put("page.htm", kPage);
  Put("param.txt", kParams);
  const std::string program = getenv("BRANTIX_PROGRAM");
  setenv("BRANTIX_PROGRAM", hold, 1);
  Session holder = Start({"page.htm"});
  setenv("BRANTIX_PROGRAM", program.c_str(), 1);
  ASSERT_TRUE(WaitFor(&holder, "tenu"));
  struct stat before, after;
  ASSERT_EQ(stat((Folder() / "page.htm").c_str(), &before), 0);
  RunResult r = RunOn("page.htm");
  ASSERT_EQ(stat((Folder() / "page.htm").c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino) << "renamed, not written in place";
  CloseInput(&holder);
  Finish(&holder);
  EXPECT_EQ(r.output, kConfirm);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(Get("page.htm"), NewPage());
  EXPECT_EQ(Listing(), std::vector<std::string>(
                           {"page.htm", "page.htm.orig", "param.txt"}));
}

// A rename would cut a second name off the page: it is written in place,
// and its record is gone at the end (on Windows too), whatever the name.
TEST_F(SafetyTest, PageWithASecondNameKeepsIt) {
  Put("param.txt", kParams);
  for (const std::string name :
       {"page.htm", "\u65e5\u672c Dvo\u0159\u00e1k \U0001F600.htm"}) {
    SCOPED_TRACE(name);
    Put(name, kPage);
    fs::create_hard_link(Folder() / name, Folder() / "lien.htm");
    RunResult r = RunOn(name);
    EXPECT_EQ(r.output, kConfirm);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(Get("lien.htm"), NewPage());
    EXPECT_TRUE(fs::equivalent(Folder() / name, Folder() / "lien.htm"));
    std::vector<std::string> expected = {"lien.htm", name, name + ".orig",
                                         "param.txt"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Listing(), expected);
    for (const std::string& left :
         {std::string("lien.htm"), name, name + ".orig"}) {
      fs::remove(Folder() / left);
    }
  }
  // A page of a 245-byte name in a folder whose path is some 1,800 bytes
  // long: the record of its write holds no name, so it fits anywhere.
  if (Windows()) return;
  fs::path deep = Folder();
  for (int i = 0; i < 7; ++i) deep /= std::string(250, 'a' + i);
  fs::create_directories(deep);
  const std::string name = std::string(241, 'p') + ".htm";
  WriteBytes(deep / name, kPage);
  WriteBytes(deep / "param.txt", kParams);
  fs::create_hard_link(deep / name, deep / "lien.htm");
  RunOptions options;
  options.folder = deep.string();
  options.input = "\n";
  RunResult r = RunProgram({name, "-1"}, options);
  EXPECT_EQ(r.output, kConfirm);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(ReadBytes(deep / "lien.htm"), NewPage());
}

// A page that a write in place left, under a name outside the ANSI code
// page: finished where its new text is whole, undone where it is not, what
// it held kept beside it, on every platform.
TEST_F(SafetyTest, WriteInPlaceLeftMidwayIsFinishedOrUndone) {
  const std::string name = "\u65e5\u672c Dvo\u0159\u00e1k.htm";
  const std::string old = kPage, fresh = NewPage();
  Put("param.txt", kParams);
  const std::string stopped =
      "une execution precedente a ete interrompue pendant l'ecriture du "
      "fichier " +
      name + " : ";
  struct Case {
    std::size_t head, tail;
    std::string outcome, page, added;
  } cases[] = {
      {10, fresh.size(), "son ecriture a ete achevee", fresh, ""},
      {0, fresh.size(),
       "son ecriture a ete achevee, il a la colonne qu'elle ajoutait (ce "
       "qu'elle a retire et qui n'etait pas a elle est garde dans brantix-",
       fresh, "<p>ajout</p>\n"},
      {0, fresh.size() - 1, "il a ete remis tel qu'il etait, relancez brantix",
       old, ""},
  };
  for (const Case& c : cases) {
    const std::string left = LeftByAWrite(old, fresh, c.head, c.tail) + c.added;
    Put(name, left);
    // A copy that a recovery killed midway left: the next one writes the
    // same copy again, under the name the write's record gives it.
    const std::string id = left.substr(left.rfind(" -->") - 12, 12);
    if (c.head > 0) Put("brantix-" + id + ".avant", "copie interrompue");
    RunResult r = RunOn(name);
    EXPECT_EQ(r.output.substr(0, stopped.size() + c.outcome.size()),
              stopped + c.outcome);
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(Get(name), c.page);
    std::string kept;
    int copies = 0;
    for (const auto& e : fs::directory_iterator(Folder())) {
      if (e.path().extension() == ".avant") {
        kept = ReadBytes(e.path());
        fs::remove(e.path());
        ++copies;
      }
    }
    EXPECT_LE(copies, 1);
    // Only what cannot be told is kept: the old text not yet overwritten
    // where the write had begun the start, a line appended after it.
    if (c.head > 0) {
      EXPECT_EQ(kept.substr(0, old.size()), left.substr(0, old.size()));
    } else if (!c.added.empty()) {
      EXPECT_EQ(kept.substr(left.size() - c.added.size()), c.added);
    } else {
      EXPECT_EQ(kept, "");
    }
    EXPECT_TRUE(kept.empty() || kept.size() == left.size());
  }
  // A file of the copy's name that another user planted is left alone.
  if (!Windows() && geteuid() == 0) {
    const std::string left = LeftByAWrite(old, fresh, 10, fresh.size());
    const std::string planted =
        "brantix-" + left.substr(left.rfind(" -->") - 12, 12) + ".avant";
    Put(name, left);
    Put(planted, "plante");
    ASSERT_EQ(chown((Folder() / planted).c_str(), 4003, 4003), 0);
    EXPECT_EQ(RunOn(name).status, 255);
    EXPECT_EQ(Get(planted), "plante");
    int copies = 0;
    for (const auto& e : fs::directory_iterator(Folder())) {
      if (e.path().extension() != ".avant") continue;
      ++copies;
      fs::remove(e.path());
    }
    EXPECT_EQ(copies, 2);
  }
  // A record that a power cut lost or tore, the page's size kept: the old
  // text, zeros, part of the record.
  // Then with a line appended since, which is kept aside.
  const std::string torn = LeftByAWrite(old, fresh, 0, 0);
  for (const std::string added : {"", "<p>ajout</p>\n"}) {
    Put(name, torn.substr(0, torn.size() - 40) + std::string(40, '\0') + added);
    RunResult lost = RunOn(name);
    const std::string said =
        stopped.substr(0, stopped.size() - 3) +
        ", avant d'en ecrire le texte : les octets nuls qu'elle avait ajoutes "
        "a sa fin ont ete retires" +
        (added.empty() ? ", relancez brantix" : " (ce qu'elle a retire");
    EXPECT_EQ(lost.output.substr(0, said.size()), said);
    EXPECT_EQ(Get(name), old);
    for (const auto& e : fs::directory_iterator(Folder())) {
      if (e.path().extension() != ".avant") continue;
      EXPECT_EQ(ReadBytes(e.path()).substr(torn.size()), added);
      fs::remove(e.path());
    }
  }
  // Changed since: its line ends converted, the start then neither text.
  // Nothing is changed; the instruction, followed, gives the page back.
  std::string edited;
  for (char c : LeftByAWrite(old, fresh, 5, 0)) {
    edited += c == '\n' ? std::string("\r\n") : std::string(1, c);
  }
  Put(name, edited);
  Put(name + ".orig", LoneLfToCrLf(old));
  RunResult r = RunOn(name);
  EXPECT_EQ(r.output, stopped.substr(0, stopped.size() - 3) +
                          ", qui a ete modifie depuis : rien n'a ete change ; "
                          "remplacez-le par sa sauvegarde " +
                          name +
                          ".orig, qui a son texte d'avant l'execution "
                          "interrompue");
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(Get(name), edited);
  Put(name, Get(name + ".orig"));
  EXPECT_EQ(RunOn(name).status, 0);
  EXPECT_EQ(Get(name), LoneLfToCrLf(fresh));
}

// What only the run's own handle on the page can see: a backup emptied, or
// a hangup that nohup meant to ignore, while the confirmation waits.
TEST_F(SafetyTest, ConfirmationWaitsSafely) {
  Put("page.htm", kPage);
  Put("param.txt", kParams);
  Session s = Start({"page.htm"});
  std::string answers = kParams;
  for (const char* prompt : kPrompts) {
    ASSERT_TRUE(WaitFor(&s, prompt));
    const std::size_t end = answers.find('\n') + 1;
    Send(&s, answers.substr(0, end));
    answers.erase(0, end);
  }
  ASSERT_TRUE(WaitFor(&s, kConfirm));
  Put("page.htm.orig", "");
  Send(&s, "\n");
  RunResult r = Finish(&s);
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(Get("page.htm"), NewPage());

  // A page written in place needs no backup to finish or undo its write:
  // an emptied backup does not stop it.
  Put("page.htm", kPage);
  fs::create_hard_link(Folder() / "page.htm", Folder() / "lien.htm");
  Session linked = Start({"page.htm", "-1"});
  ASSERT_TRUE(WaitFor(&linked, kConfirm));
  Put("page.htm.orig", "");
  Send(&linked, "\n");
  RunResult written = Finish(&linked);
  EXPECT_EQ(written.output, kConfirm);
  EXPECT_EQ(written.status, 0);
  EXPECT_EQ(Get("lien.htm"), NewPage());
  fs::remove(Folder() / "lien.htm");

  if (Windows()) return;
  Put("page.htm", kPage);
  Session quiet =
      StartSession({"page.htm", "-1"}, Folder().string(), false, {"nohup"});
  ASSERT_TRUE(WaitFor(&quiet, kConfirm));
  kill(quiet.pid, SIGHUP);
  usleep(100000);
  Send(&quiet, "\n");
  RunResult hung_up = Finish(&quiet);
  EXPECT_EQ(hung_up.status, 0) << hung_up.output;
  EXPECT_EQ(Get("page.htm"), NewPage());
}

// A page larger than one block of the in-place copy, so that a kill can
// leave it half-written; LF line ends, so that its backup differs from it.
std::string BigPage() {
  std::string p = "<table>\n<tr>\n<td>\nA\n</td>\n</tr>\n";
  for (int i = 0; p.size() < 300000; ++i) {
    p += "<tr>\n<td>\nligne " + std::to_string(i) + "\n</td>\n</tr>\n";
  }
  return p + "</table>\n";
}

// Runs the program with the faulty seam of the fault sweep, with |variables|
// (BRANTIX_FAULT_*=value) set for it, started by |prefix|.
RunResult RunFaulty(const fs::path& folder, const std::string& page,
                    const std::vector<std::string>& prefix,
                    const std::vector<std::string>& variables) {
  const std::string program = getenv("BRANTIX_PROGRAM");
  setenv("BRANTIX_PROGRAM", getenv("BRANTIX_FAULTY"), 1);
  for (const std::string& v : variables) {
    const std::size_t equal = v.find('=');
    setenv(v.substr(0, equal).c_str(), v.substr(equal + 1).c_str(), 1);
  }
  RunOptions options;
  options.folder = folder.string();
  options.input = "\n";
  options.prefix = prefix;
  RunResult r = RunProgram({page, "-1"}, options);
  for (const std::string& v : variables)
    unsetenv(v.substr(0, v.find('=')).c_str());
  setenv("BRANTIX_PROGRAM", program.c_str(), 1);
  return r;
}

// Kills a run on |page| in the middle of its write in place: the record is
// on the page, and the page is neither its old text nor its new one.
// |reset| puts the folder back as it was before each try.
bool KillMidWrite(const fs::path& folder, const std::string& page,
                  const std::vector<std::string>& prefix,
                  const std::function<void()>& reset) {
  // Every row runs the same page and column: the point found first serves
  // the others, which are then one run each.
  static long long known = 0;
  auto kill_at = [&](long long n) {
    reset();
    const std::string before = ReadBytes(folder / page);
    RunFaulty(
        folder, page, prefix,
        {"BRANTIX_FAULT_CRASH=1", "BRANTIX_FAULT_AT=" + std::to_string(n)});
    return RecordLeft(folder / page) && ReadBytes(folder / page) != before;
  };
  if (known > 0 && kill_at(known)) return true;
  const std::string log = "/tmp/brantix-calls-" + std::to_string(getpid());
  reset();
  WriteBytes(log, "");
  chmod(log.c_str(), 0666);
  RunFaulty(folder, page, prefix, {"BRANTIX_FAULT_LOG=" + log});
  long long calls = 0;
  std::sscanf(ReadBytes(log).c_str(), "%lld", &calls);
  std::remove(log.c_str());
  for (long long n = calls - 1; n > 0 && n > calls - 60; --n) {
    if (kill_at(n)) {
      known = n;
      return true;
    }
  }
  return false;
}

// An unfinished write in place, met by other users of a shared folder:
// only a user who may write the page can leave its record, every name of
// the page finds it, and a page that is not what the write left, or a
// backup that is not the one it wrote, is never put back.
TEST_F(SafetyTest, UnfinishedWritesOfATeam) {
  if (Windows()) GTEST_SKIP() << "POSIX owners and extended attributes";
  if (geteuid() != 0) GTEST_SKIP() << "needs root to act as other users";
  if (getenv("BRANTIX_FAULTY") == nullptr) GTEST_SKIP() << "no faulty build";
  if (const char* size = getenv("BRANTIX_SWEEP");
      size != nullptr && std::string(size) == "small") {
    GTEST_SKIP() << "kills midway: native build only";
  }
  constexpr uid_t kStranger = 4003;
  const fs::path folder = Folder() / "equipe";
  const fs::path other = Folder() / "autre";
  const fs::path page = folder / "page.htm";
  const std::string big = BigPage();
  // The page of owner A, writable by the team, in a sticky folder.
  auto make = [&](const char* folder_mode) {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    fs::remove_all(other, ignored);
    fs::create_directory(folder);
    WriteBytes(page, big);
    WriteBytes(folder / "param.txt", kParams);
    Shell(std::string("chmod ") + folder_mode + " " + folder.string() +
          " && chmod 0664 " + page.string());
    EXPECT_EQ(chown(page.c_str(), kOwner, kTeam), 0);
    // A group folder belongs to the team; a sticky one to root, like /tmp.
    if (folder_mode[0] == '2') {
      EXPECT_EQ(chown(folder.c_str(), kOwner, kTeam), 0);
    }
  };
  // What a run makes of the page, from a copy of it.
  const fs::path scratch = Folder() / "calcul";
  fs::create_directory(scratch);
  WriteBytes(scratch / "page.htm", big);
  WriteBytes(scratch / "param.txt", kParams);
  RunOptions scratch_run;
  scratch_run.folder = scratch.string();
  scratch_run.input = "\n";
  ASSERT_EQ(RunProgram({"page.htm", "-1"}, scratch_run).status, 0);
  const std::string big_new = ReadBytes(scratch / "page.htm");
  const std::string stopped =
      "une execution precedente a ete interrompue pendant l'ecriture du "
      "fichier page.htm";
  // The page finished or undone, and what it held kept beside it.
  auto healed = [&](const RunResult& r, const fs::path&, const fs::path& name) {
    EXPECT_EQ(r.output.substr(0, stopped.size() + 3), stopped + " : ");
    EXPECT_EQ(r.status, 255);
    const std::string now = ReadBytes(name);
    EXPECT_TRUE(now == big || now == big_new) << r.output;
    EXPECT_FALSE(RecordLeft(name));
  };
  struct Row {
    std::string what;
    std::function<bool()> setup;  ///< False: the kill could not be placed.
    fs::path where;               ///< The folder of the run that checks.
    std::vector<std::string> prefix;
    std::function<void(const RunResult&)> check;
    std::vector<std::string> args = {"page.htm", "-1"};
  };
  auto member_killed = [&](const char* folder_mode) {
    return [&, folder_mode] {
      return KillMidWrite(folder, "page.htm", As(kMember, true),
                          [&, folder_mode] { make(folder_mode); });
    };
  };
  const std::vector<Row> rows = {
      {"a preview of a half-written page shows no cell, and why",
       member_killed("1777"),
       folder,
       As(kOwner, true),
       [&](const RunResult& r) {
         EXPECT_EQ(r.output,
                   "attention : brantix remettrait d'abord en etat le fichier "
                   "page.htm, dont une ecriture sur place est restee "
                   "inachevee\nnote : la sauvegarde page.htm.orig existe et "
                   "serait remplacee\ntotal : 0 entete, 0 cartes, 0 tirets, 1 "
                   "avertissements\n");
         EXPECT_EQ(r.status, 2);
         EXPECT_TRUE(RecordLeft(page));
       },
       {"page.htm", "-1", "--dry-run"}},
      {"a preview by a user who may not write the page or its folder",
       [&] {
         make("0755");
         Shell("chmod 0644 " + page.string());
         return true;
       },
       folder,
       As(kStranger, false),
       [&](const RunResult& r) {
         EXPECT_NE(r.output.find("attention : brantix refuserait : le fichier "
                                 "page.htm ne peut pas etre ecrit par cet "
                                 "utilisateur\nattention : brantix "
                                 "refuserait : aucun fichier ne peut etre cree "
                                 "dans le dossier "),
                   std::string::npos)
             << r.output;
         // A refusal, told apart from warnings; the cells still shown.
         EXPECT_EQ(r.status, 2);
         EXPECT_NE(r.output.find("ligne "), std::string::npos) << r.output;
       },
       {"-n", "page.htm", "-1"}},
      {"a member's run killed midway, put right by the page's owner",
       member_killed("1777"), folder, As(kOwner, true),
       [&](const RunResult& r) { healed(r, folder, page); }},
      {"the same in a setgid folder, put right by root",
       member_killed("2770"),
       folder,
       {},
       [&](const RunResult& r) { healed(r, folder, page); }},
      {"a user who may only read the page cannot put it right",
       member_killed("1777"), folder, As(kStranger, false),
       [&](const RunResult& r) {
         EXPECT_EQ(r.output,
                   stopped +
                       " : impossible de le remettre en etat (acces refuse), "
                       "la prochaine execution de brantix par un utilisateur "
                       "qui peut l'ecrire le fera");
         EXPECT_EQ(r.status, 255);
         EXPECT_TRUE(RecordLeft(page));
       }},
      {"the page changed after the kill: nothing is changed",
       [&] {
         if (!member_killed("2770")()) return false;
         WriteBytes(page, "<p>ajout</p>\r\n" + ReadBytes(page));
         return true;
       },
       folder, As(kOwner, true),
       [&](const RunResult& r) {
         EXPECT_EQ(r.output.substr(0, stopped.size() + 31),
                   stopped + ", qui a ete modifie depuis : ri");
         EXPECT_EQ(r.status, 255);
         EXPECT_TRUE(RecordLeft(page));
       }},
      {"the page written anew by hand after the kill: a plain run",
       [&] {
         if (!member_killed("2770")()) return false;
         WriteBytes(page, kPage);
         return true;
       },
       folder, As(kOwner, true),
       [&](const RunResult& r) {
         EXPECT_EQ(r.output, kConfirm);
         EXPECT_EQ(r.status, 0);
         EXPECT_EQ(ReadBytes(page), NewPage());
       }},
      {"a run through a hard link in another folder finds the record",
       [&] {
         return KillMidWrite(folder, "page.htm", As(kOwner, true), [&] {
           make("0777");
           fs::create_directory(other);
           chmod(other.c_str(), 0777);
           fs::create_hard_link(page, other / "page.htm");
           WriteBytes(other / "param.txt", kParams);
         });
       },
       other, As(kOwner, true),
       [&](const RunResult& r) { healed(r, other, other / "page.htm"); }},
      {"a half-written page copied to another file system is put right there",
       [&] {
         if (!member_killed("1777")()) return false;
         fs::create_directory(other);
         chmod(other.c_str(), 0777);
         return system(("mount -t tmpfs none " + other.string() +
                        " 2>/dev/null && cp " + page.string() + " " +
                        other.string() + "/page.htm && chmod 0666 " +
                        other.string() + "/page.htm")
                           .c_str()) == 0;
       },
       other, As(kOwner, true),
       [&](const RunResult& r) {
         healed(r, other, other / "page.htm");
         Shell("umount " + other.string());
       }},
      {"a record forged by a member changes nothing but the page",
       [&] {
         make("1777");
         WriteBytes(folder / "victime.txt", "a garder");
         // The record of a write of 3 bytes over the first 10 whose new
         // text is not there: the run cuts the page to 10 bytes.
         WriteBytes(folder / "forge",
                    LeftByAWrite(big.substr(0, 10), "abc", 0, 0));
         Shell("setpriv --reuid=" + std::to_string(kMember) + " --regid=" +
               std::to_string(kTeam) + " --clear-groups -- sh -c 'cat " +
               (folder / "forge").string() + " > " + page.string() + "'");
         fs::remove(folder / "forge");
         return true;
       },
       folder,
       {},
       [&](const RunResult& r) {
         EXPECT_EQ(r.output.substr(0, stopped.size() + 30),
                   stopped + " : il a ete remis tel qu'il et");
         EXPECT_EQ(ReadBytes(page), big.substr(0, 10));
         EXPECT_EQ(ReadBytes(folder / "victime.txt"), "a garder");
         std::vector<std::string> names;
         for (const auto& e : fs::directory_iterator(folder)) {
           const std::string name = e.path().filename().string();
           if (!name.ends_with(".avant")) names.push_back(name);
         }
         std::sort(names.begin(), names.end());
         EXPECT_EQ(names, std::vector<std::string>(
                              {"page.htm", "param.txt", "victime.txt"}));
       }},
      {"a backup planted by a user who may not write the page",
       [&] {
         make("1777");
         Shell("chmod 0644 " + page.string());
         const std::string as = "setpriv --reuid=" + std::to_string(kStranger) +
                                " --regid=" + std::to_string(kStranger) +
                                " --clear-groups -- sh -c 'cd " +
                                folder.string() + " && ";
         Shell(as + "printf \"%030d\" 0 > page.htm.orig'");
         return true;
       },
       folder, As(kOwner, false),
       [&](const RunResult& r) {
         EXPECT_EQ(r.output,
                   "la sauvegarde page.htm.orig appartient a un autre "
                   "utilisateur, dans un dossier ou lui seul peut la "
                   "remplacer : demandez-lui de la supprimer ; le fichier "
                   "page.htm n'a pas ete modifie");
         EXPECT_EQ(r.status, 255);
         EXPECT_EQ(ReadBytes(page), big);
       }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    if (!row.setup()) {
      ADD_FAILURE() << "no kill point left the page half-written";
      continue;
    }
    RunOptions options;
    options.folder = row.where.string();
    options.input = "\n";
    options.prefix = row.prefix;
    row.check(RunProgram(row.args, options));
  }
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  fs::remove_all(other, ignored);
}

}  // namespace
