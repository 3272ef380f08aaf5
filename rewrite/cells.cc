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
  return WriteParts(
      page, {Fixed(kHeadingBefore), Value(texte_entete), Fixed(kHeadingAfter)});
}

namespace {

// |text| as the page's text file has it: each LF as CR LF.
void AppendText(std::string* out, std::string_view text) {
  for (char ch : text) {
    if (ch == '\n') *out += '\r';
    *out += ch;
  }
}

// Joins fixed text and values, as WriteParts() would write them.
std::string Join(std::initializer_list<Part> parts) {
  std::string out;
  for (const Part& part : parts) {
    if (part.fixed) {
      out += part.text;
    } else {
      AppendText(&out, part.text);
    }
  }
  return out;
}

}  // namespace

MapCellText PrepareMapCell(std::string_view nom_icone1,
                           std::string_view nom_icone2,
                           std::string_view nom_map,
                           std::string_view nom_fichier_lien) {
  MapCellText text;
  text.to_first_number =
      Join({Fixed(kCellStart), Fixed("\r\n<IMG SRC=\"../"), Value(nom_icone1),
            Fixed("\" USEMAP=\"#"), Value(nom_map)});
  text.to_second_number = Join(
      {Fixed("\" ALT=\"Video\" BORDER=0 HEIGHT=30 WIDTH=30><IMG SRC=\"../"),
       Value(nom_icone2), Fixed("\" USEMAP=\"#"), Value(nom_map)});
  text.to_third_number = Join(
      {Fixed("\" ALT=\"Sound\" BORDER=0 HEIGHT=30 WIDTH=30>\r\n<MAP NAME=\""),
       Value(nom_map)});
  text.to_link = Join(
      {Fixed("\">\r\n<AREA SHAPE=\"rect\" COORDS=\"0,0,30,30\", HREF=\"")});
  text.to_end = Join({Value(nom_fichier_lien), Fixed("\" ALT=\""),
                      Value(nom_map), Fixed("\">\r\n</MAP>\r\n</td>\r\n")});
  return text;
}

bool WriteMapCell(TextWriter* page, const MapCellText& text,
                  std::int32_t numero_map, std::string_view chemin_lien) {
  char digits[16];
  auto done = std::to_chars(digits, digits + sizeof digits, numero_map);
  const std::string_view number(digits,
                                static_cast<std::size_t>(done.ptr - digits));
  return WriteParts(
      page,
      {Fixed(text.to_first_number), Fixed(number), Fixed(text.to_second_number),
       Fixed(number), Fixed(text.to_third_number), Fixed(number),
       Fixed(text.to_link), Value(chemin_lien), Fixed(text.to_end)});
}

bool WriteDashCell(TextWriter* page) { return WriteUnchanged(page, kDash); }
