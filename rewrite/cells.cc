#include "rewrite/cells.h"

#include <algorithm>
#include <charconv>
#include <functional>

namespace {

// The fixed text of the cells, line ends already written as the page's
// text file has them (CR LF), so that each goes out in one copy. The
// column's values come from lines of the dialogue or of param.txt and hold
// no line end: they are written as they are.
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

}  // namespace

bool WriteHeadingCell(TextWriter* page, std::string_view texte_entete) {
  return page->WriteUnchanged(kHeadingBefore) &&
         page->WriteUnchanged(texte_entete) &&
         page->WriteUnchanged(kHeadingAfter);
}

MapCells::MapCells(std::string_view nom_icone1, std::string_view nom_icone2,
                   std::string_view nom_map,
                   std::string_view nom_fichier_lien) {
  to_first_number_.append(kCellStart)
      .append("\r\n<IMG SRC=\"../")
      .append(nom_icone1)
      .append("\" USEMAP=\"#")
      .append(nom_map);
  to_second_number_
      .append("\" ALT=\"Video\" BORDER=0 HEIGHT=30 WIDTH=30><IMG SRC=\"../")
      .append(nom_icone2)
      .append("\" USEMAP=\"#")
      .append(nom_map);
  to_third_number_
      .append("\" ALT=\"Sound\" BORDER=0 HEIGHT=30 WIDTH=30>\r\n<MAP NAME=\"")
      .append(nom_map);
  to_link_ = "\">\r\n<AREA SHAPE=\"rect\" COORDS=\"0,0,30,30\", HREF=\"";
  to_end_.append(nom_fichier_lien)
      .append("\" ALT=\"")
      .append(nom_map)
      .append("\">\r\n</MAP>\r\n</td>\r\n");
}

// Makes the head of the cell for |number|.
void MapCells::Build(std::string_view number) {
  head_ = to_first_number_;
  numbers_[0] = head_.size();
  head_ += number;
  head_ += to_second_number_;
  numbers_[1] = head_.size();
  head_ += number;
  head_ += to_third_number_;
  numbers_[2] = head_.size();
  head_ += number;
  head_ += to_link_;
  digits_ = number.size();
}

bool MapCells::Write(TextWriter* page, std::int32_t numero_map,
                     std::string_view chemin_lien) {
  char digits[16];
  const auto done = std::to_chars(digits, digits + sizeof digits, numero_map);
  const std::size_t size = static_cast<std::size_t>(done.ptr - digits);
  if (size != digits_) {
    Build(std::string_view(digits, size));
  } else {
    // A few digits, copied a byte at a time into the three places.
    char* head = head_.data();
    for (std::size_t i = 0; i < size; ++i) {
      head[numbers_[0] + i] = digits[i];
      head[numbers_[1] + i] = digits[i];
      head[numbers_[2] + i] = digits[i];
    }
  }
  // The link path's only LF, if any, is its last byte.
  if (!chemin_lien.empty() && chemin_lien.back() == '\n') {
    chemin_lien.remove_suffix(1);
    return page->WriteUnchanged(head_) && page->WriteUnchanged(chemin_lien) &&
           page->WriteUnchanged("\r\n") && page->WriteUnchanged(to_end_);
  }
  return page->WriteUnchanged(head_) && page->WriteUnchanged(chemin_lien) &&
         page->WriteUnchanged(to_end_);
}

bool WriteDashCell(TextWriter* page) { return page->WriteUnchanged(kDash); }

std::string FirstMapTag(std::string_view nom_map) {
  return "<MAP NAME=\"" + std::string(nom_map) + "1\"";
}

bool HoldsFirstMap(std::string_view text, std::string_view nom_map) {
  const std::string tag = FirstMapTag(nom_map);
  const std::string_view near = text.substr(0, kFirstMapReach);
  // Skips ahead by the tag's length where it can: most bytes are never
  // compared.
  return std::search(near.begin(), near.end(),
                     std::boyer_moore_horspool_searcher(
                         tag.begin(), tag.end())) != near.end();
}
