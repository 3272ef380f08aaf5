// Fault sweeps: the real program run again and again on the same page, each
// time with a different write limit, with a different platform call
// failing, or killed at a different platform call, and the files checked
// after every run. Whatever happens, the page is exactly its old text or
// exactly its new text (or, while a page written in place ends with the
// record of its write, anything, which the next run finishes or undoes),
// the backup is complete or the earlier one, a run that says it failed has
// left the page as it was, and the only files left behind are a killed
// run's temporary files, named after brantix. System calls interrupted
// (EINTR) or coming up short change nothing at all. Kills may also be
// power cuts, which take back what was not flushed.
#include <errno.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <iterator>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "tests/e2e.h"
#include "tests/process.h"
#include "tests/test_util.h"
#include "tests/text_model.h"

namespace {

namespace fs = std::filesystem;

const char kSweepParams[] =
    "2\nNouvelle colonne\nvideo.gif\nson.gif\ncarte\nfilm.htm\n";
const char kPageName[] = "page.htm";
// A second name of the page, for the scenes where a rename would cut it
// off: the page is then written in place, under the record of its write.
const char kLinkName[] = "lien.htm";
const char kBackupName[] = "page.htm.orig";
const char kOldBackup[] = "sauvegarde d'une execution precedente\r\n";

// A table of |rows| rows, three lines per cell, with sound icons, link
// paths, lone LFs, a line longer than a piece, and no line end at the end.
std::string SamplePage(int rows) {
  std::string p =
      "<html>\r\n<head><title>Films</title></head>\n<body>\r\n"
      "<table border=1>\r\n<tr>\r\n";
  for (int c = 0; c < 3; ++c) {
    p += "\t<td>\r\n\tTitre " + std::to_string(c) + "\r\n\t</td>\r\n";
  }
  p += "</tr>\r\n";
  for (int r = 0; r < rows; ++r) {
    std::string n = std::to_string(r);
    p += "<tr>\r\n\t<td>\r\n\t<a href=\"..///films/f" + n + ".htm\">film " + n +
         "</a>\r\n\t</td>\r\n";
    p += r % 3 == 2 ? "\t<td>sans son</td>\r\n"
                    : "\t<td><img src=\"son.gif\"></td>\n";
    p += "\t<td>\r\n\tnote " + n + "\r\n\t</td>\r\n</tr>\r\n";
    if (r % 7 == 3) p += std::string(700, 'a' + r % 26) + "\r\n";
  }
  return p + "</table>\r\n</body>\r\n</html>";
}

// Sets environment variables for the children started while it lives, and
// puts the earlier values back at the end.
struct Environment {
  std::vector<std::pair<std::string, std::optional<std::string>>> saved;
  void Set(const std::string& name, const std::string& value) {
    const char* old = getenv(name.c_str());
    saved.emplace_back(name,
                       old ? std::optional<std::string>(old) : std::nullopt);
    setenv(name.c_str(), value.c_str(), 1);
  }
  ~Environment() {
    for (auto it = saved.rbegin(); it != saved.rend(); ++it) {
      if (it->second) {
        setenv(it->first.c_str(), it->second->c_str(), 1);
      } else {
        unsetenv(it->first.c_str());
      }
    }
  }
};

enum class Mode { kLimit, kOnce, kPersist, kCrash, kEintr, kShort };

// The page and backup before a run, and what a complete run leaves.
struct Scene {
  std::string page;
  std::optional<std::string> old_backup;
  std::string expected_page;
  std::string expected_backup;
  bool hard_link = false;       ///< The page has a second name, kLinkName.
  bool link_elsewhere = false;  ///< That name is in another folder.
};

// Under the sanitizers, where every run is several times slower, the
// sweeps are smaller (BRANTIX_SWEEP=small): every mode on the small page
// that is renamed, failures and kills on the small page written in place,
// in the dialogue, and write limits with an earlier backup; the large
// pages, pages without extended attributes, and the rest of the modes
// only in the native build.
bool SmallSweep() {
  const char* size = getenv("BRANTIX_SWEEP");
  return size != nullptr && std::string(size) == "small";
}

// The start of the record that a page written in place ends with until
// its write is done.
const char kRecordStart[] = "\n<!-- brantix-en-cours ";

// The error numbers that the sweeps give the failing calls in turn, and the
// words of each that a message must hold.
const std::pair<int, std::string> kSweepErrors[] = {
    {ESTALE, "(erreur systeme " + std::to_string(ESTALE) + ")"},
    {EMFILE, "(trop de fichiers ouverts)"},
    {EIO, "(erreur d'entree-sortie)"},
    {ENOSPC, "(disque plein ou quota atteint)"}};

// A failure that a run tolerates, given before the chosen one: the listing
// of the page's attributes for its backup, refused (EACCES).
const char kToleratedFirst[] = "flistxattr 3 13";

// Whether a failed run's message must give the cause of the error number
// that the sweep gave, with a tolerated failure before it: on every page,
// renamed or written in place.
bool CausesChecked(const Scene&) { return true; }

// The kinds of power cut of the faulty program (BRANTIX_FAULT_POWER).
const char* const kPowerCuts[] = {"all",  "half",  "first", "blocks",
                                  "cuts", "zeros", "torn"};
constexpr std::size_t kCutKinds = std::size(kPowerCuts);

// How far the power-cut sweep goes (BRANTIX_POWER, from tests/power_cuts.sh):
// "full", every power cut at every kill point, and a second one at every
// point of the recovery that follows, but one only, in turn, on a large
// page; "every", that second cut at every point on a large page too;
// otherwise one kind at each point, in turn.
std::string Setting(const char* name) {
  const char* value = getenv(name);
  return value ? value : "";
}
bool FullPowerSweep() {
  return Setting("BRANTIX_POWER") == "full" ||
         Setting("BRANTIX_POWER") == "every";
}

class FaultSweep : public ::testing::Test {
 protected:
  static void TearDownTestSuite() {
    std::printf("fault sweep: %d runs of the program in all\n", total_runs_);
  }

  std::string Path(const std::string& name) { return dir_ / name; }

  std::string LinkPath(const Scene& s) {
    return s.link_elsewhere ? elsewhere_ / kLinkName : Path(kLinkName);
  }

  // Puts the scene's page, the parameter file and any earlier backup in an
  // otherwise empty folder, and the page's second name, if any.
  void Prepare(const Scene& s) {
    for (const auto& e : fs::directory_iterator(dir_.path)) fs::remove_all(e);
    for (const auto& e : fs::directory_iterator(elsewhere_.path)) {
      fs::remove_all(e);
    }
    WriteBytes(Path(kPageName), s.page);
    WriteBytes(Path("param.txt"), kSweepParams);
    if (s.old_backup) WriteBytes(Path(kBackupName), *s.old_backup);
    if (s.hard_link) fs::create_hard_link(Path(kPageName), LinkPath(s));
  }

