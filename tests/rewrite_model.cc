#include "tests/rewrite_model.h"

#include <cstdio>
#include <string_view>
#include <vector>

#include "tests/expected_cells.h"
#include "tests/text_model.h"

namespace {

bool Has(const std::string& piece, const char* marker) {
  return piece.find(marker) != std::string::npos;
}

// Whether |piece| holds |marker| as a browser reads it, when |html|: its
// letters in any case; "<tr" then '>' or white space.
bool Holds(const std::string& piece, const std::string& marker, bool html) {
  if (!html) return Has(piece, marker.c_str());
  std::string lower = piece;
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  if (marker == "</td>") return Has(lower, "</td>") || Has(lower, "</th>");
  if (marker != "<tr>") return Has(lower, marker.c_str());
  for (std::size_t at = lower.find("<tr"); at != std::string::npos;
       at = lower.find("<tr", at + 1)) {
    if (at + 3 < lower.size() &&
        std::string_view(">\t\n\f\r ").find(lower[at + 3]) !=
            std::string_view::npos) {
      return true;
    }
  }
  return false;
}

// The rewrite over the pieces of the text that reading delivers.
//
// The first piece is never examined. The first later piece that holds
// "<tr>" starts the heading row; cells are counted from the second piece
// after it, and the heading cell goes right after the piece that closes the
// |column|-th one (|column| <= 0: right after the piece that follows the
// "<tr>" piece). The piece after the heading cell is examined again, for a
// data row, with the count back at 0: the same scan, also noting "son.gif"
// and taking the link path from the first "..///" of a piece, then an
// image-map cell (maps numbered on from |first_map|) or a dash cell in the
// same place. The piece after a data row's cell is not examined; the one
// after it is. The end of the page inside a scan ends the rewrite with no
// cell for that row; a cell due after the last piece is written.
//
// The link path: the piece from its first "..///", at most |name_length| +
// 23 bytes; or with |folder|, the path that starts there and ends before
// the first quote, apostrophe, angle bracket, blank, CR or LF after it,
// up to its last '/', unless it runs to the end of a 511-byte piece.
std::string Rewrite(const std::vector<std::string>& pieces,
                    const ModelAnswers& a, std::size_t name_length,
                    std::int32_t first_map, std::vector<ModelCell>* seen,
                    bool folder, bool html) {
  std::string out;
  long next_line = 1;  // The line of the next piece.
  long last_line = 0;  // The line of the last piece written.
  const auto note = [&](std::string what) {
    if (seen != nullptr) seen->push_back({last_line, std::move(what)});
  };
  std::size_t at = 0;  // The current piece; none when at == pieces.size().
  const auto present = [&] { return at < pieces.size(); };
  const auto current_has = [&](const char* marker) {
    return present() && Holds(pieces[at], marker, html);
  };
  // Writes the current piece and moves to the next; false when there is none.
  const auto advance = [&] {
    out += EveryLfToCrLf(pieces[at]);
    last_line = next_line;
    if (pieces[at].back() == '\n') ++next_line;
    ++at;
    return present();
  };

  bool heading_done = false;
  std::int32_t cells = 0;
  bool sound = false;
  // Wraps like the program's 32-bit counter.
  std::uint32_t map = static_cast<std::uint32_t>(first_map);
  std::string link;

  while (present()) {
    advance();
    if (current_has("<tr>") && !heading_done) {
      if (!advance()) return out;
      while (cells < a.column) {
        if (!advance()) return out;
        if (current_has("</td>")) ++cells;
      }
      heading_done = true;
      advance();  // The cell follows even when that was the last piece.
      out += EveryLfToCrLf(HeadingCell(a.heading));
      note("entete");
    }
    cells = 0;
    if (current_has("<tr>") && heading_done) {
      if (!advance()) return out;
      while (cells < a.column) {
        if (!advance()) return out;
        const std::string& p = pieces[at];
        if (Holds(p, "son.gif", html)) sound = true;
        if (Holds(p, "</td>", html)) ++cells;
        if (Has(p, "..///")) {
          const std::string from = p.substr(p.find("..///"));
          const std::size_t end = from.find_first_of("\"'<> \t\r\n", 5);
          if (!folder) {
            link = from.substr(0, name_length + 23);
          } else if (end == std::string::npos && p.size() == 511 &&
                     p.back() != '\n') {
            link = from;
          } else {
            link = from.substr(0, from.substr(0, end).rfind('/') + 1);
          }
        }
      }
      advance();
      if (sound) {
        ++map;
        out += EveryLfToCrLf(MapCell(a.icon1, a.icon2, a.map,
                                     static_cast<std::int32_t>(map), link,
                                     a.link_file));
        note("carte " + a.map + std::to_string(static_cast<std::int32_t>(map)) +
             " -> " + link + a.link_file);
        sound = false;
      } else {
        out += EveryLfToCrLf(DashCell());
        note("tiret");
      }
    }
  }
  return out;
}

// |s| from |from| to |to|, printable bytes as they are and others escaped.
std::string Escaped(const std::string& s, std::size_t from, std::size_t to) {
  std::string out;
  for (std::size_t k = from; k < s.size() && k < to; ++k) {
    const unsigned char c = static_cast<unsigned char>(s[k]);
    if (c >= 0x20 && c < 0x7f && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    }
  }
  return out;
}

}  // namespace

std::string ModelRewrite(const std::string& backup, const ModelAnswers& answers,
                         std::size_t name_length, std::int32_t first_map,
                         std::vector<ModelCell>* cells, bool link_folder,
                         bool html) {
  return Rewrite(PiecesOf(CrLfToLf(backup)), answers, name_length, first_map,
                 cells, link_folder, html);
}

std::string FirstDifference(const std::string& got, const std::string& want) {
  if (got == want) return "";
  std::size_t i = 0;
  while (i < got.size() && i < want.size() && got[i] == want[i]) ++i;
  const std::size_t from = i < 40 ? 0 : i - 40;
  return "differs from the model at byte " + std::to_string(i) + " (" +
         std::to_string(got.size()) + " bytes, model " +
         std::to_string(want.size()) +
         " bytes)\n  rewritten: " + Escaped(got, from, i + 40) +
         "\n  model:     " + Escaped(want, from, i + 40) + "\n";
}
