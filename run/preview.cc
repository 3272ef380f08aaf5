#include "run/preview.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <map>
#include <string_view>
#include <utility>
#include <vector>

#include "parameters/dialogue.h"
#include "parameters/param_file.h"
#include "rewrite/pieces.h"
#include "rewrite/rewrite_walk.h"
#include "run/backup.h"
#include "run/in_place.h"
#include "run/messages.h"
#include "run/page.h"
#include "run/process.h"

namespace {

// A span of the text, from |start| to |end|.
struct Span {
  std::uint64_t start = 0;
  std::uint64_t end = 0;
  bool data = false;  ///< A data row's scan (not the heading row's).
};

// A cell the rewrite inserted, and where its link came from.
struct CellSeen {
  std::uint64_t at = 0;
  CellKind kind = CellKind::kDash;
  std::string name;  ///< NomMap and the map number.
  std::string href;  ///< The link as the run writes it.
  std::uint64_t link_at = 0;
  bool link_taken = false;     ///< A link path had been taken before it.
  bool link_this_row = false;  ///< In this cell's own row.
  long line = 0;               ///< The line holding the byte before it.
  long link_line = 0;
  bool mid_line = false;
  long table = 0;  ///< Tables opened before it.
};

// What the rewrite tells the preview, in the order it works.
class Observer {
 public:
  static constexpr bool kActive = true;
  explicit Observer(const ParamColonne& param) : param_(param) {}
  void Passed(std::uint64_t start, std::uint64_t end) {
    passed.push_back({start, end, false});
  }
  void Row(std::uint64_t) { ++rows_; }
  void ScanStart(std::uint64_t at) { scan_start_ = at; }
  void ScanEnd(std::uint64_t end) {
    scans.push_back({scan_start_, end, heading_done_});
  }
  void LinkTaken(std::uint64_t at) {
    link_at_ = at;
    link_row_ = rows_;
    link_taken_ = true;
  }
  void Cell(std::uint64_t at, CellKind kind, const EtatReecriture& state) {
    CellSeen cell;
    cell.at = at;
    cell.kind = kind;
    if (kind == CellKind::kMap) {
      cell.name =
          std::string(param_.NomMap.view()) + std::to_string(state.NumeroMap);
      // As the page gets it: the link path's one possible LF as CR LF.
      std::string_view path = state.CheminLien.view();
      const bool lf = !path.empty() && path.back() == '\n';
      if (lf) path.remove_suffix(1);
      cell.href = std::string(path) + (lf ? "\r\n" : "") +
                  std::string(param_.NomFichierLien.view());
      cell.link_at = link_at_;
      cell.link_taken = link_taken_;
      cell.link_this_row = link_taken_ && link_row_ == rows_;
    }
    heading_done_ = true;
    cells.push_back(std::move(cell));
  }

  std::vector<Span> passed;
  std::vector<Span> scans;
  std::vector<CellSeen> cells;

 private:
  const ParamColonne& param_;
  long rows_ = 0;
  std::uint64_t scan_start_ = 0;
  long link_row_ = 0;
  std::uint64_t link_at_ = 0;
  bool link_taken_ = false;
  bool heading_done_ = false;
};

// |bytes| in plain ASCII: "\r", "\n", "\t" and "\\" for themselves, "\xHH"
// for every other byte below 0x20, 0x7F and every byte from 0x80.
std::string Escaped(std::string_view bytes) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\\') {
      out += "\\\\";
    } else if (b < 0x20 || b >= 0x7F) {
      out += "\\x";
      out += kHex[b >> 4];
      out += kHex[b & 15];
    } else {
      out += c;
    }
  }
  return out;
}

// Follows whether bytes given a part at a time are valid UTF-8.
class Utf8Check {
 public:
  void Add(std::string_view bytes) {
    for (char c : bytes) {
      const auto b = static_cast<unsigned char>(c);
      if (b < 0x80 && follow_ == 0) continue;
      any_ = true;
      if (follow_ > 0) {
        if ((b & 0xC0) != 0x80) valid_ = false;
        --follow_;
      } else if ((b & 0xE0) == 0xC0 && b >= 0xC2) {
        follow_ = 1;
      } else if ((b & 0xF0) == 0xE0) {
        follow_ = 2;
      } else if ((b & 0xF8) == 0xF0 && b <= 0xF4) {
        follow_ = 3;
      } else {
        valid_ = false;
      }
    }
  }
  /// Whether any byte from 0x80 came.
  bool any() const { return any_; }
  /// Whether those bytes are UTF-8.
  bool valid() const { return valid_ && follow_ == 0; }

