// The inserted cells as they must appear in a rewritten page, typed out by
// hand (not produced by the program's own cell writers), with LF line ends:
// the tests turn every LF of an expected page into CR LF with
// EveryLfToCrLf() (tests/text_model.h).
#ifndef BRANTIX_TESTS_EXPECTED_CELLS_H_
#define BRANTIX_TESTS_EXPECTED_CELLS_H_

#include <string>
#include <vector>

#include "tests/text_model.h"

inline std::string HeadingCell(const std::string& heading) {
  return "\n\t<td WIDTH=\"10%\" BGCOLOR=\"#f0ffff\" HEIGHT=\"19\" "
         "align=\"center\"><font size=\"3\">\n"
         "<strong><em><center>" +
         heading +
         "</center>\n"
         "\t</em></strong></font>\n"
         "\t</td>\n";
}

inline std::string MapCell(const std::string& icon1, const std::string& icon2,
                           const std::string& map, int number,
                           const std::string& link_path,
                           const std::string& link_file) {
  const std::string name = map + std::to_string(number);
  return "<td WIDTH=\"10%\" BGCOLOR=\"#f0ffff\" HEIGHT=\"19\" "
         "align=\"center\"><font size=\"3\">\n"
         "<IMG SRC=\"../" +
         icon1 + "\" USEMAP=\"#" + name +
         "\" ALT=\"Video\" BORDER=0 HEIGHT=30 WIDTH=30>"
         "<IMG SRC=\"../" +
         icon2 + "\" USEMAP=\"#" + name +
         "\" ALT=\"Sound\" BORDER=0 HEIGHT=30 WIDTH=30>\n"
         "<MAP NAME=\"" +
         name +
         "\">\n"
         "<AREA SHAPE=\"rect\" COORDS=\"0,0,30,30\", HREF=\"" +
         link_path + link_file + "\" ALT=\"" + map +
         "\">\n"
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
/// |column| from 1 to 4 the given cells follow the |column|-th cell of their
/// row; with 0 or less they follow the first cell's opening line. Without
/// cells it is the page as it was.
inline std::string SmallTable(int column = 0,
                              const std::string& heading_row_cell = "",
                              const std::string& data_row_cell = "") {
  const std::vector<std::vector<std::string>> rows = {
      {"Titre", "Realisateur", "Annee", "Note"},
      {"<img src=\"son.gif\"> <a href=\"..///films/suspense/hitchcock/"
       "vertigo.htm\">Vertigo</a>",
       "Hitchcock", "1958", "5"}};
  const std::string cells[2] = {heading_row_cell, data_row_cell};
  std::string out = "<table>\n";
  for (int r = 0; r < 2; ++r) {
    out += "<tr>\n";
    for (int c = 0; c < 4; ++c) {
      out += "<td>\n";
      if (column <= 0 && c == 0) out += cells[r];
      out += rows[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] +
             "\n</td>\n";
      if (c + 1 == column) out += cells[r];
    }
    out += "</tr>\n";
  }
  return out + "</table>\n";
}

/// The link path that SmallTable's data row gives under a page name of 8
/// bytes ("page.htm"): the 31 bytes from "..///".
inline const char kSmallTableLinkPath[] = "..///films/suspense/hitchcock/v";

/// SmallTable as the program rewrites it, under the name "page.htm", from
/// these fields, with CR LF line ends.
inline std::string SmallTableRewritten(int column, const std::string& heading,
                                       const std::string& icon1,
                                       const std::string& icon2,
                                       const std::string& map,
                                       const std::string& link_file) {
  return EveryLfToCrLf(SmallTable(
      column, HeadingCell(heading),
      column > 0 ? MapCell(icon1, icon2, map, 1, kSmallTableLinkPath, link_file)
                 : DashCell()));
}

#endif  // BRANTIX_TESTS_EXPECTED_CELLS_H_