  // Whether the page still ends with the record of a write in place, or
  // with the zeros and part of a record that a power cut leaves of it.
  bool RecordLeft() {
    const std::string page = ReadBytes(Path(kPageName));
    const std::string tail =
        page.substr(page.size() > 300 ? page.size() - 300 : 0);
    return tail.find(kRecordStart) != std::string::npos ||
           tail.find('\0') != std::string::npos;
  }

  RunResult Run(long long limit = -1) {
    ++total_runs_;
    if (dialogue_) return RunDialogue();
    RunOptions options;
    options.folder = dir_.path.string();
    options.input = "\n";
    options.file_size_limit = limit;
    return RunProgram({kPageName, "-1"}, options);
  }

  // Sends an answer; false when the program has already stopped, as it
  // does when its console fails.
  static bool Answer(Session* session, const std::string& bytes) {
    try {
      Send(session, bytes);
      return true;
    } catch (const std::runtime_error&) {
      return false;
    }
  }

  // The same run with the answers typed at the console, each once its
  // question is printed: the page is then rewritten from its backup.
  RunResult RunDialogue() {
    Session session = StartSession({kPageName}, dir_.path.string());
    std::string answers = kSweepParams;
    bool asked = true;
    std::string prompts;
    for (const char* prompt : kPrompts) {
      prompts += prompt;
      std::size_t end = answers.find('\n');
      asked = asked && WaitFor(&session, prompt);
      if (asked) asked = Answer(&session, answers.substr(0, end + 1));
      answers.erase(0, end + 1);
    }
    if (asked && WaitFor(&session, kConfirm)) Answer(&session, "\n");
    RunResult result = Finish(&session);
    // What follows the prompts is the run's message.
    prompts += kConfirm;
    std::size_t same = 0;
    while (same < result.output.size() && same < prompts.size() &&
           result.output[same] == prompts[same]) {
      ++same;
    }
    result.output.erase(0, same);
    return result;
  }

  // A scene whose expected result is what the real program makes of the
  // page without any limit.
  Scene MakeScene(const std::string& page, bool old_backup,
                  bool hard_link = false, bool link_elsewhere = false) {
    Scene s;
    s.page = page;
    s.hard_link = hard_link;
    s.link_elsewhere = link_elsewhere;
    Prepare(s);
    RunResult r = Run();
    EXPECT_EQ(r.status, 0) << r.output;
    s.expected_page = ReadBytes(Path(kPageName));
    s.expected_backup = ReadBytes(Path(kBackupName));
    EXPECT_EQ(s.expected_backup, LoneLfToCrLf(page));
    EXPECT_GT(s.expected_page.size(), s.expected_backup.size());
    if (old_backup) s.old_backup = kOldBackup;
    return s;
  }

  // The checks made after every run of a sweep.
  void Check(const Scene& s, const RunResult& r, Mode mode,
             const std::string& what) {
    SCOPED_TRACE(what + ", output: " + r.output);
    for (const auto& e : fs::directory_iterator(dir_.path)) {
      std::string name = e.path().filename().string();
      // A killed run cannot remove its temporary file; a run
      // whose removal of its temporary file failed leaves it too.
      const bool temporary =
          name.starts_with("brantix-") && name.ends_with(".tmp");
      // What a write in place that another program changed keeps aside.
      const bool kept =
          name.starts_with("brantix-") && name.ends_with(".avant");
      bool may_stay =
          ((mode == Mode::kCrash || mode == Mode::kPersist) && temporary) ||
          (mode == Mode::kOnce && temporary) || (kept && s.hard_link);
      EXPECT_TRUE(
          name == kPageName || name == kBackupName || name == "param.txt" ||
          (s.hard_link && !s.link_elsewhere && name == kLinkName) || may_stay)
          << "left behind: " << name;
    }
    for (const auto& e : fs::directory_iterator(elsewhere_.path)) {
      EXPECT_TRUE(s.link_elsewhere && e.path().filename().string() == kLinkName)
          << "left in the other folder: " << e.path().filename();
    }
    ASSERT_TRUE(fs::is_regular_file(Path(kPageName))) << "the page is gone";
    const std::string page = ReadBytes(Path(kPageName));
    if (s.hard_link) {
      EXPECT_TRUE(fs::equivalent(Path(kPageName), LinkPath(s)))
          << "the page lost its second name";
    }
    const bool record = RecordLeft();
    const bool has_backup = fs::exists(Path(kBackupName));
    const std::string backup = has_backup ? ReadBytes(Path(kBackupName)) : "";
    const bool backup_complete = has_backup && backup == s.expected_backup;
    const bool backup_previous =
        s.old_backup ? has_backup && backup == *s.old_backup : !has_backup;
    EXPECT_TRUE(backup_complete || backup_previous)
        << "backup neither complete nor the earlier one: " << backup.size()
        << " bytes";

    if (mode == Mode::kCrash || (mode == Mode::kPersist && record)) {
      if (mode == Mode::kCrash) {
        EXPECT_EQ(r.status, -SIGKILL);
      }
      EXPECT_TRUE(page == s.page || page == s.expected_page || record)
          << "page neither old nor new: " << page.size() << " bytes";
      // The new page goes in place only after the backup is complete.
      if (page != s.page || record) {
        EXPECT_TRUE(backup_complete);
      }
      return;
    }
    // Only a run that says that the next one will finish or undo the write
    // may leave its record: the cut that ends it failed.
    const bool left_for_next =
        r.output.find("la prochaine execution") != std::string::npos;
    EXPECT_TRUE(!record || left_for_next || mute_)
        << "a record left by a run that was not killed";
    if (mode == Mode::kEintr || mode == Mode::kShort) {
      EXPECT_EQ(r.status, 0) << "an interrupted or short call is not a failure";
    }
    if (r.status == 0) {
      EXPECT_EQ(r.output, dialogue_ ? "" : kConfirm);
      EXPECT_TRUE(page == s.expected_page)
          << "status 0 with a page of " << page.size() << " bytes instead of "
          << s.expected_page.size();
      EXPECT_TRUE(backup_complete);
      return;
    }
    ASSERT_EQ(r.status, 255) << "neither 0 nor -1 (negative: a signal)";
    std::string message = r.output;
    if (message.starts_with(kConfirm)) message.erase(0, sizeof kConfirm - 1);
    // A file size limit met before the backup is whole: the backup is the
    // earlier one, and the message says why.
    if (mode == Mode::kLimit && !backup_complete) {
      EXPECT_EQ(message,
                "erreur d'ecriture de la sauvegarde page.htm.orig (fichier "
                "trop grand pour la limite de taille)");
    }
    // Only a run whose standard output failed may stop without a message.
    EXPECT_TRUE(!message.empty() || mute_) << "stopped without a message";
    // It names the cause it was given, unless param.txt did not open or
    // the console's input failed, which ends it.
    EXPECT_TRUE(cause_.empty() || mute_ ||
                message.find(cause_) != std::string::npos ||
                message == "le fichier n'existe pas" ||
                message == "fin de la saisie avant la derniere reponse")
        << "not the cause " << cause_;
    // A page written in place and failing before its start was written is
    // cut back to its old text at once; a flush that fails after the cut
    // that ends the write leaves the new text, and says so.
    const bool not_flushed =
        message.find("pas encore sur le disque") != std::string::npos;
    if (message.find("il a sa nouvelle colonne") != std::string::npos) {
      EXPECT_TRUE(page == s.expected_page) << "not the new text";
    }
    if (message.find("il a son ancien texte") != std::string::npos) {
      EXPECT_TRUE(page == s.page) << "not the old text";
    }
    EXPECT_TRUE(page == s.page || (record && (left_for_next || mute_)) ||
                ((not_flushed || mute_) && page == s.expected_page))
        << "the run failed, yet the page changed: " << page.size() << " bytes";
  }

