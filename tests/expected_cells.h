// The inserted cells as they must appear in a rewritten page, typed out by
// hand (not produced by the program's own cell writers), with LF line ends:
// the tests turn every LF of an expected page into CR LF with
// EveryLfToCrLf() (tests/text_model.h).
#ifndef BRANTIX_TESTS_EXPECTED_CELLS_H_
#define BRANTIX_TESTS_EXPECTED_CELLS_H_

#include <string>
#include <vector>

#include "tests/text_model.h"

inline std::string HeadingCell(const std::string& texte) {
  return "\n\t<td WIDTH=\"10%\" BGCOLOR=\"#f0ffff\" HEIGHT=\"19\" "
         "align=\"center\"><font size=\"3\">\n"
         "<strong><em><center>" + texte + "</center>\n"
         "\t</em></strong></font>\n"
         "\t</td>\n";
}

inline std::string MapCell(const std::string& icone1, const std::string& icone2,
                           const std::string& map, int numero,
                           const std::string& chemin, const std::string& lien) {
  const std::string nom = map + std::to_string(numero);
  return "<td WIDTH=\"10%\" BGCOLOR=\"#f0ffff\" HEIGHT=\"19\" "
         "align=\"center\"><font size=\"3\">\n"
         "<IMG SRC=\"../" + icone1 + "\" USEMAP=\"#" + nom +
         "\" ALT=\"Video\" BORDER=0 HEIGHT=30 WIDTH=30>"
         "<IMG SRC=\"../" + icone2 + "\" USEMAP=\"#" + nom +
         "\" ALT=\"Sound\" BORDER=0 HEIGHT=30 WIDTH=30>\n"
         "<MAP NAME=\"" + nom + "\">\n"
         "<AREA SHAPE=\"rect\" COORDS=\"0,0,30,30\", HREF=\"" + chemin + lien +
         "\" ALT=\"" + map + "\">\n"
         "</MAP>\n"
         "</td>\n";
}

inline std::string DashCell() {
  return "<td WIDTH=\"10%\" BGCOLOR=\"#f0ffff\" HEIGHT=\"19\" "
         "align=\"center\"><font size=\"3\"><strong><em><center>\n"
         "- </center>\n"
         "</em></strong></font>\n"
         "</td>\n";
}

/// A small page for the parameter tests: a heading row and a row with a
/// sound icon and a link path, four cells each, three lines a cell. With
/// |numero| from 1 to 4 the given cells follow the |numero|-th cell of their
/// row; with 0 or less they follow the first cell's opening line. Without
/// cells it is the page as it was.
inline std::string PetitTableau(int numero = 0, const std::string& entete = "",
                                const std::string& donnees = "") {
  const std::vector<std::vector<std::string>> rows = {
      {"Titre", "Realisateur", "Annee", "Note"},
      {"<img src=\"son.gif\"> <a href=\"..///films/suspense/hitchcock/"
       "vertigo.htm\">Vertigo</a>",
       "Hitchcock", "1958", "5"}};
  const std::string cells[2] = {entete, donnees};
  std::string out = "<table>\n";
  for (int r = 0; r < 2; ++r) {
    out += "<tr>\n";
    for (int c = 0; c < 4; ++c) {
      out += "<td>\n";
      if (numero <= 0 && c == 0) out += cells[r];
      out += rows[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] +
             "\n</td>\n";
      if (c + 1 == numero) out += cells[r];
    }
    out += "</tr>\n";
  }
  return out + "</table>\n";
}

/// The link path that PetitTableau's data row gives under a page name of 8
/// bytes ("page.htm"): the 31 bytes from "..///".
inline const char kCheminPetitTableau[] = "..///films/suspense/hitchcock/v";

/// PetitTableau as the program rewrites it, under the name "page.htm", from
/// these fields, with CR LF line ends.
inline std::string PetitTableauReecrit(int numero, const std::string& entete,
                                       const std::string& icone1,
                                       const std::string& icone2,
                                       const std::string& map,
                                       const std::string& lien) {
  return EveryLfToCrLf(PetitTableau(
      numero, HeadingCell(entete),
      numero > 0 ? MapCell(icone1, icone2, map, 1, kCheminPetitTableau, lien)
                 : DashCell()));
}

#endif  // BRANTIX_TESTS_EXPECTED_CELLS_H_
