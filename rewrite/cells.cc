#include "rewrite/cells.h"

#include <charconv>
#include <initializer_list>

namespace {

// The fixed text of the cells, line ends already written as the page's
// text file has them (CR LF), so that each goes out in one copy.
constexpr std::string_view kCellStart =
    "<td WIDTH=\"10%\" BGCOLOR=\"#f0ffff\" HEIGHT=\"19\" "
    "align=\"center\"><font size=\"3\">";

constexpr std::string_view kHeadingBefore =
    "\r\n\t<td WIDTH=\"10%\" BGCOLOR=\"#f0ffff\" HEIGHT=\"19\" "
    "align=\"center\"><font size=\"3\">\r\n<strong><em><center>";
constexpr std::string_view kHeadingAfter =
    "</center>\r\n\t</em></strong></font>\r\n\t</td>\r\n";

constexpr std::string_view kDash =
    "<td WIDTH=\"10%\" BGCOLOR=\"#f0ffff\" HEIGHT=\"19\" "
    "align=\"center\"><font size=\"3\"><strong><em><center>\r\n"
    "- </center>\r\n</em></strong></font>\r\n</td>\r\n";

// One part of a cell: fixed text (written as it is) or a value (written
// as text, each LF as CR LF).
struct Part {
  std::string_view text;
  bool fixed;
};

constexpr Part Fixed(std::string_view text) { return {text, true}; }
constexpr Part Value(std::string_view text) { return {text, false}; }

bool WriteParts(TextWriter* page, std::initializer_list<Part> parts) {
  for (const Part& part : parts) {
    bool ok = part.fixed ? WriteUnchanged(page, part.text)
                         : WriteText(page, part.text);
    if (!ok) return false;
  }
  return true;
}

}  // namespace

bool WriteHeadingCell(TextWriter* page, std::string_view texte_entete) {
  return WriteParts(page, {Fixed(kHeadingBefore), Value(texte_entete),
                           Fixed(kHeadingAfter)});
}

bool WriteMapCell(TextWriter* page, std::string_view nom_icone1,
                  std::string_view nom_icone2, std::string_view nom_map,
                  std::int32_t numero_map, std::string_view chemin_lien,
                  std::string_view nom_fichier_lien) {
  char digits[16];
  auto done = std::to_chars(digits, digits + sizeof digits, numero_map);
  const std::string_view numero(digits, static_cast<std::size_t>(done.ptr - digits));
  return WriteParts(
      page,
      {Fixed(kCellStart), Fixed("\r\n<IMG SRC=\"../"), Value(nom_icone1),
       Fixed("\" USEMAP=\"#"), Value(nom_map), Value(numero),
       Fixed("\" ALT=\"Video\" BORDER=0 HEIGHT=30 WIDTH=30><IMG SRC=\"../"),
       Value(nom_icone2), Fixed("\" USEMAP=\"#"), Value(nom_map), Value(numero),
       Fixed("\" ALT=\"Sound\" BORDER=0 HEIGHT=30 WIDTH=30>\r\n<MAP NAME=\""),
       Value(nom_map), Value(numero),
       Fixed("\">\r\n<AREA SHAPE=\"rect\" COORDS=\"0,0,30,30\", HREF=\""),
       Value(chemin_lien), Value(nom_fichier_lien), Fixed("\" ALT=\""),
       Value(nom_map), Fixed("\">\r\n</MAP>\r\n</td>\r\n")});
}

bool WriteDashCell(TextWriter* page) { return WriteUnchanged(page, kDash); }