  // Every limit from 0 to past the larger of the finished page and the
  // backup: one byte apart around each multiple of |fine_every| and around
  // |marks|, |coarse| bytes apart elsewhere.
  static std::vector<long long> Limits(std::size_t top, std::size_t fine_every,
                                       std::size_t coarse,
                                       const std::vector<std::size_t>& marks) {
    std::set<long long> limits;
    const long long end = static_cast<long long>(top + fine_every);
    for (long long l = 0; l <= end; l += static_cast<long long>(coarse)) {
      limits.insert(l);
    }
    auto around = [&](long long m) {
      for (long long d = -3; d <= 3; ++d) {
        if (m + d >= 0 && m + d <= end) limits.insert(m + d);
      }
    };
    for (long long m = 0; m <= end; m += static_cast<long long>(fine_every)) {
      around(m);
    }
    for (std::size_t m : marks) around(static_cast<long long>(m));
    return std::vector<long long>(limits.begin(), limits.end());
  }

  int SweepLimits(const Scene& s, const std::vector<long long>& limits) {
    int runs = 0;
    // Every run that fails meets the limit.
    cause_ =
        CausesChecked(s) ? "(fichier trop grand pour la limite de taille)" : "";
    for (long long limit : limits) {
      Prepare(s);
      RunResult r = Run(limit);
      ++runs;
      Check(s, r, Mode::kLimit, "limit " + std::to_string(limit));
      // One failing limit says enough; the rest would only repeat it.
      if (::testing::Test::HasFailure()) break;
    }
    cause_.clear();
    return runs;
  }

  // Makes call 1, 2, ... of the faulty program fail until a run makes fewer
  // calls than the one chosen to fail.
  int SweepCalls(const Scene& s, Mode mode) {
    const char* faulty = getenv("BRANTIX_FAULTY");
    EXPECT_NE(faulty, nullptr) << "BRANTIX_FAULTY is not set";
    if (faulty == nullptr) return 0;
    ScratchDir logs;
    const std::string log = logs / "calls";
    int runs = 0;
    for (long long n = 1; n < 100000; ++n) {
      Environment env;
      env.Set("BRANTIX_PROGRAM", faulty);
      env.Set("BRANTIX_FAULT_AT", std::to_string(n));
      env.Set("BRANTIX_FAULT_PERSIST",
              mode == Mode::kPersist || mode == Mode::kShort ? "1" : "0");
      env.Set("BRANTIX_FAULT_CRASH", mode == Mode::kCrash ? "1" : "0");
      env.Set("BRANTIX_FAULT_KIND", mode == Mode::kEintr   ? "eintr"
                                    : mode == Mode::kShort ? "short"
                                                           : "fail");
      env.Set("BRANTIX_FAULT_LOG", log);
      env.Set("BRANTIX_FAULT_NO_ATTRIBUTES", no_attributes_ ? "1" : "0");
      // Each failing call an error number of the sweep's, in turn, after a
      // failure that the run tolerates.
      const auto& [error, words] = kSweepErrors[n % std::size(kSweepErrors)];
      const bool causes =
          CausesChecked(s) && (mode == Mode::kOnce || mode == Mode::kPersist);
      cause_ = causes ? words : "";
      if (causes) env.Set("BRANTIX_FAULT_ERRNO", std::to_string(error));
      if (causes && mode == Mode::kOnce) {
        env.Set("BRANTIX_FAULT_ALSO", kToleratedFirst);
      }
      std::remove(log.c_str());
      Prepare(s);
      RunResult r = Run();
      ++runs;
      long long calls = 0, failures = 0;
      int console_failed = 0;
      if (std::FILE* f = std::fopen(log.c_str(), "r")) {
        if (std::fscanf(f, "%lld %lld %d", &calls, &failures,
                        &console_failed) != 3) {
          calls = -1;
        }
        std::fclose(f);
      }
      mute_ = console_failed != 0;
      EXPECT_GE(calls, 0) << "unreadable call log";
      const char* how = mode == Mode::kPersist ? "every call from "
                        : mode == Mode::kCrash ? "killed at call "
                        : mode == Mode::kEintr ? "EINTR at call "
                        : mode == Mode::kShort ? "short from call "
                                               : "only call ";
      const bool faulty_run =
          failures > 0 || mode == Mode::kEintr || mode == Mode::kShort;
      Check(s, r, faulty_run ? mode : Mode::kOnce,
            how + std::to_string(n) + " of " + std::to_string(calls));
      cause_.clear();
      if (::testing::Test::HasFailure()) break;
      if (failures > 0 && RecordLeft()) {
        // Stopped while the page was written in place: the next run
        // finishes or undoes the write, says so and stops, as the failed
        // run said it would.
        env.Set("BRANTIX_FAULT_AT", "0");
        runs += ExpectRecovered(s);
        const std::string now = ReadBytes(Path(kPageName));
        if (r.output.find("achevera son ecriture") != std::string::npos) {
          EXPECT_TRUE(now == s.expected_page) << r.output;
        }
        if (r.output.find("le remettra tel qu'il etait") != std::string::npos) {
          EXPECT_TRUE(now == s.page) << r.output;
        }
        if (::testing::Test::HasFailure()) break;
      }
      if (mode == Mode::kCrash && failures > 0 &&
          ReadBytes(Path(kPageName)) == s.page) {
        // Run again on what the killed run left: it must go through.
        env.Set("BRANTIX_FAULT_AT", "0");
        RunResult again = Run();
        ++runs;
        EXPECT_EQ(again.status, 0) << again.output;
        EXPECT_TRUE(ReadBytes(Path(kPageName)) == s.expected_page);
        EXPECT_TRUE(ReadBytes(Path(kBackupName)) == s.expected_backup);
        if (::testing::Test::HasFailure()) break;
      }
      if (calls < n) {
        // The run got through without reaching call |n|.
        EXPECT_EQ(r.status, 0);
        break;
      }
    }
    return runs;
  }

