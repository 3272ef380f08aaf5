// The test pages of the benchmarks, in two layouts. Both are tables whose
// cells take three lines each (opening tag, content, closing "</td>"):
//
// - short lines, like samples/liste.htm: three cells a row, "<tr>", a tab
//   and "<td>", one content line, a tab and "</td>", about 17.5 bytes a
//   line with LF line ends; two rows of three show a son.gif sound icon and
//   one of three a "..///" link path, as in the sample;
// - long lines: four cells a row, the opening tags with all their
//   attributes, about 57 bytes a line, a sound icon and a link path in one
//   row of three.
//
// Either comes with LF or with CR LF line ends. The same arguments always
// give the same bytes, so runs can be compared.
#ifndef BRANTIX_BENCH_PAGE_H_
#define BRANTIX_BENCH_PAGE_H_

#include <cstdint>
#include <string>

enum class PageLayout {
  kLongLines,   ///< Four cells a row, about 57 bytes a line.
  kShortLines,  ///< Three cells a row, about 17.5 bytes a line.
};

struct PageGenerator {
  std::uint64_t random_state = 0x9E3779B97F4A7C15u;
  std::uint64_t next_row = 1;   ///< Number of the next data row.
  const char* line_end = "\n";  ///< Line end: "\n" or "\r\n".
  PageLayout layout = PageLayout::kLongLines;
};

inline std::uint32_t NextRandom(PageGenerator* g) {
  g->random_state =
      g->random_state * 6364136223846793005u + 1442695040888963407u;
  return static_cast<std::uint32_t>(g->random_state >> 33);
}

inline void AddLine(const PageGenerator& g, const std::string& text,
                    std::string* out) {
  out->append(text);
  out->append(g.line_end);
}

// The long-line layout.

inline void AddLongCell(const PageGenerator& g, const std::string& content,
                        std::string* out) {
  AddLine(g,
          "    <td WIDTH=\"20%\" BGCOLOR=\"#ffffe0\" HEIGHT=\"19\" "
          "align=\"left\" valign=\"top\" bordercolor=\"#c0c0c0\">",
          out);
  AddLine(g, "      " + content, out);
  AddLine(g, "    </td>", out);
}

inline std::string LongCellText(PageGenerator* g, std::uint64_t number) {
  static const char* const kWords[] = {
      "concert", "enregistrement", "archive", "video",
      "salle",   "orchestre",      "soliste", "piano",
      "choeur",  "programme",      "saison",  "opus"};
  std::string t = "<font size=\"2\" face=\"Arial\">";
  int words = 4 + static_cast<int>(NextRandom(g) % 6);
  for (int i = 0; i < words; ++i) {
    t += kWords[NextRandom(g) % (sizeof kWords / sizeof kWords[0])];
    t += ' ';
  }
  t += std::to_string(number);
  t += "</font>";
  return t;
}

// The short-line layout, like samples/liste.htm.

/// One of |count| words, at random.
inline const char* PickWord(PageGenerator* g, const char* const* words,
                            std::uint32_t count) {
  return words[NextRandom(g) % count];
}

/// A song title of two to five words, and its file name (without ".htm").
inline void MakeSongTitle(PageGenerator* g, std::string* title,
                          std::string* file_name) {
  static const char* const kWords[] = {
      "la",    "mer",     "les",    "feuilles", "mortes",  "comme",
      "une",   "chanson", "pour",   "toi",      "amour",   "nuit",
      "paris", "le",      "temps",  "des",      "cerises", "ville",
      "douce", "france",  "soleil", "jardin",   "vie",     "rose"};
  const std::uint32_t count = sizeof kWords / sizeof kWords[0];
  title->clear();
  file_name->clear();
  int words = 2 + static_cast<int>(NextRandom(g) % 4);
  for (int i = 0; i < words; ++i) {
    const char* word = PickWord(g, kWords, count);
    if (i > 0) {
      *title += ' ';
      *file_name += '_';
    }
    *title += word;
    *file_name += word;
  }
  (*title)[0] = static_cast<char>((*title)[0] - 'a' + 'A');
}