 private:
  int follow_ = 0;
  bool any_ = false;
  bool valid_ = true;
};

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

// Whether |at| lies in one of |spans|, sorted, after its start when
// |after_start|.
bool Within(const std::vector<Span>& spans, std::uint64_t at, bool data_only,
            bool after_start) {
  auto it = std::upper_bound(
      spans.begin(), spans.end(), at,
      [](std::uint64_t v, const Span& s) { return v < s.start; });
  while (it != spans.begin()) {
    --it;
    if (at < it->end && (!data_only || it->data) &&
        (!after_start || at > it->start)) {
      return true;
    }
    if (at >= it->end) break;
  }
  return false;
}

// What the preview finds in its own reading of the page.
struct PageFacts {
  std::vector<std::pair<long, std::string>> warnings;  ///< Line, text.
  bool other_rows = false;  ///< "<TR" or "<tr " is in the page.
  Utf8Check utf8;
  std::string charset;  ///< What a <meta> declares, in lower case.
  /// The size of the page's text as the run reads it, each lone LF made
  /// CR LF: larger than the page when it has lone LFs.
  std::uint64_t text_size = 0;
};

const char* const kMarkers[] = {"<tr>", "</td>", "son.gif", "..///"};

// Reads the page piece by piece, as the rewrite does, to give each cell its
// line, and to find what the rewrite passes over: markers where no scan
// looks, tables, the character set.
bool ReadFacts(File file, Observer* seen, PageFacts* facts) {
  TextReader reader(std::move(file));
  long line = 1;
  long tables = 0;
  std::size_t next_cell = 0;
  std::vector<std::pair<std::uint64_t, CellSeen*>> links;
  for (CellSeen& c : seen->cells) {
    if (c.link_taken) links.push_back({c.link_at, &c});
  }
  std::sort(links.begin(), links.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  std::size_t next_link = 0;
  std::string tail;  // The end of the last piece that ended without LF.
  std::string_view piece;
  for (;;) {
    // Offsets in the text as the rewrite reads it, each line end CR LF; the
    // piece is given with its CR LF as LF.
    const std::uint64_t at = reader.Position();
    const PieceResult got = reader.ReadPiece(&piece);
    if (got == PieceResult::kError) return false;
    if (got == PieceResult::kEnd) break;
    const std::uint64_t end = reader.Position();
    const std::string lower = Lower(piece);
    // Markers cut by the end of the last piece.
    if (!tail.empty()) {
      const std::string joined = tail + std::string(piece.substr(0, 6));
      for (const char* marker : kMarkers) {
        const std::size_t found = joined.find(marker);
        if (found != std::string::npos && found < tail.size() &&
            found + std::string_view(marker).size() > tail.size()) {
          facts->warnings.push_back({line, MsgWarnMarkerCut(marker)});
        }
      }
    }
    const bool ends_line = piece.back() == '\n';
    tail = ends_line ? ""
                     : std::string(piece.substr(
                           piece.size() > 6 ? piece.size() - 6 : 0));
    // Each cell whose preceding byte is in this piece.
    std::vector<std::size_t> table_starts;
    for (std::size_t p = lower.find("<table"); p != std::string::npos;
         p = lower.find("<table", p + 1)) {
      table_starts.push_back(p);
    }
    while (next_cell < seen->cells.size() && seen->cells[next_cell].at <= end) {
      CellSeen& c = seen->cells[next_cell++];
      c.line = line;
      c.mid_line = c.at != end || !ends_line;
      c.table = tables;
      for (std::size_t t : table_starts) c.table += t < c.at - at ? 1 : 0;
    }
    while (next_link < links.size() && links[next_link].first < end) {
      links[next_link++].second->link_line = line;
    }
    tables += static_cast<long>(table_starts.size());
    // "son.gif" where no data row's scan tests it; "<tr>" where no search
    // for a row looks, or inside a row's count.
    if (piece.find("son.gif") != std::string_view::npos &&
        !Within(seen->scans, at + piece.find("son.gif"), true, false)) {
      facts->warnings.push_back({line, kMsgWarnSoundNotSeen});
    }
    for (std::size_t p = piece.find("<tr>"); p != std::string_view::npos;
         p = piece.find("<tr>", p + 1)) {
      if (Within(seen->passed, at + p, false, false)) {
        facts->warnings.push_back({line, kMsgWarnRowNotSeen});
      } else if (Within(seen->scans, at + p, false, true)) {
        facts->warnings.push_back({line, kMsgWarnRowRunsOn});
      }
    }
    if (lower.find("<tr ") != std::string::npos ||
        lower.find("<tr\t") != std::string::npos ||
        piece.find("<TR") != std::string_view::npos) {
      facts->other_rows = true;
    }
    const std::size_t charset = lower.find("charset=");
    if (facts->charset.empty() && charset != std::string::npos) {
      std::size_t p = charset + 8;
      if (p < lower.size() && (lower[p] == '"' || lower[p] == '\'')) ++p;
      while (p < lower.size() &&
             (std::isalnum(static_cast<unsigned char>(lower[p])) ||
              lower[p] == '-' || lower[p] == '_')) {
        facts->charset += lower[p++];
      }
    }
    facts->utf8.Add(piece);
    if (ends_line) ++line;
  }
  facts->text_size = reader.Position();
  return true;
}

// The warnings about the answers alone.
void AnswerWarnings(const ParamColonne& param, const PageFacts& facts,
                    std::vector<std::string>* out) {
  if (param.NumeroColonne <= 0) {
    out->push_back(MsgWarnColumn(param.NumeroColonne));
  }
  const std::pair<const char*, std::string_view> fields[] = {
      {"NomIcone1", param.NomIcone1.view()},
      {"NomIcone2", param.NomIcone2.view()},
      {"NomMap", param.NomMap.view()},
      {"NomFichierLien", param.NomFichierLien.view()}};
  for (const auto& [name, value] : fields) {
    if (value.find('"') != std::string_view::npos) {
      out->push_back(MsgWarnQuote(name));
    }
  }
  Utf8Check answers;
  answers.Add(param.TexteEntete.view());
  for (const auto& field : fields) answers.Add(field.second);
  if (!answers.any()) return;
  bool page_utf8;
  std::string page_set;
  if (!facts.charset.empty()) {
    page_utf8 = facts.charset == "utf-8" || facts.charset == "utf8";
    page_set = facts.charset;
  } else if (facts.utf8.any()) {
    page_utf8 = facts.utf8.valid();
    page_set = page_utf8 ? "utf-8" : "8 bits";
  } else {
    return;
  }
  if (answers.valid() != page_utf8) {
    out->push_back(MsgWarnCharset(answers.valid(), Escaped(page_set)));
  }
}

}  // namespace