  // Makes each call named |call| fail in turn with |error|, after the
  // tolerated failure |also|: each run goes through, or says |words|.
  void EachCallFailing(const Scene& s, const char* call, int error,
                       const std::string& words, const char* also) {
    ScratchDir logs;
    const std::string log = logs / "calls";
    // Until a run goes through without reaching call |n|.
    for (long long n = 1, named = 1; n <= named && !HasFailure(); ++n) {
      Environment env;
      env.Set("BRANTIX_PROGRAM", getenv("BRANTIX_FAULTY"));
      env.Set("BRANTIX_FAULT_CALL", call);
      env.Set("BRANTIX_FAULT_AT", std::to_string(n));
      env.Set("BRANTIX_FAULT_ERRNO", std::to_string(error));
      env.Set("BRANTIX_FAULT_ALSO", also);
      env.Set("BRANTIX_FAULT_LOG", log);
      Prepare(s);
      cause_ = words;
      const std::string what = std::string(call) + " " + std::to_string(n);
      Check(s, Run(), Mode::kOnce, what);
      cause_.clear();
      std::FILE* f = std::fopen(log.c_str(), "r");
      ASSERT_NE(f, nullptr);
      if (std::fscanf(f, "%*d %*d %*d %lld", &named) != 1) named = 0;
      named += named == n;
      std::fclose(f);
      env.Set("BRANTIX_FAULT_AT", "0");
      if (RecordLeft()) ExpectRecovered(s);
    }
  }

  // Runs the program on a page that ends with the record of a write in
  // place: the write is finished or undone, the page is then its new or its
  // old text, what it held is kept, and the run says so. Returns the runs.
  int ExpectRecovered(const Scene& s) {
    const std::string before = ReadBytes(Path(kPageName));
    RunResult r = Run();
    SCOPED_TRACE("recovery: " + r.output);
    EXPECT_EQ(r.status, 255);
    const std::string page = ReadBytes(Path(kPageName));
    // A copy only of what the bytes cannot tell, at its own offsets: each
    // block the page's or zeros; and named.
    std::string named;
    for (const auto& e : fs::directory_iterator(dir_.path)) {
      const std::string name = e.path().filename().string();
      if (!name.ends_with(".avant")) continue;
      const std::string copy = ReadBytes(e.path());
      EXPECT_EQ(copy.size(), before.size());
      for (std::size_t at = 0; at < copy.size(); at += 4096) {
        const std::string block = copy.substr(at, 4096);
        EXPECT_TRUE(block == before.substr(at, 4096) ||
                    block.find_first_not_of('\0') == std::string::npos)
            << "block at " << at;
      }
      EXPECT_TRUE(named.empty()) << "a second copy";
      named =
          " (ce qu'elle a retire et qui n'etait pas a elle est garde dans " +
          name + ")";
      fs::remove(e.path());
    }
    const std::string stopped =
        "une execution precedente a ete interrompue pendant l'ecriture du "
        "fichier page.htm";
    EXPECT_TRUE(
        (r.output == stopped +
                         " : son ecriture a ete achevee, il a la colonne "
                         "qu'elle ajoutait" +
                         named +
                         " ; relancez brantix pour en ajouter une autre" &&
         page == s.expected_page) ||
        (r.output == stopped + " : il a ete remis tel qu'il etait" + named +
                         ", relancez brantix" &&
         page == s.page) ||
        (r.output == stopped +
                         ", avant d'en ecrire le texte : les octets nuls "
                         "qu'elle avait ajoutes a sa fin ont ete retires, "
                         "relancez brantix" &&
         named.empty() && page == s.page))
        << page.size() << " bytes";
    EXPECT_FALSE(RecordLeft());
    return 1;
  }

