// The rewrite as the whole program does it: the page name as typed bounds
// the link path, and a file size limit met while the new page is written
// leaves the page untouched.
#include <sys/stat.h>
#include <unistd.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "tests/e2e.h"
#include "tests/rewrite_model.h"

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
            "erreur d'ecriture du fichier page.htm (fichier trop grand pour "
            "la limite de taille) : le fichier n'a pas ete modifie");
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(Get("page.htm"), page);
  EXPECT_EQ(Get("page.htm.orig"), page);
  EXPECT_EQ(Listing(), std::vector<std::string>(
                           {"page.htm", "page.htm.orig", "param.txt"}));
}

}  // namespace

namespace {

// The preview: what a run would insert where, and its warnings.

// A table with a heading row and one data row per |rows|, each row given by
// the lines between its "<tr>" and "</tr>".
std::string Table(const std::vector<std::string>& rows,
                  const std::string& head = "<html>\n<body>\n") {
  std::string page = head + "<table>\n<tr>\n<td>\nTitre\n</td>\n</tr>\n";
  for (const std::string& row : rows) page += "<tr>\n" + row + "</tr>\n";
  return page + "</table>\n</body>\n</html>\n";
}

// A link whose cut, at the length of "liste.htm" + 23, falls in a name.
const std::string kChanson =
    "<td>\n<img src=\"son.gif\"> <a href=\"..///media/chansons/"
    "non_je_ne_regrette_rien.htm\">Piaf</a>\n</td>\n";
// The warning of the link that kChanson gives a page named liste.htm.
const std::string kCutInAName =
    "attention : ligne 11 : le lien pris sur cette ligne, "
    "..///media/chansons/non_je_ne_relien.htm dans la carte carte1, a un "
    "chemin qui ne finit pas par / : la coupure tombe dans un nom, "
    "--link-folder donne le dossier";

const std::string kFilmCell =
    "<td>\n<img src=\"son.gif\"> <a href=\"..///films/suspense/vertigo/"
    "index.htm\">Vertigo</a>\n</td>\n";

// A cell that an earlier run added, as it writes it.
const std::string kAddedCell =
    "<td>\n<img src=\"son.gif\"><MAP NAME=\"carte1\">\n</td>\n";

struct PreviewCase {
  std::string what;
  std::string page;     ///< Triggers the warning.
  std::string params;   ///< param.txt.
  std::string warning;  ///< A line the preview prints for |page|.
  std::string mended;   ///< The same page mended: no such line.
  std::string mended_params;
  bool mended_clean = true;  ///< The mended page gets no warning at all.
  std::vector<std::string> options = {};  ///< For both runs of the preview.
  std::string name = "p.htm";             ///< The page's name.
  int status = 1;                         ///< The status the warning gives.
};

// The names, bytes and times of every file of |folder|.
std::string Snapshot(const std::filesystem::path& folder) {
  std::string all;
  for (const auto& e : std::filesystem::directory_iterator(folder)) {
    struct stat st;
    stat(e.path().c_str(), &st);
    all += e.path().filename().string() + " " +
           std::to_string(st.st_mtim.tv_sec) + "." +
           std::to_string(st.st_mtim.tv_nsec) + " " +
           std::to_string(st.st_ctim.tv_sec) + "." +
           std::to_string(st.st_ctim.tv_nsec) + " " +
           (e.is_regular_file() ? ReadBytes(e.path()) : "") + "\n";
  }
  return all;
}

TEST_F(E2eTest, PreviewWarnsOfEachTrap) {
  const std::string long_cell = "<td>\nx</td>" + std::string(600, 'y') + "\n";
  const std::string cut_cell = std::string(509, 'z') + "</td>\n";
  std::string stripes = Table({kFilmCell, kFilmCell});
  stripes.replace(stripes.find("<tr>\n<td>\n<img"), 4, "<tr class=\"a\">");
  std::string capitals = Table({kFilmCell});
  capitals.replace(capitals.find("son.gif"), 7, "SON.GIF");
  const std::vector<PreviewCase> cases = {
      {"a link path that takes the end of its tag",
       Table({"<td>\n<img src=\"son.gif\"> <a href=\"..///m/1.htm\">La vie en "
              "rose</a>\n</td>\n"}),
       kParams,
       "attention : ligne 11 : le lien pris sur cette ligne, ..///m/1.htm\">La "
       "vie en roselien.htm dans la carte carte1, contient un guillemet, un "
       "chevron ou une fin de ligne : il peut casser le lien ou la balise ; "
       "son chemin ne finit pas par / : la coupure tombe dans un nom, "
       "--link-folder donne le dossier",
       Table({kFilmCell}), kParams},
      {"a map before any link path",
       Table({"<td>\n<img src=\"son.gif\">\n</td>\n"}), kParams,
       "attention : ligne 12 : la carte carte1 vient avant toute ligne ..///, "
       "son lien est le nom du fichier seul\nnote : les fins de ligne LF "
       "seules deviendraient CR LF\ntotal : 1 entete, 1 cartes, 0 tirets, 1 "
       "avertissements",
       Table({kFilmCell}), kParams},
      {"a link path taken in an earlier row",
       Table({kFilmCell, "<td>\n<img src=\"son.gif\">\n</td>\n"}), kParams,
       "attention : ligne 17 : la carte carte2 reprend le lien pris ligne 11, "
       "dans une ligne de tableau precedente",
       Table({kFilmCell, kFilmCell}), kParams},
      {"a sound icon after the row's cell",
       Table({"<td>\n..///films/suspense/vertigo/\n</td>\n<td><img "
              "src=\"son.gif\"></td>\n"}),
       kParams,
       "attention : ligne 13 : ce son.gif ne donnerait pas de carte : sa ligne "
       "de tableau recevrait un tiret, place avant lui",
       Table({kFilmCell}), kParams},
      {"rows in capitals", "<TABLE>\n<TR>\n<TD>\nA\n</TD>\n</TR>\n</TABLE>\n",
       kParams,
       "attention : aucune cellule ne serait inseree ; <TR et <tr suivi "
       "d'attributs ne sont des lignes de tableau qu'avec --html",
       "<table>\n<tr>\n<td>\nA\n</td>\n</tr>\n</table>\n", kParams},
      {"column 0", Table({kFilmCell}), Params("0"),
       "attention : colonne 0 : la nouvelle cellule irait apres la ligne qui "
       "suit chaque <tr>, avant toute cellule fermee",
       Table({kFilmCell}), kParams},
      {"a row with too few cells",
       "<table>\n<tr>\n<td>\nT\n</td>\n<td>\nU\n</td>\n</tr>\n"
       "<tr>\n<td>\nA\n</td>\n</tr>\n"
       "<tr>\n<td>\nB\n</td>\n<td>\nC\n</td>\n</tr>\n</table>\n",
       Params("2"),
       "attention : ligne 15 : la ligne de tableau precedente a trop peu de "
       "lignes qui ferment une cellule : sa nouvelle cellule irait dans "
       "celle-ci ou plus loin",
       "<table>\n<tr>\n<td>\nT\n</td>\n<td>\nU\n</td>\n</tr>\n"
       "<tr>\n<td>\nA\n</td>\n<td>\nD\n</td>\n</tr>\n"
       "<tr>\n<td>\nB\n</td>\n<td>\nC\n</td>\n</tr>\n</table>\n",
       Params("2")},
      {"a heading after a cell of two columns",
       "<table>\n<tr>\n<td colspan=\"2\">\nT\n</td>\n</tr>\n<tr>\n<td>\na\n</"
       "td>\n</tr>\n</table>\n",
       kParams,
       "attention : ligne 10 : la nouvelle cellule de cette ligne serait en "
       "colonne 2, l'entete en colonne 3",
       "<table>\n<tr>\n<td colspan=\"2\">\nT\n</td>\n</tr>\n<tr>\n<td "
       "colspan=2>\na\n</td>\n</tr>\n</table>\n",
       kParams},
      {"rows with attributes: ragged, mended by --html",
       stripes,
       kParams,
       "attention : ligne 3 : les lignes de ce tableau finiraient inegales : 1 "
       "de ses 3 lignes ne recevraient pas de nouvelle cellule (la premiere "
       "ligne 9) ; avec --html, <TR et <tr suivi d'attributs en sont\n"
       "attention : ligne 9 : 1 lignes de tableau que montre un navigateur "
       "(<TR, <tr suivi d'attributs), dont celle-ci, ne recevraient pas de "
       "cellule : --html les lit comme lui",
       stripes,
       kParams,
       true,
       {"--html"}},
      {"a sound icon in capitals gets a dash",
       capitals,
       kParams,
       "attention : ligne 11 : 1 icones son.gif ecrites en majuscules, dont "
       "celle-ci, ne donneraient pas de carte, leur ligne de tableau "
       "recevrait un tiret : --html les lit comme un navigateur",
       capitals,
       kParams,
       true,
       {"--html"}},
      {"rows on one line: a cell after a </tr>",
       "<table>\n<tr>\n<td>Titre</td><td>Duree</td>\n</tr>\n<tr><td><img "
       "src=\"son.gif\"> ..///a/</td><td>1h</td></tr>\n</table>\n",
       kParams,
       "attention : ligne 5 : la nouvelle cellule tomberait entre deux lignes "
       "du tableau, apres un </tr> : le navigateur la montrerait sur une "
       "ligne a part",
       Table({kFilmCell}), kParams},
      {"a new cell before its row's first cell",
       "<table>\n<tr>\n\n<td>\nA\n</td>\n</tr>\n</table>\n", Params("0"),
       "attention : ligne 3 : la nouvelle cellule tomberait avant la premiere "
       "cellule de sa ligne de tableau : elle y serait la premiere colonne",
       "<table>\n<tr>\n<td>\nA\n</td>\n</tr>\n</table>\n", Params("0"), false},
      {"two columns already added: one warning",
       Table({kFilmCell, kAddedCell + kAddedCell}), kParams,
       "total : 1 entete, 2 cartes, 0 tirets, 2 avertissements",
       Table({kFilmCell, kAddedCell + kAddedCell}),
       "1\nEntete\nvideo.gif\nson2.gif\nplan\nlien.htm\n", false},
      {"a cell in the middle of a long line", Table({long_cell}), kParams,
       "attention : ligne 11 : la cellule serait inseree au milieu de cette "
       "ligne",
       Table({"<td>\nx</td>\n" + std::string(600, 'y') + "\n"}), kParams},
      {"a marker cut by the piece's length", Table({"<td>\n" + cut_cell}),
       kParams,
       "attention : ligne 11 : le repere </td> est coupe en deux par la "
       "limite de 511 octets : il n'est pas vu",
       Table({"<td>\n" + std::string(500, 'z') + "</td>\n"}), kParams},
      {"UTF-8 answers in an ISO-8859-1 page",
       Table({kFilmCell},
             "<html>\n<head><meta http-equiv=\"Content-Type\" "
             "content=\"text/html; charset=ISO-8859-1\"></head>\n<body>\n"),
       "1\n\xC3\x89"
       "couter\nvideo.gif\nson2.gif\ncarte\nlien.htm\n",
       "attention : les reponses sont en UTF-8, la page est en iso-8859-1",
       Table({kFilmCell},
             "<html>\n<head><meta http-equiv=\"Content-Type\" "
             "content=\"text/html; charset=ISO-8859-1\"></head>\n<body>\n"),
       "1\n&Eacute;couter\nvideo.gif\nson2.gif\ncarte\nlien.htm\n"},
      {"a navigation bar above the list",
       Table({kFilmCell, kFilmCell},
             "<html>\n<body>\n<table>\n<tr>\n<td>\nmenu\n</td>\n</tr>\n"
             "</table>\n"),
       kParams,
       "attention : ligne 7 : l'entete irait dans un autre tableau que la "
       "plupart des cellules",
       Table({kFilmCell, kFilmCell}, "<html>\n<body>\n<div>\nmenu\n</div>\n"),
       kParams, false},
      {"rows closed on the line of their last cell",
       Table({"<td>\n..///films/suspense/vertigo/\n</td></tr>\n<tr>\n<td>\n"
              "<img src=\"son.gif\">\n</td>\n"}),
       kParams,
       "attention : ligne 13 : cette ligne de tableau ne recevrait pas de "
       "cellule : son <tr> suit de trop pres la nouvelle cellule de la "
       "precedente",
       Table({kFilmCell, kFilmCell}), kParams},
      {"a link path cut inside a file name, mended by --link-folder",
       Table({kChanson}),
       kParams,
       kCutInAName,
       Table({kChanson}),
       kParams,
       true,
       {"--link-folder"},
       "liste.htm"},
      {"a link path cut at a '/' by a name of the right length",
       Table({kChanson}),
       kParams,
       kCutInAName,
       Table({"<td>\n<img src=\"son.gif\"> <a href=\"..///media/chansons/"
              "non_je_ne_r/rien.htm\">Piaf</a>\n</td>\n"}),
       kParams,
       true,
       {},
       "liste.htm"},
      {"rows in capitals with a sound icon: no cell, said so",
       "<TABLE>\n<TR>\n<TD>\nA\n</TD>\n</TR>\n<TR>\n<TD><img "
       "src=\"son.gif\"></TD>\n</TR>\n</TABLE>\n",
       kParams,
       "attention : ligne 8 : ce son.gif ne donnerait pas de carte : sa ligne "
       "de tableau ne recevrait pas de cellule",
       Table({kFilmCell}), kParams},
      {"a sound icon in the heading row gets the heading",
       "<table>\n<tr>\n<td><img src=\"son.gif\">\nTitre\n</td>\n</tr>\n"
       "<tr>\n" +
           kFilmCell + "</tr>\n</table>\n",
       kParams,
       "attention : ligne 3 : ce son.gif ne donnerait pas de carte : l'entete "
       "serait inseree apres lui",
       Table({kFilmCell}, ""), kParams},
      {"a marker that ends at the piece's end is whole",
       Table({"<td>\n" + cut_cell}), kParams,
       "attention : ligne 11 : le repere </td> est coupe en deux par la "
       "limite de 511 octets : il n'est pas vu",
       Table({"<td>\n" + std::string(506, 'z') + "</td>\n"}), kParams, false},
      {"a column already added", Table({kFilmCell, kAddedCell}), kParams,
       "attention : ligne 16 : la carte carte1 est deja dans la page : une "
       "colonne y a deja ete ajoutee, une execution en ajouterait une seconde",
       Table({kFilmCell, kAddedCell}),
       "1\nEntete\nvideo.gif\nson2.gif\nplan\nlien.htm\n", false},
      {"eleven maps before any link path: ten lines, then the rest counted",
       Table(std::vector<std::string>(11,
                                      "<td>\n<img src=\"son.gif\">\n</td>\n")),
       kParams, "attention : 1 autres avertissements de ce type",
       Table(std::vector<std::string>(11, kFilmCell)), kParams},
      {"a page this user may not write: a run would refuse",
       Table({kFilmCell}),
       kParams,
       "attention : brantix refuserait : le fichier p.htm ne peut pas etre "
       "ecrit par cet utilisateur",
       Table({kFilmCell}),
       kParams,
       true,
       {},
       "p.htm",
       2},
      {"a double quote in a map name", Table({kFilmCell}),
       "1\nEntete\nvideo.gif\nson2.gif\ncar\"te\nlien.htm\n",
       "attention : le champ NomMap contient un guillemet : il casse la "
       "balise ou il est ecrit",
       Table({kFilmCell}), kParams},
  };
  for (const PreviewCase& c : cases) {
    SCOPED_TRACE(c.what);
    // Root may write any page, under Wine too.
    if (c.status == 2 && geteuid() == 0) continue;
    for (bool mended : {false, true}) {
      for (const auto& e : std::filesystem::directory_iterator(dir_.path)) {
        std::filesystem::remove_all(e);
      }
      Put(c.name, mended ? c.mended : c.page);
      Put("param.txt",
          mended ? (c.mended_params.empty() ? c.params : c.mended_params)
                 : c.params);
      const bool locked = c.status == 2 && !mended;
      if (locked)
        std::filesystem::permissions(dir_ / c.name,
                                     std::filesystem::perms::owner_read);
      const std::string before = Snapshot(dir_.path);
      std::vector<std::string> args = {c.name, "-n", "-1"};
      if (mended) args.insert(args.end(), c.options.begin(), c.options.end());
      RunResult r = Run(args);
      if (locked)
        std::filesystem::permissions(dir_ / c.name,
                                     std::filesystem::perms::owner_all);
      EXPECT_EQ(Snapshot(dir_.path), before) << "the preview changed a file";
      const bool warned = r.output.find(c.warning + "\n") != std::string::npos;
      if (mended) {
        EXPECT_FALSE(warned) << r.output;
        if (c.mended_clean) {
          EXPECT_EQ(r.status, 0) << r.output;
        }
      } else {
        EXPECT_TRUE(warned) << r.output;
        EXPECT_EQ(r.status, c.status) << r.output;
      }
    }
  }
}

// The escapes, a param.txt saved with a byte-order mark, the notes, and
// the option in first place.
TEST_F(E2eTest, PreviewShowsBytesInAscii) {
  Put("p.htm", Table({"<td>\n<img src=\"son.gif\"> ..///x/\n</td>\n"}));
  Put("p.htm.orig", "ancienne");
  Put("param.txt",
      "\xEF\xBB\xBF"
      "1\na\tb\\c\x01\x80\nvideo.gif\nson2.gif\ncarte\nlien.htm\n");
  RunResult r = Run({"--dry-run", "p.htm", "-1"});
  EXPECT_EQ(r.output,
            "ligne 7 : entete a\\tb\\\\c\\x01\\x80\n"
            "ligne 12 : carte carte1 -> ..///x/\\r\\nlien.htm\n"
            "attention : ligne 11 : le lien pris sur cette ligne, "
            "..///x/\\r\\nlien.htm dans la carte carte1, contient un "
            "guillemet, un chevron ou une fin de ligne : il peut casser le "
            "lien ou la balise\n"
            "note : la sauvegarde p.htm.orig existe et serait remplacee\n"
            "note : les fins de ligne LF seules deviendraient CR LF\n"
            "total : 1 entete, 1 cartes, 0 tirets, 1 avertissements\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(Get("p.htm.orig"), "ancienne");
  // At a console that shows UTF-8, text in UTF-8 keeps its characters.
  Put("param.txt",
      "1\n\xC3\x89"
      "coute\tx\nvideo.gif\nson2.gif\nc\nl.htm\n");
  Session console = StartSession({"-n", "p.htm", "-1"}, dir_.path.string(),
                                 true, {"env", "LC_ALL=C.UTF-8"});
  EXPECT_NE(Finish(&console).output.find("entete \xC3\x89"
                                         "coute\\tx\n"),
            std::string::npos);
}

// A second run adds the column again, and says so on the error stream.
TEST_F(E2eTest, ARunThatAddsTheColumnAgainSaysSo) {
  Put("p.htm", Table({kFilmCell}));
  Put("param.txt", kParams);
  for (int run = 0; run < 2; ++run) {
    EXPECT_EQ(RunKeepingErrors({"p.htm", "-1"}, "\n").output, kConfirm);
    EXPECT_EQ(Get("errors").find("la carte carte1 etait deja dans la page") !=
                  std::string::npos,
              run == 1);
  }
}

// On random pages the preview shows the cells the run inserts, at the
// lines the model of the rewrite gives, and the run's page is the model's.
TEST_F(E2eTest, PreviewShowsTheRunsCells) {
  std::mt19937 random(20261207);
  const char* const parts[] = {
      "<tr>",    "</td>", "son.gif", "..///a/b/c/d", "texte",
      "<td>",    "\r",    "</tr>",   "..///\"",      "\t",
      "/x.htm'", "<TR>",  "</TH>",   "SON.GIF",      "<tr class=x>"};
  const int pages = Windows() ? 20 : 150;
  for (int n = 0; n < pages; ++n) {
    std::string page;
    const int lines = 5 + static_cast<int>(random() % 60);
    for (int l = 0; l < lines; ++l) {
      const int count = static_cast<int>(random() % 4);
      for (int k = 0; k < count; ++k) page += parts[random() % 15];
      if (random() % 20 == 0) page += std::string(random() % 700, 'x');
      page += random() % 4 == 0 ? "\r\n" : "\n";
    }
    const std::string name = std::string(1 + random() % 12, 'p') + ".htm";
    const int column = static_cast<int>(random() % 4);
    const bool folder = random() % 2 == 0;
    std::vector<std::string> options = {name, "-1"};
    if (folder) options.insert(options.begin() + random() % 3, "--link-folder");
    const bool html = random() % 2 == 0;
    if (html) options.insert(options.begin() + random() % 3, "--html");
    for (const auto& e : std::filesystem::directory_iterator(dir_.path)) {
      std::filesystem::remove_all(e);
    }
    Put(name, page);
    Put("param.txt", Params(std::to_string(column)));
    std::vector<std::string> preview_options = options;
    preview_options.insert(
        preview_options.begin() + random() % (options.size() + 1), "-n");
    RunResult preview = Run(preview_options);
    ASSERT_TRUE(preview.status == 0 || preview.status == 1) << preview.output;
    ModelAnswers answers{column, kHeading, kIcon1, kIcon2, kMap, kLinkFile};
    std::vector<ModelCell> cells;
    const std::string model = ModelRewrite(
        LoneLfToCrLf(page), answers, name.size(), 0, &cells, folder, html);
    std::string expected;
    for (const ModelCell& c : cells) {
      std::string what =
          c.what == "entete" ? "entete " + std::string(kHeading) : c.what;
      std::string shown;
      for (char ch : EveryLfToCrLf(what)) {
        if (ch == '\r') {
          shown += "\\r";
        } else if (ch == '\n') {
          shown += "\\n";
        } else if (ch == '\t') {
          shown += "\\t";
        } else {
          shown += ch;
        }
      }
      expected += "ligne " + std::to_string(c.line) + " : " + shown + "\n";
    }
    EXPECT_EQ(preview.output.substr(0, expected.size()), expected)
        << "page " << n;
    RunResult run = RunKeepingErrors(options, "\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, kConfirm);
    EXPECT_EQ(Get("errors").find("aucune cellule n'a ete inseree") !=
                  std::string::npos,
              cells.empty())
        << Get("errors");
    EXPECT_EQ(FirstDifference(Get(name), model), "") << "page " << n;
    if (HasFailure()) break;
  }
}

}  // namespace