bool AsksForPreview(const std::string& argument) {
  return argument == "--dry-run" || argument == "-n";
}

int Preview(const std::string& nom_du_fichier, bool from_file,
            ConsoleInput* input) {
  File file;
  const OpenReadResult opened = OpenForReading(nom_du_fichier, &file);
  if (opened != OpenReadResult::kOk) {
    ConsoleWrite(MessageOf(PageNotOpened(opened, nom_du_fichier, file.error()),
                           nom_du_fichier));
    return -1;
  }
  ParamColonne param;
  const Failure problem = from_file ? ReadParamFile(kParamFileName, &param)
                                    : AskParameters(input, &param);
  if (problem.failed()) {
    ConsoleWrite(MessageOf(problem, nom_du_fichier));
    return -1;
  }
  FileInfo info;
  std::string real;
  const NameResult named = RealName(nom_du_fichier, &real);
  if (!named) file.NoteError(named.error);
  if (!named || !GetFileInfo(&file, &info)) {
    ConsoleWrite(MsgPageReadError(nom_du_fichier, file.error()));
    return -1;
  }
  const std::string shown = Escaped(nom_du_fichier);
  std::vector<std::string> general;  // Warnings about no line.
  Observer seen(param);
  PageFacts facts;
  const bool unfinished = HasUnfinishedWrite(&file, info, real);
  if (unfinished) {
    general.push_back(MsgWarnUnfinished(shown));
  } else {
    if (!MayWrite(nom_du_fichier)) general.push_back(MsgWarnNotWritable(shown));
    if (!MayCreateIn(FolderPart(real))) {
      general.push_back(MsgWarnFolderClosed(Escaped(FolderName(real))));
    }
    // The rewrite itself, told to report, writing nowhere.
    File again;
    if (!Duplicate(file, &again) || !RewindFile(&file)) {
      ConsoleWrite(MsgPageReadError(
          nom_du_fichier, file.error() != 0 ? file.error() : again.error()));
      return -1;
    }
    TextReader reader(std::move(again));
    TextWriter nowhere;
    nowhere.Discard();
    EtatReecriture state;
    File own;
    if (RewriteTableObserved(&reader, &nowhere, param,
                             TypedLength(nom_du_fichier), &state,
                             &seen) != TextEnd::kOk ||
        OpenForReading(nom_du_fichier, &own) != OpenReadResult::kOk ||
        !ReadFacts(std::move(own), &seen, &facts)) {
      ConsoleWrite(MsgPageReadError(nom_du_fichier, reader.file().error()));
      return -1;
    }
    if (seen.cells.empty()) {
      general.push_back(std::string(kMsgWarnNoCell) +
                        (facts.other_rows ? kMsgWarnNotRows : ""));
    }
    AnswerWarnings(param, facts, &general);
  }

  // The cells, and the warnings about each.
  std::string out;
  long headings = 0, maps = 0, dashes = 0;
  std::map<long, long> data_tables;  // Table, data cells in it.
  long heading_table = -1, heading_line = 0;
  for (const CellSeen& c : seen.cells) {
    out += MsgPreviewLine(c.line);
    switch (c.kind) {
      case CellKind::kHeading:
        ++headings;
        heading_table = c.table;
        heading_line = c.line;
        out += kMsgPreviewHeading;
        if (!param.TexteEntete.view().empty()) {
          out += " " + Escaped(param.TexteEntete.view());
        }
        break;
      case CellKind::kMap:
        ++maps;
        ++data_tables[c.table];
        out += MsgPreviewMap(Escaped(c.name), Escaped(c.href));
        if (!c.link_taken) {
          facts.warnings.push_back({c.line, MsgWarnNoLinkYet(Escaped(c.name))});
        } else if (!c.link_this_row) {
          facts.warnings.push_back(
              {c.line, MsgWarnLinkReused(Escaped(c.name), c.link_line)});
        }
        if (c.href.find_first_of("\"<>\r\n") != std::string::npos) {
          facts.warnings.push_back(
              {c.link_taken ? c.link_line : c.line,
               MsgWarnLinkBreaks(Escaped(c.name), Escaped(c.href))});
        }
        break;
      case CellKind::kDash:
        ++dashes;
        ++data_tables[c.table];
        out += kMsgPreviewDash;
        break;
    }
    out += "\n";
    if (c.mid_line) facts.warnings.push_back({c.line, kMsgWarnMidLine});
  }
  if (heading_table >= 0 && !data_tables.empty()) {
    const auto most = std::max_element(
        data_tables.begin(), data_tables.end(),
        [](const auto& a, const auto& b) { return a.second < b.second; });
    if (most->first != heading_table) {
      facts.warnings.push_back({heading_line, kMsgWarnOtherTable});
    }
  }

  // The warnings in page order, each once per line; those about no line.
  std::stable_sort(
      facts.warnings.begin(), facts.warnings.end(),
      [](const auto& a, const auto& b) { return a.first < b.first; });
  facts.warnings.erase(
      std::unique(facts.warnings.begin(), facts.warnings.end()),
      facts.warnings.end());
  for (const auto& [line, text] : facts.warnings) {
    out += kMsgWarning + MsgPreviewLine(line) + text + "\n";
  }
  for (const std::string& text : general) out += kMsgWarning + text + "\n";
  const long warnings =
      static_cast<long>(facts.warnings.size() + general.size());

  // The notes, then the total.
  FileInfo backup;
  bool exists = false;
  const std::string nom_sauvegarde = BackupNameOf(nom_du_fichier);
  if (GetNameInfo(nom_sauvegarde, &backup, &exists) && exists) {
    out += kMsgNote + MsgNoteBackupReplaced(Escaped(nom_sauvegarde)) + "\n";
  }
  if (facts.text_size > info.size)
    out += std::string(kMsgNote) + kMsgNoteLoneLf + "\n";
  out += MsgPreviewTotal(headings, maps, dashes, warnings);
  if (!ConsoleWrite(out)) return -1;
  return warnings > 0 ? 1 : 0;
}
