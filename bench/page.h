// The test page of the benchmarks: a table of data rows with four cells,
// each cell on three lines (opening tag, content, closing "</td>"), about
// 57 bytes per line, a sound icon and a link path in one row of three.
// The same arguments always give the same bytes, so runs can be compared.
#ifndef BRANTIX_BENCH_PAGE_H_
#define BRANTIX_BENCH_PAGE_H_

#include <cstdint>
#include <string>

struct GenerateurPage {
  std::uint64_t hasard = 0x9E3779B97F4A7C15u;
  std::uint64_t numero = 1;  ///< Number of the next data row.
  const char* fin = "\n";     ///< Line end: "\n" or "\r\n".
};

inline std::uint32_t Hasard(GenerateurPage* g) {
  g->hasard = g->hasard * 6364136223846793005u + 1442695040888963407u;
  return static_cast<std::uint32_t>(g->hasard >> 33);
}

inline void AjouterLigne(const GenerateurPage& g, const std::string& texte,
                         std::string* out) {
  out->append(texte);
  out->append(g.fin);
}

inline void AjouterCellule(const GenerateurPage& g, const std::string& contenu,
                           std::string* out) {
  AjouterLigne(g,
               "    <td WIDTH=\"20%\" BGCOLOR=\"#ffffe0\" HEIGHT=\"19\" "
               "align=\"left\" valign=\"top\" bordercolor=\"#c0c0c0\">",
               out);
  AjouterLigne(g, "      " + contenu, out);
  AjouterLigne(g, "    </td>", out);
}

inline std::string TexteCellule(GenerateurPage* g, std::uint64_t numero) {
  static const char* const kMots[] = {
      "concert", "enregistrement", "archive", "video",     "salle",  "orchestre",
      "soliste", "piano",          "choeur",  "programme", "saison", "opus"};
  std::string t = "<font size=\"2\" face=\"Arial\">";
  int mots = 4 + static_cast<int>(Hasard(g) % 6);
  for (int i = 0; i < mots; ++i) {
    t += kMots[Hasard(g) % (sizeof kMots / sizeof kMots[0])];
    t += ' ';
  }
  t += std::to_string(numero);
  t += "</font>";
  return t;
}

/// The page's head and the heading row.
inline std::string DebutPage(const GenerateurPage& g) {
  std::string out;
  AjouterLigne(g, "<html>", &out);
  AjouterLigne(g, "<head><title>Liste des enregistrements</title></head>", &out);
  AjouterLigne(g, "<body bgcolor=\"#ffffff\">", &out);
  AjouterLigne(g, "<table border=\"1\" width=\"100%\" cellpadding=\"2\">", &out);
  AjouterLigne(g, "  <tr>", &out);
  for (const char* titre : {"Titre", "Ecoute", "Description", "Duree"}) {
    AjouterCellule(g, std::string("<strong>") + titre + "</strong>", &out);
  }
  AjouterLigne(g, "  </tr>", &out);
  return out;
}

/// Appends the next data row.
inline void AjouterRangee(GenerateurPage* g, std::string* out) {
  std::uint64_t n = g->numero++;
  AjouterLigne(*g, "  <tr>", out);
  AjouterCellule(*g, TexteCellule(g, n), out);
  if (n % 3 == 0) {
    AjouterCellule(*g,
                   "<a href=\"..///sons/piste" + std::to_string(n) +
                       ".htm\"><img src=\"son.gif\" border=0 alt=\"ecouter\"></a>",
                   out);
  } else {
    AjouterCellule(*g, TexteCellule(g, n + 1), out);
  }
  AjouterCellule(*g, TexteCellule(g, n + 2), out);
  AjouterCellule(*g,
                 "<em>" + std::to_string(Hasard(g) % 100000) +
                     " s, format mp3, 128 kbit/s, stereo</em>",
                 out);
  AjouterLigne(*g, "  </tr>", out);
}

/// The end of the table and of the page.
inline std::string FinPage(const GenerateurPage& g) {
  std::string out;
  AjouterLigne(g, "</table>", &out);
  AjouterLigne(g, "</body>", &out);
  AjouterLigne(g, "</html>", &out);
  return out;
}

/// A whole page of about |taille| bytes, in memory.
inline std::string FairePage(std::uint64_t taille, bool crlf) {
  GenerateurPage g;
  g.fin = crlf ? "\r\n" : "\n";
  std::string page = DebutPage(g);
  std::string fin = FinPage(g);
  while (page.size() + fin.size() < taille) AjouterRangee(&g, &page);
  return page + fin;
}

#endif  // BRANTIX_BENCH_PAGE_H_