  // Power cuts at every call of a run that writes |s|'s page in place:
  // what the cut leaves is put right by the next run, and by the run after
  // a second cut during that recovery.
  int SweepPowerCuts(const Scene& s) {
    const char* faulty = getenv("BRANTIX_FAULTY");
    EXPECT_NE(faulty, nullptr) << "BRANTIX_FAULTY is not set";
    if (faulty == nullptr) return 0;
    ScratchDir logs;
    const std::string log = logs / "calls";
    long long failures = 0;
    auto calls_made = [&log, &failures] {
      long long calls = 0;
      failures = 0;
      if (std::FILE* f = std::fopen(log.c_str(), "r")) {
        if (std::fscanf(f, "%lld %lld", &calls, &failures) != 2) calls = 0;
        std::fclose(f);
      }
      return calls;
    };
    int runs = 0, records = 0;
    const bool full = FullPowerSweep();
    Environment env;
    env.Set("BRANTIX_PROGRAM", faulty);
    env.Set("BRANTIX_FAULT_LOG", log);
    // Cuts the power at call |n| of a run, the |cut|th kind.
    auto cut_at = [&](long long n, std::size_t cut) {
      env.Set("BRANTIX_FAULT_AT", std::to_string(n));
      env.Set("BRANTIX_FAULT_CRASH", "1");
      env.Set("BRANTIX_FAULT_POWER", kPowerCuts[cut % kCutKinds]);
      std::remove(log.c_str());
      RunResult r = Run();
      ++runs;
      env.Set("BRANTIX_FAULT_AT", "0");
      env.Set("BRANTIX_FAULT_CRASH", "0");
      return r;
    };
    // A page larger than the buffers repeats the small page's calls in its
    // loops: the sample cuts it at every third call.
    const long long stride = full || s.page.size() < 65536 ? 1 : 3;
    for (long long n = 1; n < 100000; ++n) {
      bool reached = false;
      for (std::size_t cut = 0; cut < kCutKinds; ++cut) {
        // Every kind at every call of the small page's write; one, in
        // turn, at the large page's.
        if (!full && stride > 1 &&
            cut != static_cast<std::size_t>(n) % kCutKinds) {
          continue;
        }
        if (n % stride != 0) {
          // Not cut here, but the end of the run must still be seen.
          reached = true;
          break;
        }
        Prepare(s);
        RunResult r = cut_at(n, cut);
        const std::string what = "power cut (" + std::string(kPowerCuts[cut]) +
                                 ") at call " + std::to_string(n);
        reached = calls_made() >= n;
        if (!reached) break;
        // A call that cannot fail is counted, but is no kill point.
        if (failures == 0) continue;
        Check(s, r, Mode::kCrash, what);
        if (!RecordLeft()) continue;
        ++records;
        SCOPED_TRACE(what);
        // The recovery, itself cut at each of its calls (one, in turn, in
        // the sample), then run to its end.
        const std::string left = ReadBytes(Path(kPageName));
        std::remove(log.c_str());
        runs += ExpectRecovered(s);
        const long long recovery_calls = calls_made();
        // The sample cuts one recovery in four at each of its flushes, the
        // sizes kept, with a line appended that it must keep: a flush left
        // out, of the page or of its copy, loses bytes.
        for (int m = 1; !full && records % 4 == 0 && m < 8 &&
                        left.find(kRecordStart) != std::string::npos;
             ++m) {
          SCOPED_TRACE("recovery cut at its flush " + std::to_string(m));
          const std::string line = "<p>ajout</p>\n";
          WriteBytes(Path(kPageName), left + line);
          env.Set("BRANTIX_FAULT_CALL", "fsync");
          const RunResult cut = cut_at(m, 5);
          env.Set("BRANTIX_FAULT_CALL", "");
          bool kept =
              ReadBytes(Path(kPageName)).find(line) != std::string::npos;
          for (const auto& e : fs::directory_iterator(dir_.path)) {
            if (e.path().extension() != ".avant") continue;
            kept = kept || ReadBytes(e.path()).find(line) != std::string::npos;
            fs::remove(e.path());
          }
          EXPECT_TRUE(kept) << "the appended line is lost";
          const std::string now = ReadBytes(Path(kPageName));
          if (RecordLeft()) {
            WriteBytes(Path(kPageName), left);
            runs += ExpectRecovered(s);
          } else {
            EXPECT_TRUE(now.starts_with(s.page) ||
                        now.starts_with(s.expected_page));
          }
          if (cut.status != -SIGKILL || HasFailure()) break;
        }
        // Every second cut of every kind on a small page; one, in turn,
        // on a large one, whose recoveries make many calls, unless asked.
        const bool every_second = full && (s.page.size() < 65536 ||
                                           Setting("BRANTIX_POWER") == "every");
        for (long long m = 1; m < recovery_calls; ++m) {
          if (!every_second && m != 1 + (n * 7) % recovery_calls) continue;
          for (std::size_t second = 0; second < kCutKinds; ++second) {
            if (!every_second &&
                second != static_cast<std::size_t>(m) % kCutKinds) {
              continue;
            }
            SCOPED_TRACE("second cut (" + std::string(kPowerCuts[second]) +
                         ") at call " + std::to_string(m));
            WriteBytes(Path(kPageName), left);
            (void)cut_at(m, second);
            (void)calls_made();
            const std::string page = ReadBytes(Path(kPageName));
            for (const auto& e : fs::directory_iterator(dir_.path)) {
              if (e.path().extension() == ".avant") fs::remove(e.path());
            }
            if (RecordLeft()) {
              runs += ExpectRecovered(s);
            } else {
              EXPECT_TRUE(page == s.page || page == s.expected_page);
            }
            if (HasFailure()) return runs;
          }
          // The same call of the recovery failing instead: the run says so,
          // and the page is its old or its new text, or keeps its record
          // for the next run.
          SCOPED_TRACE("recovery's call " + std::to_string(m) + " failing");
          WriteBytes(Path(kPageName), left);
          env.Set("BRANTIX_FAULT_AT", std::to_string(m));
          RunResult failed = Run();
          ++runs;
          env.Set("BRANTIX_FAULT_AT", "0");
          EXPECT_EQ(failed.status, 255);
          const std::string page = ReadBytes(Path(kPageName));
          if (RecordLeft()) {
            // Changed, it must say that the next run will finish it.
            EXPECT_TRUE(page == left ||
                        failed.output.find("prochaine execution") !=
                            std::string::npos)
                << failed.output;
            for (const auto& e : fs::directory_iterator(dir_.path)) {
              if (e.path().extension() == ".avant") fs::remove(e.path());
            }
            runs += ExpectRecovered(s);
          } else {
            EXPECT_TRUE(page == s.page || page == s.expected_page);
          }
          for (const auto& e : fs::directory_iterator(dir_.path)) {
            if (e.path().extension() == ".avant") fs::remove(e.path());
          }
          if (HasFailure()) return runs;
        }
        if (HasFailure()) return runs;
      }
      if (!reached || HasFailure()) break;
      // The full sweep is long: where it is, on the error stream.
      if (full) std::fprintf(stderr, "call %lld: %d runs\n", n, runs);
    }
    std::printf(
        "power cuts on a %zu-byte page written in place: %d runs, "
        "%d left the record of the write\n",
        s.page.size(), runs, records);
    return runs;
  }

