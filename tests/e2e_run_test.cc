// The run sequence and the backup, seen from outside: arguments, messages,
// exit status, and the files left behind.
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "tests/e2e.h"

namespace {

using Names = std::vector<std::string>;

const char kPage[] = "<html>\n<body>\r\nligne\rseule\n\x1A fin";

TEST_F(E2eTest, UsageWhenThePageIsMissing) {
  Put("page.htm", kPage);
  RunResult r = Run({});
  EXPECT_EQ(r.output, kUsage);
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(Listing(), Names({"page.htm"}));
}

// --help (also -h, and /? on Windows) and --version print their text with a
// line end and give status 0 without touching a file, whatever follows them;
// only these exact first arguments do, and "./--help" names a page.
TEST_F(E2eTest, HelpAndVersion) {
  Put("page.htm", kPage);
  // Typed out here rather than taken from the program's sources; only the
  // last line depends on the platform.
  const std::string help =
      std::string(
          "usage : brantix NomDuFichier [-1] [--link-folder] [--html]\n"
          "        brantix --dry-run NomDuFichier [-1] [--link-folder] "
          "[--html]\n"
          "        brantix --help | --version\n"
          "Ajoute une colonne au tableau de la page HTML NomDuFichier.\n"
          "Sans -1, les six reponses sont demandees a la console ;\n"
          "avec -1, elles sont lues dans le fichier param.txt du dossier "
          "courant.\n"
          "La page est d'abord copiee dans NomDuFichier.orig, la sauvegarde "
          ":\n"
          "la page telle qu'elle etait avant l'execution.\n"
          "--dry-run (ou -n, a toute place) montre chaque cellule qui "
          "serait\n"
          "inseree et les pieges, sans rien ecrire ; a essayer d'abord.\n"
          "--link-folder (a toute place) : le lien de chaque carte est le\n"
          "dossier du chemin ..///, jusqu'a son dernier / ; sans elle, il "
          "est\n"
          "coupe a la longueur du nom de la page + 23 caracteres.\n"
          "--html (a toute place) : <TR, <tr suivi d'attributs, </th>, "
          "</TD>\net SON.GIF sont lus comme un navigateur les lit.\n") +
      (Windows()
           ? "Noms de fichier en toute langue, chemins de plus de 260 "
             "caracteres acceptes.\n"
             "Plus de details : le fichier README.md, a cote de brantix.exe\n"
           : "Plus de details : man brantix\n");
  const std::string version = "brantix " BRANTIX_VERSION "\n";
  const struct {
    std::vector<std::string> args;
    std::string output;
  } rows[] = {
      {{"--help"}, help},
      {{"-h", "page.htm", "-1"}, help},
      {{"/?"}, Windows() ? help : kNotFound},
      {{"--version", "page.htm"}, version},
      {{"./--help"}, kNotFound},
  };
  for (const auto& row : rows) {
    RunResult r = Run(row.args, "\n");
    EXPECT_EQ(r.output, row.output) << row.args[0];
    EXPECT_EQ(r.status, row.output == kNotFound ? 255 : 0) << row.args[0];
    EXPECT_EQ(Get("page.htm"), kPage) << row.args[0];
    EXPECT_EQ(Listing(), Names({"page.htm"})) << row.args[0];
  }
}

TEST_F(E2eTest, PageThatDoesNotExist) {
  RunResult r = RunKeepingErrors({"absent.htm", "-1"}, "");
  EXPECT_EQ(r.output, kNotFound);
  EXPECT_NE(Get("errors").find("ouvert est absent.htm ("), std::string::npos);
  std::filesystem::remove(dir_ / "errors");
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(Listing(), Names());
}

TEST_F(E2eTest, BackupHoldsThePageWithCrLfAndReplacesAnOldOne) {
  std::string page = std::string(kPage) + std::string(1200, 'x') + "\n" +
                     std::string("nul\0nul\n", 8) + "derniere";
  Put("page.htm", page);
  Put("page.htm.orig", "ancienne sauvegarde");
  Put("param.txt", kParams);
  RunResult r = Run({"page.htm", "-1"}, "n");
  EXPECT_EQ(r.output, std::string(kConfirm) + kStopped);
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(Get("page.htm"), page);
  EXPECT_EQ(Get("page.htm.orig"), LoneLfToCrLf(page));
  EXPECT_EQ(Listing(), Names({"page.htm", "page.htm.orig", "param.txt"}));
}

TEST_F(E2eTest, EmptyPageGivesEmptyBackup) {
  Put("vide.htm", "");
  Put("param.txt", kParams);
  RunResult r = Run({"vide.htm", "-1"}, "\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(Get("vide.htm.orig"), "");
  EXPECT_EQ(Get("vide.htm"), "");
}

TEST_F(E2eTest, ConfirmationStopsOnlyOnN) {
  const std::string page = "<p>pas de tableau</p>\n";
  for (std::string answer : {"n", "N", "non\n", "No\n", "n\r\n"}) {
    Put("page.htm", page);
    Put("param.txt", kParams);
    RunResult r = RunKeepingErrors({"page.htm", "-1"}, answer);
    EXPECT_EQ(r.output, std::string(kConfirm) + kStopped) << answer;
    EXPECT_NE(Get("errors").find("page.htm.orig contient maintenant la page"),
              std::string::npos);
    EXPECT_EQ(r.status, 255) << answer;
    EXPECT_EQ(Get("page.htm"), page) << answer;
  }
  for (std::string answer : {"o", "O\n", "y\n", "\n", "\r\n", "", "oui\nn\n"}) {
    Put("page.htm", page);
    Put("param.txt", kParams);
    RunResult r = Run({"page.htm", "-1"}, answer);
    EXPECT_EQ(r.output, kConfirm) << answer;
    EXPECT_EQ(r.status, 0) << answer;
    // Without a row, the new page is the backup: the page with CR LF.
    EXPECT_EQ(Get("page.htm"), LoneLfToCrLf(page)) << answer;
  }
}

TEST_F(E2eTest, BackupNameTakenByAFolder) {
  Put("page.htm", kPage);
  Put("param.txt", kParams);
  std::filesystem::create_directory(dir_.path / "page.htm.orig");
  RunResult r = Run({"page.htm", "-1"}, "\n");
  // Windows refuses to rename a file over a folder as it refuses access.
  EXPECT_EQ(r.output,
            std::string("impossible de creer la sauvegarde page.htm.orig") +
                (Windows() ? " (acces refuse)" : " (c'est un dossier)"));
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(Get("page.htm"), kPage);
  EXPECT_EQ(Listing(), Names({"page.htm", "page.htm.orig", "param.txt"}));
}

TEST_F(E2eTest, PageThatIsAFolder) {
  std::filesystem::create_directory(dir_.path / "page.htm");
  for (bool earlier_backup : {false, true}) {
    if (earlier_backup) Put("page.htm.orig", "ancienne sauvegarde");
    RunResult r = Run({"page.htm", "-1"}, "\n");
    EXPECT_EQ(r.output, "erreur de lecture du fichier page.htm");
    EXPECT_EQ(r.status, 255);
    EXPECT_TRUE(std::filesystem::is_empty(dir_.path / "page.htm"));
    if (earlier_backup) {
      EXPECT_EQ(Get("page.htm.orig"), "ancienne sauvegarde");
      EXPECT_EQ(Listing(), Names({"page.htm", "page.htm.orig"}));
    } else {
      EXPECT_EQ(Listing(), Names({"page.htm"}));
    }
  }
}

// A message names the page as typed. At a console (a terminal), every name
// shows as typed, Windows included, where the program writes to its
// console in UTF-16. Into a pipe, a name goes as bytes: on Windows in the
// ANSI code page (windows-1252 under Wine) when it holds the whole
// message, as before, otherwise in UTF-8. The last name makes the message
// longer than a console line.
TEST_F(E2eTest, MessagesNameThePageAsTyped) {
  const struct {
    std::string name;
    std::string windows_bytes;  ///< The name in a pipe on Windows.
  } rows[] = {
      {"Cr\u00e8me br\u00fbl\u00e9e.htm",
       "Cr\xe8me br\xfbl\xe9"
       "e.htm"},
      {"Dvo\u0159\u00e1k.htm", "Dvo\u0159\u00e1k.htm"},
      {"\u65e5\u672c.htm", "\u65e5\u672c.htm"},
      {"chansons_fran\u00e7aises_" + std::string(60, 'x') + ".htm",
       "chansons_fran\xe7"
       "aises_" +
           std::string(60, 'x') + ".htm"},
  };
  const std::string message = "erreur de lecture du fichier ";
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    // A folder of that name: the page cannot be read.
    std::filesystem::create_directory(dir_.path / row.name);
    RunResult piped = Run({row.name, "-1"});
    EXPECT_EQ(piped.output,
              message + (Windows() ? row.windows_bytes : row.name));
    EXPECT_EQ(piped.status, 255);
    Session console = Start({row.name, "-1"}, true);
    RunResult shown = Finish(&console);
    EXPECT_EQ(shown.output, message + row.name);
    EXPECT_EQ(shown.status, 255);
  }
}

}  // namespace

