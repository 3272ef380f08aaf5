#include "rewrite/cells.h"

#include <charconv>
#include <cstring>
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
    bool ok = part.fixed ? page->WriteUnchanged(part.text)
                         : page->WriteText(part.text);
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
  for (std::size_t lf; (lf = text.find('\n')) != std::string_view::npos;) {
    out->append(text.substr(0, lf)).append("\r\n");
    text.remove_prefix(lf + 1);
  }
  out->append(text);
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

MapCells::MapCells(std::string_view nom_icone1, std::string_view nom_icone2,
                   std::string_view nom_map,
                   std::string_view nom_fichier_lien) {
  to_first_number_ =
      Join({Fixed(kCellStart), Fixed("\r\n<IMG SRC=\"../"), Value(nom_icone1),
            Fixed("\" USEMAP=\"#"), Value(nom_map)});
  to_second_number_ = Join(
      {Fixed("\" ALT=\"Video\" BORDER=0 HEIGHT=30 WIDTH=30><IMG SRC=\"../"),
       Value(nom_icone2), Fixed("\" USEMAP=\"#"), Value(nom_map)});
  to_third_number_ = Join(
      {Fixed("\" ALT=\"Sound\" BORDER=0 HEIGHT=30 WIDTH=30>\r\n<MAP NAME=\""),
       Value(nom_map)});
  to_link_ = "\">\r\n<AREA SHAPE=\"rect\" COORDS=\"0,0,30,30\", HREF=\"";
  to_end_ = Join({Value(nom_fichier_lien), Fixed("\" ALT=\""), Value(nom_map),
                  Fixed("\">\r\n</MAP>\r\n</td>\r\n")});
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

// Changes the head's numbers to |numero_map| when it follows them and has
// as many digits: its last digits are counted on, as on a counter. Returns
// false when the numbers must be written anew.
bool MapCells::CountOn(std::int32_t numero_map) {
  if (digits_ == 0 || number_ < 0 ||
      numero_map != static_cast<std::int64_t>(number_) + 1) {
    return false;
  }
  char* head = head_.data();
  if (head[numbers_[0] + digits_ - 1] != '9') {
    // The last digit goes up, the most common case.
    for (std::size_t at : numbers_) ++head[at + digits_ - 1];
    number_ = numero_map;
    return true;
  }
  const char* number = head + numbers_[0];
  std::size_t last = digits_;  // One past the digit that goes up.
  while (last > 0 && number[last - 1] == '9') --last;
  if (last == 0) return false;  // One digit more.
  for (std::size_t at : numbers_) {
    ++head_[at + last - 1];
    for (std::size_t i = last; i < digits_; ++i) head_[at + i] = '0';
  }
  number_ = numero_map;
  return true;
}

bool MapCells::Write(TextWriter* page, std::int32_t numero_map,
                     std::string_view chemin_lien) {
  if (!CountOn(numero_map)) {
    char digits[16];
    auto done = std::to_chars(digits, digits + sizeof digits, numero_map);
    const std::size_t size = static_cast<std::size_t>(done.ptr - digits);
    if (size != digits_) {
      Build(std::string_view(digits, size));
    } else {
      for (std::size_t at : numbers_) std::memcpy(&head_[at], digits, size);
    }
    number_ = numero_map;
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