  ScratchDir dir_;
  ScratchDir elsewhere_;   ///< Where a page's second name may be instead.
  bool dialogue_ = false;  ///< Runs answer the console dialogue.
  /// The faulty program sees no extended attributes.
  bool no_attributes_ = false;
  /// Writing to standard output failed in the last run: its message, or
  /// part of it, could not be printed.
  bool mute_ = false;
  /// The words that a failed run's message must hold; empty: any.
  std::string cause_;
  static inline int total_runs_ = 0;
};

TEST_F(FaultSweep, EveryWriteLimitOnASmallPage) {
  const std::string page = SamplePage(14);
  Scene with_old = MakeScene(page, true);
  Scene without_old = MakeScene(page, false);
  ASSERT_FALSE(HasFailure());
  const std::size_t top =
      std::max(with_old.expected_page.size(), with_old.expected_backup.size());
  std::vector<long long> limits =
      Limits(top, 512, 61,
             {with_old.expected_backup.size(), with_old.expected_page.size()});
  int runs = SweepLimits(with_old, limits) +
             (SmallSweep() ? 0 : SweepLimits(without_old, limits));
  // Written in place, the page meets the limit at its first record, its
  // new text past the old end or its last record: said as such, the page
  // cut back to its old text.
  Scene linked = MakeScene(page, true, true);
  const std::size_t fresh = linked.expected_page.size();
  const std::size_t at = std::max(page.size(), fresh) + 4096;
  const std::size_t record = (at + fresh + 4095) / 4096 * 4096;
  runs += SweepLimits(linked, Limits(record + 4096 + 200, 4096, 997,
                                     {fresh, at, record, record + 129}));
  std::printf(
      "write limits 0..%zu on a page of %zu bytes (%zu after the "
      "rewrite): %d runs\n",
      top + 512, page.size(), with_old.expected_page.size(), runs);
}

TEST_F(FaultSweep, WriteLimitsAcrossBufferBoundaries) {
  if (SmallSweep()) GTEST_SKIP() << "large pages: native build only";
  // Larger than the text buffers, so reads and writes come in several parts.
  const std::string page = SamplePage(2600);
  Scene s = MakeScene(page, true);
  ASSERT_FALSE(HasFailure());
  ASSERT_GT(s.expected_backup.size(), 2u * 256 * 1024);
  std::vector<long long> limits =
      Limits(s.expected_page.size(), 256 * 1024, 49999,
             {s.expected_backup.size(), s.expected_page.size()});
  int runs = SweepLimits(s, limits);
  std::printf("write limits on a page of %zu bytes (%zu after): %d runs\n",
              page.size(), s.expected_page.size(), runs);
}

TEST_F(FaultSweep, BackupNameTakenByAFolder) {
  const std::string page = SamplePage(6);
  int runs = 0;
  for (long long limit : {-1LL, 0LL, 1LL, 511LL, 512LL, 513LL, 100000LL}) {
    for (const auto& e : fs::directory_iterator(dir_.path)) fs::remove_all(e);
    WriteBytes(Path(kPageName), page);
    WriteBytes(Path("param.txt"), kSweepParams);
    fs::create_directory(Path(kBackupName));
    WriteBytes(Path(kBackupName) + "/dedans.txt", "garde");
    RunResult r = Run(limit);
    ++runs;
    SCOPED_TRACE("limit " + std::to_string(limit));
    EXPECT_EQ(r.status, 255);
    // Below the page's size the copy fails first; above, the rename does.
    EXPECT_TRUE(r.output ==
                    "impossible de creer la sauvegarde page.htm.orig (c'est "
                    "un dossier)" ||
                r.output ==
                    "erreur d'ecriture de la sauvegarde page.htm.orig (fichier "
                    "trop grand pour la limite de taille)")
        << r.output;
    EXPECT_TRUE(ReadBytes(Path(kPageName)) == page);
    EXPECT_EQ(ReadBytes(Path(kBackupName) + "/dedans.txt"), "garde");
    std::size_t names = 0;
    for (const auto& e : fs::directory_iterator(dir_.path)) (void)e, ++names;
    EXPECT_EQ(names, 3u) << "a temporary file is left";
  }
  std::printf("backup name taken by a folder: %d runs\n", runs);
}

TEST_F(FaultSweep, EachPlatformCallFailingInTurn) {
  struct Page {
    int rows;
    bool hard_link;
    bool no_attributes;
  };
  int runs = 0;
  // A page replaced by a rename, small and larger than the buffers, then a
  // page with a second name, written in place under the record of its
  // write, also where files carry no extended attributes.
  for (Page p :
       {Page{14, false, false}, Page{2600, false, false}, Page{14, true, false},
        Page{2600, true, false}, Page{14, true, true}}) {
    if (SmallSweep() && (p.rows > 14 || p.no_attributes)) continue;
    no_attributes_ = false;
    Scene s = MakeScene(SamplePage(p.rows), true, p.hard_link);
    ASSERT_FALSE(HasFailure());
    no_attributes_ = p.no_attributes;
    int counts[6] = {};
    const Mode modes[] = {Mode::kOnce, Mode::kPersist, Mode::kCrash,
                          Mode::kEintr, Mode::kShort};
    for (Mode mode : modes) {
      // On the large page written in place, and without attributes, failures
      // and kills: the calls interrupted or short there add nothing that
      // the small page and the large renamed page do not show, and the
      // sweep must stay quick under the sanitizers.
      if (p.hard_link && (p.rows > 14 || p.no_attributes || SmallSweep()) &&
          mode != Mode::kOnce && mode != Mode::kCrash) {
        continue;
      }
      counts[static_cast<int>(mode)] = SweepCalls(s, mode);
      runs += counts[static_cast<int>(mode)];
      if (HasFailure()) break;
    }
    std::printf(
        "%zu-byte page%s%s: %d runs with one call failing, %d with "
        "every call failing from one on, %d killed at one call, %d "
        "with EINTR, %d with short reads and writes\n",
        s.page.size(), p.hard_link ? " with a hard link" : "",
        p.no_attributes ? " and no extended attributes" : "", counts[1],
        counts[2], counts[3], counts[4], counts[5]);
    if (HasFailure()) break;
  }
  no_attributes_ = false;
  std::printf("platform calls failing or killing: %d runs\n", runs);
}

// Power cuts while a page is written in place, on a page smaller than a
// block and on one larger than the buffers. tests/power_cuts.sh may pick
// one page (BRANTIX_POWER_PAGE: small, crlf300k, about 300 KiB with every
// line end CR LF, or large) and put its second name in another folder
// (BRANTIX_POWER_LINK=elsewhere).
TEST_F(FaultSweep, PowerCutsWhileWritingInPlace) {
  if (SmallSweep()) GTEST_SKIP() << "power cuts: native build only";
  const std::string pick = Setting("BRANTIX_POWER_PAGE");
  const std::string link = Setting("BRANTIX_POWER_LINK");
  ASSERT_TRUE(link.empty() || link == "here" || link == "elsewhere") << link;
  std::vector<std::string> pages;
  if (pick.empty() || pick == "small") pages.push_back(SamplePage(14));
  if (pick == "crlf300k") pages.push_back(LoneLfToCrLf(SamplePage(1350)));
  if (pick.empty() || pick == "large") pages.push_back(SamplePage(2600));
  ASSERT_FALSE(pages.empty()) << "BRANTIX_POWER_PAGE: " << pick;
  int runs = 0;
  for (const std::string& page : pages) {
    Scene s = MakeScene(page, true, true, link == "elsewhere");
    ASSERT_FALSE(HasFailure());
    runs += SweepPowerCuts(s);
    if (HasFailure()) break;
  }
  std::printf("power cuts: %d runs\n", runs);
}

// Another program appends to a page written in place just before each call
// of the run in turn: its line is never lost, but stays in the page or in
// the copy kept beside it, also after the next run.
TEST_F(FaultSweep, AnEditByAnotherProgramAtEachCall) {
  const char* faulty = getenv("BRANTIX_FAULTY");
  ASSERT_NE(faulty, nullptr) << "BRANTIX_FAULTY is not set";
  Scene s = MakeScene(SamplePage(14), true, true);
  ASSERT_FALSE(HasFailure());
  ScratchDir logs;
  const std::string log = logs / "calls";
  const std::string edit = "<!-- ajout -->";
  auto kept = [&] {
    if (ReadBytes(Path(kPageName)).find(edit) != std::string::npos) {
      return true;
    }
    for (const auto& e : fs::directory_iterator(dir_.path)) {
      if (e.path().extension() == ".avant" &&
          ReadBytes(e.path()).find(edit) != std::string::npos) {
        return true;
      }
    }
    return false;
  };
  int runs = 0;
  // An append, an edit of the same size over the old text's start, then
  // one over the new text past the old end, as the write puts it there,
  // and of a page left by a write, as its recovery finishes it.
  const std::string old = LoneLfToCrLf(s.page), fresh = s.expected_page;
  const std::string left = LeftByAWrite(old, fresh, 9, fresh.size());
  const long long past =
      static_cast<long long>(std::max(old.size(), fresh.size()) + 4096 + 5);
  const std::pair<long long, bool> kinds[] = {
      {-1, false}, {0, false}, {past, false}, {past, true}};
  for (long long n = 1, kind = 0; n < 100000; ++n) {
    const auto [at, recovery] = kinds[kind];
    SCOPED_TRACE("edit at " + std::to_string(at) + " before call " +
                 std::to_string(n));
    Prepare(s);
    if (recovery) WriteBytes(Path(kPageName), left);
    Environment env;
    env.Set("BRANTIX_FAULT_EDIT_AT", std::to_string(at));
    // As on a file system without fallocate (ramfs), where the blocks of
    // the start are taken by writing zeros.
    env.Set("BRANTIX_FAULT_ALSO", "fallocate 1 " + std::to_string(EOPNOTSUPP));
    env.Set("BRANTIX_PROGRAM", faulty);
    env.Set("BRANTIX_FAULT_AT", std::to_string(n));
    env.Set("BRANTIX_FAULT_APPEND", fs::absolute(Path(kPageName)).string());
    env.Set("BRANTIX_FAULT_LOG", log);
    std::remove(log.c_str());
    RunResult r = Run();
    ++runs;
    long long calls = 0, edits = 0;
    if (std::FILE* f = std::fopen(log.c_str(), "r")) {
      if (std::fscanf(f, "%lld %lld", &calls, &edits) != 2) calls = 0;
      std::fclose(f);
    }
    if (calls < n && ++kind == std::ssize(kinds)) break;
    if (calls < n) {
      n = 0;
      continue;
    }
    // A call that cannot fail is counted, but makes no edit.
    if (edits == 0) continue;
    EXPECT_TRUE(r.status == 0 || r.status == 255) << r.output;
    // Made in the new text before the write reached it, the edit is
    // written over; after, it is never put over the start unsaid; after
    // the run, it lies past the page's end.
    if (at == past && !recovery && r.status == 0) {
      EXPECT_TRUE(ReadBytes(Path(kPageName)).starts_with(fresh));
    } else {
      EXPECT_TRUE(kept()) << r.output;
    }
    // An edit of the old text, before the write's start: kept in the page,
    // and said so, or seen before anything is written.
    if (at == 0 && r.status == 255) {
      EXPECT_TRUE(
          r.output == std::string(kConfirm) +
                          "le fichier page.htm a ete modifie par un autre "
                          "programme pendant son ecriture : il garde cette "
                          "modification, sans la nouvelle colonne ; "
                          "verifiez-le, puis relancez brantix" ||
          r.output == std::string(kConfirm) +
                          "le fichier page.htm a ete modifie pendant "
                          "l'execution : la nouvelle version n'a pas ete "
                          "enregistree")
          << r.output;
    }
    if (RecordLeft()) {
      env.Set("BRANTIX_FAULT_AT", "0");
      RunResult again = Run();
      ++runs;
      EXPECT_TRUE(kept()) << again.output;
    }
    if (HasFailure()) break;
  }
  std::printf("an edit before each call of a write in place: %d runs\n", runs);
}

// Another user switches a link in the page's path just before each call of
// the run in turn: "sw", the page's folder, to another one; or the page
// itself, a link to a file of another folder, to a page of a third. Nothing
// is ever made there; the page replaced is the page read; the page is its
// old or its new text; messages name it as typed.
TEST_F(FaultSweep, ALinkInThePathSwitchedAtEachCall) {
  ScratchDir logs;
  const std::string log = logs / "calls";
  const std::string other_page = SamplePage(3);
  int runs = 0;
  RunOptions options;
  options.folder = dir_.path.string();
  options.input = "\n";
  // A page; with a hard link; a link itself; left by a write, with a line
  // appended that its recovery keeps in a copy.
  for (int row : {0, 1, 2, 3}) {
    if (SmallSweep() && row > 0) continue;
    Scene s;
    s.page = SamplePage(14);
    if (row == 3) {
      s.page = LeftByAWrite(s.page, s.page + "<!-- neuf -->", 0, 200) + "<p>";
    }
    s.hard_link = row == 1;
    const std::string at = row == 2 ? "real/" : "mine/";
    // The first run, with no link switched, gives the new text.
    for (long long n = 0; n < 100000 && !HasFailure();
         ++n, ++runs, ++total_runs_) {
      SCOPED_TRACE("link switched before call " + std::to_string(n));
      Prepare(s);
      for (const char* f : {"mine", "other", "real"})
        fs::create_directory(Path(f));
      for (const char* name : {kPageName, kLinkName}) {
        if (fs::exists(Path(name))) fs::rename(Path(name), Path(at + name));
      }
      fs::create_directory_symlink("mine", Path("sw"));
      if (row == 2) {
        fs::create_symlink("../real/page.htm", Path("mine/page.htm"));
        WriteBytes(Path("other/page.htm"), other_page);
      }
      Environment env;
      env.Set("BRANTIX_PROGRAM", getenv("BRANTIX_FAULTY"));
      env.Set("BRANTIX_FAULT_AT", std::to_string(n));
      env.Set("BRANTIX_FAULT_SWAP",
              Path(row == 2 ? "mine/page.htm" : "sw") + "," +
                  Path(row == 2 ? "other/page.htm" : "other"));
      env.Set("BRANTIX_FAULT_LOG", log);
      const RunResult r = RunProgram({"sw/page.htm", "-1"}, options);
      const std::string page = ReadBytes(Path(at + kPageName));
      if (n == 0) {
        s.expected_page = page;
        EXPECT_EQ(r.status, row == 3 ? 255 : 0) << r.output;
        continue;
      }
      long long calls = 0, created_there = 0;
      if (std::FILE* f = std::fopen(log.c_str(), "r")) {
        const char* kFields = "%lld %*d %*d %*d %lld";
        if (std::fscanf(f, kFields, &calls, &created_there) != 2) calls = 0;
        std::fclose(f);
      }
      if (calls < n) break;
      // Switched before the page was opened, the other page is the one the
      // run was given: only then may a file be made there, and its text is
      // in the backup.
      const bool given_other =
          row == 2 && ReadBytes(Path("other/page.htm")) != other_page;
      if (given_other || created_there != 0) {
        EXPECT_TRUE(ReadBytes(Path("mine/page.htm.orig")) ==
                    LoneLfToCrLf(other_page))
            << "a file made beside a page the run did not read";
      }
      EXPECT_TRUE((r.status == 0 || row == 3) && !given_other
                      ? page == s.expected_page || (row == 3 && page == s.page)
                      : page == s.page)
          << r.status << " " << r.output;
      for (std::size_t p = r.output.find(kPageName); p != std::string::npos;
           p = r.output.find(kPageName, p + 1)) {
        EXPECT_EQ(r.output.substr(p < 3 ? 0 : p - 3, 3), "sw/") << r.output;
      }
    }
  }
  std::printf("a link in the page's path switched at each call: %d runs\n",
              runs);
}

// Each error number, given by a call that matters, reads as its cause in
// the message, and the page stays as it was. A page that cannot be opened
// is "le fichier n'existe pas" whatever the reason, unless the system
// failed; a page this user may only read is refused without a cause.
TEST_F(FaultSweep, EachErrorNumberReadsAsItsCause) {
  const char* faulty = getenv("BRANTIX_FAULTY");
  ASSERT_NE(faulty, nullptr) << "BRANTIX_FAULTY is not set";
  const std::string folder = fs::canonical(dir_.path).string();
  const std::string missing = "le fichier n'existe pas";
  auto read = [](const std::string& cause) {
    return "erreur de lecture du fichier page.htm (" + cause + ")";
  };
  auto create = [&](const std::string& cause) {
    return "impossible de creer un fichier dans le dossier " + folder + " (" +
           cause + ") : le fichier page.htm n'a pas ete modifie";
  };
  auto backup = [](const std::string& cause) {
    return "erreur d'ecriture de la sauvegarde page.htm.orig (" + cause + ")";
  };
  auto write = [](const std::string& cause) {
    return "erreur d'ecriture du fichier page.htm (" + cause +
           ") : le fichier n'a pas ete modifie";
  };
  // The folder of the copy a recovery keeps, flushed before the page is
  // touched.
  auto flush = [](const std::string& cause) {
    return "une execution precedente a ete interrompue pendant l'ecriture du "
           "fichier page.htm : impossible d'en garder une copie avant de le "
           "remettre en etat (" +
           cause + "), rien n'a ete change";
  };
  const std::string refused = "acces refuse", full =
                                                  "disque plein ou quota "
                                                  "atteint";
  const std::string other = "erreur systeme " + std::to_string(ESTALE);
  struct Row {
    const char* call;  // The name of the call, and which of them fails;
    int nth;           // 0: each in turn, the run failing or going through.
    int error;
    std::string message;    // For each in turn, the cause's words.
    const char* also = "";  // A failure that the run tolerates, first.
    bool in_place = false;  // The page has a second name: written in place.
  };
  const std::string stale = "(" + other + ")";
  const Row rows[] = {
      // The folder's open, then the page's in it.
      {"open", 1, EIO, read("erreur d'entree-sortie")},
      {"openat", 1, ENOENT, missing},
      {"openat", 1, ELOOP, missing},
      {"openat", 1, ENAMETOOLONG, missing},
      {"openat", 1, EACCES,
       "impossible d'ecrire le fichier page.htm : le fichier n'a pas ete "
       "modifie"},
      {"openat", 1, EMFILE, read("trop de fichiers ouverts")},
      {"openat", 1, ENFILE, read("trop de fichiers ouverts")},
      {"openat", 1, EIO, read("erreur d'entree-sortie")},
      {"openat", 1, ESTALE, read(other)},
      // The new page's file, created beside it.
      {"openat", 2, EACCES, create(refused)},
      {"openat", 2, EPERM, create(refused)},
      {"openat", 2, ENOSPC, create(full)},
      {"openat", 2, EDQUOT, create(full)},
      {"openat", 2, EROFS, create("systeme de fichiers en lecture seule")},
      {"openat", 2, EMLINK, create("trop de liens")},
      {"openat", 2, ENAMETOOLONG, create("nom trop long")},
      {"openat", 2, ELOOP, create("trop de liens symboliques")},
      {"openat", 2, ENOTDIR,
       create("une partie du chemin n'est pas un dossier")},
      // The page's second handle, to read it.
      {"dup", 1, EMFILE, read("trop de fichiers ouverts")},
      // The backup's first write, then the new page's.
      {"write", 1, EFBIG,
       backup("fichier trop grand pour la limite de taille")},
      {"write", 1, ENOSPC, backup(full)},
      {"write", 1, EDQUOT, backup(full)},
      {"write", 2, EIO, write("erreur d'entree-sortie")},
      {"write", 2, ESTALE, write(other)},
      // The first folder flush of a run that finds a write in place left
      // midway.
      {"fsync-folder", 1, EACCES, flush(refused)},
      {"fsync-folder", 1, EIO, flush("erreur d'entree-sortie")},
      {"fsync-folder", 1, ESTALE, flush(other)},
      // A refused listing of attributes, tolerated, then each read and each
      // move in the file in turn: the page renamed (the backup's listing)
      // or written in place (the new page's).
      {"read", 0, ESTALE, stale, kToleratedFirst},
      {"lseek", 0, ESTALE, stale, kToleratedFirst},
      {"read", 0, ESTALE, stale, "flistxattr 1 13", true},
      {"lseek", 0, ESTALE, stale, "flistxattr 1 13", true},
      // Written in place: the disk full as the space of the start is taken,
      // or as the first record is flushed; nobody else touched the page.
      {"fallocate", 1, ENOSPC, write(full), "", true},
      {"fallocate", 1, EFBIG,
       write("fichier trop grand pour la limite de taille"), "", true},
      {"fsync", 2, ENOSPC, write(full), "", true},
  };
  const std::string page = SamplePage(6);
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.call) + " " + std::to_string(row.nth) +
                 " with errno " + std::to_string(row.error) + " " + row.also);
    if (row.nth == 0) {
      EachCallFailing(MakeScene(page, true, row.in_place), row.call, row.error,
                      row.message, row.also);
      continue;
    }
    // A page left by a write in place: its recovery flushes the folder of
    // its copy before the page is touched.
    const bool left = std::string(row.call) == "fsync-folder";
    Scene s;
    // A line appended after it: the one thing the recovery must keep.
    s.page = left ? LeftByAWrite(page, page + "<!-- neuf -->", 0, 200) +
                        "<p>ajout</p>\n"
                  : page;
    s.hard_link = row.in_place;
    Prepare(s);
    Environment env;
    env.Set("BRANTIX_PROGRAM", faulty);
    env.Set("BRANTIX_FAULT_CALL", row.call);
    env.Set("BRANTIX_FAULT_AT", std::to_string(row.nth));
    env.Set("BRANTIX_FAULT_ERRNO", std::to_string(row.error));
    RunResult r = Run();
    std::string message = r.output;
    if (message.starts_with(kConfirm)) message.erase(0, sizeof kConfirm - 1);
    EXPECT_EQ(message, row.message);
    EXPECT_EQ(r.status, 255);
    EXPECT_TRUE(ReadBytes(Path(kPageName)) == s.page) << "the page changed";
    for (const auto& e : fs::directory_iterator(dir_.path)) {
      EXPECT_NE(e.path().extension(), ".avant") << "a copy is left";
    }
  }
}

// The console dialogue reads the page twice, for the backup and, after the
// questions, for the new page: other calls than one pass with param.txt.
TEST_F(FaultSweep, EachPlatformCallFailingInTurnInTheDialogue) {
  Scene s = MakeScene(SamplePage(14), true);
  ASSERT_FALSE(HasFailure());
  dialogue_ = true;
  int runs = 0;
  for (Mode mode : {Mode::kOnce, Mode::kPersist, Mode::kCrash, Mode::kEintr,
                    Mode::kShort}) {
    if (SmallSweep() && mode != Mode::kOnce && mode != Mode::kCrash) continue;
    runs += SweepCalls(s, mode);
    if (HasFailure()) break;
  }
  std::printf("dialogue, platform calls failing or killing: %d runs\n", runs);
}

}  // namespace