namespace {

// The backup is a copy of the page: a private page gets a private backup,
// also when an earlier backup was readable by all.
TEST_F(E2eTest, BackupAndNewPageKeepThePagePermissionsAndOwner) {
  if (Windows()) GTEST_SKIP() << "Windows files carry no POSIX mode";
  namespace fs = std::filesystem;
  // Run by root on another user's page, both files stay that user's.
  const bool root = geteuid() == 0;
  const uid_t owner = root ? 65534 : geteuid();
  const gid_t group = root ? 65534 : getegid();
  Put("param.txt", kParams);
  for (const char* answer : {"n", "\n"}) {
    for (fs::perms mode :
         {fs::perms::owner_read | fs::perms::owner_write,
          fs::perms::owner_read | fs::perms::owner_write |
              fs::perms::group_read | fs::perms::others_read}) {
      SCOPED_TRACE(answer);
      Put("page.htm", kPage);
      Put("page.htm.orig", "ancienne sauvegarde");
      fs::permissions(dir_ / "page.htm.orig", fs::perms::all);
      fs::permissions(dir_ / "page.htm", mode);
      ASSERT_EQ(chown((dir_ / "page.htm").c_str(), owner, group), 0);
      RunResult r = Run({"page.htm", "-1"}, answer);
      EXPECT_EQ(r.status, *answer == 'n' ? 255 : 0);
      EXPECT_EQ(Get("page.htm.orig"), LoneLfToCrLf(kPage));
      for (const char* name : {"page.htm", "page.htm.orig"}) {
        struct stat status;
        ASSERT_EQ(stat((dir_ / name).c_str(), &status), 0);
        EXPECT_EQ(fs::status(dir_ / name).permissions(), mode) << name;
        EXPECT_EQ(status.st_uid, owner) << name;
        EXPECT_EQ(status.st_gid, group) << name;
      }
    }
  }
}

}  // namespace