/// A name as shown on the page and as spelt in a file name.
struct SpeltName {
  const char* shown;
  const char* in_file;
};

/// A singer's name, a first name and a last name, alone or as a link to
/// the singer's page.
inline std::string MakeSingerName(PageGenerator* g, bool with_link) {
  static const SpeltName kFirst[] = {
      {"Charles", "charles"},    {"Yves", "yves"},
      {"&Eacute;dith", "edith"}, {"Jacques", "jacques"},
      {"Claude", "claude"},      {"Fran&ccedil;oise", "francoise"},
      {"Georges", "georges"},    {"Serge", "serge"},
      {"Barbara", "barbara"}};
  static const SpeltName kLast[] = {{"Trenet", "trenet"},
                                    {"Montand", "montand"},
                                    {"Piaf", "piaf"},
                                    {"Brel", "brel"},
                                    {"Fran&ccedil;ois", "francois"},
                                    {"Hardy", "hardy"},
                                    {"Brassens", "brassens"},
                                    {"Gainsbourg", "gainsbourg"},
                                    {"Aznavour", "aznavour"},
                                    {"Ferrat", "ferrat"}};
  const SpeltName& first =
      kFirst[NextRandom(g) % (sizeof kFirst / sizeof kFirst[0])];
  const SpeltName& last =
      kLast[NextRandom(g) % (sizeof kLast / sizeof kLast[0])];
  std::string name = std::string(first.shown) + ' ' + last.shown;
  if (!with_link) return name;
  return std::string("<a href=\"interpretes/") + first.in_file + "_" +
         last.in_file + ".htm\">" + name + "</a>";
}

/// The folder of a sound extract, after "..///extraits/".
inline const char* PickGenre(PageGenerator* g) {
  static const char* const kGenres[] = {
      "chanson_francaise", "variete_francaise", "jazz_manouche", "musette"};
  return PickWord(g, kGenres, sizeof kGenres / sizeof kGenres[0]);
}

inline constexpr const char kSoundIcon[] =
    "<img src=\"../images/son.gif\" alt=\"extrait\"> ";

/// A cell on three lines: a tab and "<td>", a tab and the content, a tab
/// and "</td>".
inline void AddShortCell(const PageGenerator& g, const std::string& content,
                         std::string* out) {
  AddLine(g, "\t<td>", out);
  AddLine(g, "\t" + content, out);
  AddLine(g, "\t</td>", out);
}

inline std::string ShortPageHead(const PageGenerator& g) {
  std::string out;
  AddLine(g, "<html>", &out);
  AddLine(g, "<head>", &out);
  AddLine(g,
          "<meta http-equiv=\"Content-Type\" content=\"text/html; "
          "charset=iso-8859-1\">",
          &out);
  AddLine(g, "<title>Chansons - liste des titres</title>", &out);
  AddLine(g, "</head>", &out);
  AddLine(g, "<body bgcolor=\"#ffffff\">", &out);
  AddLine(g, "<h1>Chansons fran&ccedil;aises</h1>", &out);
  AddLine(g, "<table border=\"1\" cellpadding=\"2\" width=\"90%\">", &out);
  AddLine(g, "<tr>", &out);
  const char* const headings[][2] = {
      {"40", "Titre"}, {"30", "Interpr&egrave;te"}, {"20", "Ann&eacute;e"}};
  for (const auto& heading : headings) {
    AddLine(
        g,
        std::string("\t<td WIDTH=\"") + heading[0] + "%\" BGCOLOR=\"#f0ffff\">",
        &out);
    AddLine(g, std::string("\t<strong>") + heading[1] + "</strong>", &out);
    AddLine(g, "\t</td>", &out);
  }
  AddLine(g, "</tr>", &out);
  return out;
}

/// Appends the next data row: title, singer, year. The rows go in sixes,
/// the first five as in samples/liste.htm: a sound icon and a "..///" link
/// in the title; a plain link; a sound icon; a "..///" link in the title
/// and a sound icon in the year; a sound icon; then a title alone. The
/// singer's name is a link but in the fifth.
inline void AddShortRow(PageGenerator* g, std::string* out) {
  const std::uint64_t n = g->next_row++;
  std::string title;
  std::string file_name;
  MakeSongTitle(g, &title, &file_name);
  std::string title_cell;
  const int kind = static_cast<int>((n - 1) % 6);
  if (kind == 0 || kind == 2 || kind == 4) title_cell = kSoundIcon;
  if (kind == 0 || kind == 3) {
    title_cell += std::string("<a href=\"..///extraits/") + PickGenre(g) + "/" +
                  file_name + ".htm\">" + title + "</a>";
  } else if (kind == 1) {
    title_cell += "<a href=\"paroles/" + file_name + ".htm\">" + title + "</a>";
  } else {
    title_cell += title;
  }
  std::string year = std::to_string(1930 + NextRandom(g) % 90);
  if (kind == 3) year = kSoundIcon + year;

  AddLine(*g, "<tr>", out);
  AddShortCell(*g, title_cell, out);
  AddShortCell(*g, MakeSingerName(g, kind != 4), out);
  AddShortCell(*g, year, out);
  AddLine(*g, "</tr>", out);
}

inline std::string ShortPageEnd(const PageGenerator& g) {
  std::string out;
  AddLine(g, "</table>", &out);
  AddLine(g, "<p><a href=\"index.htm\">Retour</a></p>", &out);
  AddLine(g, "</body>", &out);
  AddLine(g, "</html>", &out);
  return out;
}

// The page, in either layout.

/// The page's head and the heading row, in the generator's layout.
inline std::string PageHead(const PageGenerator& g) {
  if (g.layout == PageLayout::kShortLines) return ShortPageHead(g);
  std::string out;
  AddLine(g, "<html>", &out);
  AddLine(g, "<head><title>Liste des enregistrements</title></head>", &out);
  AddLine(g, "<body bgcolor=\"#ffffff\">", &out);
  AddLine(g, "<table border=\"1\" width=\"100%\" cellpadding=\"2\">", &out);
  AddLine(g, "  <tr>", &out);
  for (const char* title : {"Titre", "Ecoute", "Description", "Duree"}) {
    AddLongCell(g, std::string("<strong>") + title + "</strong>", &out);
  }
  AddLine(g, "  </tr>", &out);
  return out;
}

/// Appends the next data row, in the generator's layout.
inline void AddRow(PageGenerator* g, std::string* out) {
  if (g->layout == PageLayout::kShortLines) return AddShortRow(g, out);
  std::uint64_t n = g->next_row++;
  AddLine(*g, "  <tr>", out);
  AddLongCell(*g, LongCellText(g, n), out);
  if (n % 3 == 0) {
    AddLongCell(*g,
                "<a href=\"..///sons/piste" + std::to_string(n) +
                    ".htm\"><img src=\"son.gif\" border=0 alt=\"ecouter\"></a>",
                out);
  } else {
    AddLongCell(*g, LongCellText(g, n + 1), out);
  }
  AddLongCell(*g, LongCellText(g, n + 2), out);
  AddLongCell(*g,
              "<em>" + std::to_string(NextRandom(g) % 100000) +
                  " s, format mp3, 128 kbit/s, stereo</em>",
              out);
  AddLine(*g, "  </tr>", out);
}

/// The end of the table and of the page, in the generator's layout.
inline std::string PageEnd(const PageGenerator& g) {
  if (g.layout == PageLayout::kShortLines) return ShortPageEnd(g);
  std::string out;
  AddLine(g, "</table>", &out);
  AddLine(g, "</body>", &out);
  AddLine(g, "</html>", &out);
  return out;
}

/// A whole page of about |size| bytes, in memory.
inline std::string MakePage(std::uint64_t size, bool crlf,
                            PageLayout layout = PageLayout::kLongLines) {
  PageGenerator g;
  g.line_end = crlf ? "\r\n" : "\n";
  g.layout = layout;
  std::string page = PageHead(g);
  const std::string end = PageEnd(g);
  while (page.size() + end.size() < size) AddRow(&g, &page);
  return page + end;
}

#endif  // BRANTIX_BENCH_PAGE_H_
