#include "run/preview.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "parameters/dialogue.h"
#include "parameters/param_file.h"
#include "rewrite/markers.h"
#include "rewrite/rewrite_walk.h"
#include "run/backup.h"
#include "run/in_place.h"
#include "run/messages.h"
#include "run/page.h"
#include "run/process.h"
#include "text/interrupt.h"

namespace {

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

// |bytes| in plain ASCII: "\r", "\n", "\t" and "\\" for themselves, "\xHH"
// for every other byte below 0x20, 0x7F and every byte from 0x80; but bytes
// that are all valid UTF-8 keep their characters where the console shows
// them.
std::string Escaped(std::string_view bytes) {
  static const char kHex[] = "0123456789ABCDEF";
  static const bool kConsoleShowsUtf8 = ConsoleShowsUtf8();
  Utf8Check utf8;
  utf8.Add(bytes);
  const bool as_text = kConsoleShowsUtf8 && utf8.any() && utf8.valid();
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
    } else if (b < 0x20 || b == 0x7F || (b >= 0x80 && !as_text)) {
      out += "\\x";
      out += kHex[b >> 4];
      out += kHex[b & 15];
    } else {
      out += c;
    }
  }
  return out;
}

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

// One kind per message form: at most kShown lines of a kind are printed.
enum class Kind {
  kLink,
  kNoLinkYet,
  kLinkReused,
  kSoundDash,
  kSoundHeading,
  kSoundNoCell,
  kRowRunsOn,
  kRowNotSeen,
  kMidLine,
  kMarkerCut,
  kOtherTable,
  kOutsideRow,
  kFirstInRow,
  kOtherColumn,
  kRagged,
  kHiddenRows,
  kHiddenSound,
  kColumnAdded,
  kColumn,
  kQuote,
  kCharset,
  kNoCell,
  kRefused,
  kCount
};

// The warnings, kept bounded: the first kShown lines of each kind, and how
// many more came; a warning given again for the same line is dropped.
class Warnings {
 public:
  static constexpr std::size_t kShown = 10;

  /// A warning about line |line| (0: about no line).
  void Add(Kind kind, long line, std::string text) {
    PerKind& k = kinds_[static_cast<std::size_t>(kind)];
    if (k.count > 0 && k.last_line == line && k.last_text == text) return;
    k.last_line = line;
    k.last_text = text;
    ++k.count;
    if (kept_[static_cast<std::size_t>(kind)] < kShown) {
      ++kept_[static_cast<std::size_t>(kind)];
      shown_.push_back({line, kind, std::move(text)});
    }
  }
  void General(Kind kind, std::string text) { Add(kind, 0, std::move(text)); }
  /// Whether a run would refuse, or put back an unfinished write first.
  bool Refusal() const { return Count(Kind::kRefused) > 0; }
  long Total() const {
    long total = 0;
    for (const PerKind& k : kinds_) total += k.count;
    return total;
  }
  /// The lines, those about a line in its order, then those about none;
  /// after a kind's last line shown, how many more of it there were.
  std::string Lines() {
    std::stable_sort(shown_.begin(), shown_.end(),
                     [](const Shown& a, const Shown& b) {
                       return (a.line == 0 ? 1 : 0) < (b.line == 0 ? 1 : 0) ||
                              (a.line != 0 && b.line != 0 && a.line < b.line);
                     });
    std::array<std::size_t, static_cast<std::size_t>(Kind::kCount)> seen{};
    std::string out;
    for (const Shown& w : shown_) {
      out += kMsgWarning;
      if (w.line != 0) out += MsgPreviewLine(w.line);
      out += w.text + "\n";
      const auto kind = static_cast<std::size_t>(w.kind);
      if (++seen[kind] == kept_[kind] &&
          kinds_[kind].count > static_cast<long>(kept_[kind])) {
        out +=
            kMsgWarning +
            MsgWarnMore(kinds_[kind].count - static_cast<long>(kept_[kind])) +
            "\n";
      }
    }
    return out;
  }

 private:
  long Count(Kind kind) const {
    return kinds_[static_cast<std::size_t>(kind)].count;
  }
  struct PerKind {
    long count = 0;
    long last_line = 0;
    std::string last_text;
  };
  struct Shown {
    long line;
    Kind kind;
    std::string text;
  };
  std::array<PerKind, static_cast<std::size_t>(Kind::kCount)> kinds_;
  std::array<std::size_t, static_cast<std::size_t>(Kind::kCount)> kept_{};
  std::vector<Shown> shown_;
};

// What the preview finds in the page besides the cells.
struct PageFacts {
  bool other_rows = false;  ///< "<TR" or "<tr " is in the page.
  Utf8Check utf8;
  std::string charset;  ///< What a <meta> declares, in lower case.
  /// The size of the page's text as the run reads it, each lone LF made
  /// CR LF: larger than the page when it has lone LFs.
  std::uint64_t text_size = 0;
};

// A table as a browser builds it from the page's tags, for the warnings
// in its terms: its rows, the row open now, and the new cells it gets.
struct BrowserTable {
  long line = 0;            ///< The line of its <table>; 0: outside any.
  long rows = 0;            ///< Rows a browser shows.
  bool in_row = false;      ///< After a <tr>, before its </tr>.
  long row_line = 0;        ///< The line of that <tr>.
  bool row_hidden = false;  ///< That <tr> is a row only as --html reads it.
  long row_cells = 0;       ///< Cells opened in that row so far.
  bool row_got = false;     ///< That row got a new cell.
  long added = 0;           ///< New cells inserted in the table.
  long missed = 0;          ///< Rows that get no new cell...
  long missed_line = 0;     ///< ... the first of them...
  long missed_hidden = 0;   ///< ... and those of them --html reads as rows.
  long doubled = 0;         ///< Rows that get more than one.
};

// The columns that a cell whose tag has the attributes |attributes|, in
// lower case, takes: its colspan, 1 without one.
long ColumnsOf(std::string_view attributes) {
  const std::size_t at = attributes.find("colspan=");
  if (at == std::string_view::npos) return 1;
  long columns = 0;
  for (std::size_t i = at + 8; i < attributes.size() && columns < 1000; ++i) {
    const char c = attributes[i];
    if (c >= '0' && c <= '9') {
      columns = columns * 10 + (c - '0');
    } else if (columns > 0 || (c != '"' && c != '\'')) {
      break;
    }
  }
  return columns > 0 ? columns : 1;
}

// Where the rewrite is, as its calls tell: a piece passed over, the search
// for a row, a row's "<tr>" piece or the piece after it, a row's scan.
enum class Region { kPassed, kSearch, kRowStart, kHeadingScan, kDataScan };

// Told by the rewrite what it does, follows it through a second reading of
// the page, piece by piece, to give each cell its line and to find what the
// rewrite passes over; prints each cell as it comes, and keeps nothing but
// the bounded warnings.
class Follower {
 public:
  static constexpr bool kActive = true;

  Follower(File page, const ParamColonne& param, LinkRule link_rule,
           MarkerRule marker_rule, Warnings* warnings)
      : reader_(std::move(page)),
        param_(param),
        link_rule_(link_rule),
        marker_rule_(marker_rule),
        warnings_(warnings),
        added_map_(FirstMapTag(param.NomMap.view())) {}

  void Passed(std::uint64_t, std::uint64_t end) {
    Follow(end);
    region_ = Region::kSearch;
  }
  void Row(std::uint64_t end) {
    Follow(end, Region::kRowStart);
    region_ = Region::kRowStart;
    ++rows_;
  }
  void ScanStart(std::uint64_t at) {
    Follow(at);
    region_ = heading_done_ ? Region::kDataScan : Region::kHeadingScan;
  }
  void ScanEnd(std::uint64_t end) { Follow(end); }
  void LinkTaken(std::uint64_t at) {
    link_at_ = at;
    link_row_ = rows_;
    link_taken_ = true;
    link_line_ = 0;  // Known once its piece is read.
  }
  void Cell(std::uint64_t at, CellKind kind, const EtatReecriture& state);

  /// Follows the rest of the page, once the rewrite has ended. Returns
  /// false on a read error or an output that could not be written.
  bool Finish(PageFacts* facts);
  /// Whether the output could not be written; otherwise, the system's
  /// error number of a failed read.
  bool output_failed() const { return output_failed_; }
  int read_error() const { return reader_.error(); }

  /// The cells told so far.
  struct Counts {
    long headings = 0, maps = 0, dashes = 0;
  };
  Counts counts;

 private:
  void Follow(std::uint64_t to, Region last = Region::kPassed);
  void Piece(std::string_view piece, std::uint64_t at, std::uint64_t end,
             Region region);
  void Print(std::string text);
  void BrowserTags(std::string_view piece, std::string_view lower, long line);
  void EndRow();
  void EndTable();
  void BrowserCell(CellKind kind, long line);

  TextReader reader_;
  const ParamColonne& param_;
  LinkRule link_rule_;
  MarkerRule marker_rule_;
  Warnings* warnings_;
  const std::string
      added_map_;  ///< What the page holds once a run added a column.
  bool read_error_ = false;
  bool output_failed_ = false;
  std::string out_;
  PageFacts facts_;

  Region region_ = Region::kPassed;  // The first piece is never examined.
  bool heading_done_ = false;
  long rows_ = 0;
  long line_ = 1;        ///< The line of the next piece.
  long piece_line_ = 0;  ///< The line of the last piece read.
  bool piece_ends_line_ = true;
  std::string tail_;  ///< The end of the last piece, when no LF ended it.
  long tables_ = 0;   ///< "<table" seen so far.
  bool row_tag_since_cell_ =
      false;  ///< Any "<tr", in any case, since the last cell.
  CellKind last_cell_ = CellKind::kHeading;
  bool any_cell_ = false;
  std::vector<long> sound_in_row_;  ///< Lines of the row's start with son.gif.
  bool column_added_ = false;

  // The tables as a browser builds them, the innermost last; the first
  // stands for the page outside any table.
  std::vector<BrowserTable> tables_seen_ = {BrowserTable{}};
  long heading_column_ = 0;      ///< The heading's column, 0: none yet.
  long heading_table_line_ = 0;  ///< The line of the heading's table.
  long hidden_rows_ = 0, hidden_rows_line_ = 0;
  long hidden_sound_line_ = 0;  ///< "SON.GIF" in the row's scan, unread.
  long hidden_sounds_ = 0, hidden_sounds_first_ = 0;

  // The link path.
  bool link_taken_ = false;
  std::uint64_t link_at_ = 0;
  long link_row_ = 0;
  long link_line_ = 0;
  std::uint64_t link_warned_ = static_cast<std::uint64_t>(-1);

  // Tables: where the heading went, and the one with the most data cells.
  long heading_table_ = -1, heading_line_ = 0;
  long table_ = -1, table_cells_ = 0;
  long best_table_ = -1, best_cells_ = 0;
};

void Follower::Print(std::string text) {
  out_ += text;
  if (out_.size() >= 64 * 1024) {
    if (!output_failed_ && !ConsoleWrite(out_)) output_failed_ = true;
    out_.clear();
  }
}

// Reads the pieces that end at or before |to|, the last of them in the
// region |last| when it ends at |to| exactly and |last| is not kPassed.
void Follower::Follow(std::uint64_t to, Region last) {
  std::string_view piece;
  while (!read_error_ && reader_.Position() < to) {
    const std::uint64_t at = reader_.Position();
    const PieceResult got = reader_.ReadPiece(&piece);
    if (got == PieceResult::kError) {
      read_error_ = true;
      return;
    }
    if (got == PieceResult::kEnd) return;
    const std::uint64_t end = reader_.Position();
    Piece(piece, at, end,
          end == to && last != Region::kPassed ? last : region_);
  }
}

void Follower::Piece(std::string_view piece, std::uint64_t at,
                     std::uint64_t end, Region region) {
  const long line = line_;
  piece_line_ = line;
  piece_ends_line_ = piece.back() == '\n';
  if (piece_ends_line_) ++line_;
  if (link_taken_ && link_line_ == 0 && link_at_ >= at && link_at_ < end) {
    link_line_ = line;
  }
  // Markers that the boundary with the last piece cuts in two.
  if (!tail_.empty()) {
    const std::string_view cut = MarkerCutBetween(tail_, piece);
    if (!cut.empty()) {
      warnings_->Add(Kind::kMarkerCut, line,
                     MsgWarnMarkerCut(std::string(cut)));
    }
  }
  tail_ = piece_ends_line_
              ? ""
              : std::string(piece.substr(piece.size() > kMarkerMax - 1
                                             ? piece.size() - (kMarkerMax - 1)
                                             : 0));
  const std::string lower = Lower(piece);
  for (std::size_t p = lower.find("<table"); p != std::string::npos;
       p = lower.find("<table", p + 1)) {
    ++tables_;
  }
  const std::size_t row_tag = lower.find("<tr");
  // "son.gif" where no data row's scan looks for it: what its row gets is
  // what the rewrite gives there.
  const std::size_t sound = FindSound(piece, marker_rule_);
  if (sound != std::string_view::npos && region != Region::kDataScan) {
    if (region == Region::kHeadingScan ||
        (region == Region::kRowStart && !heading_done_)) {
      warnings_->Add(Kind::kSoundHeading, line,
                     MsgWarnSoundNotSeen(SoundFate::kHeading));
    } else if (region == Region::kRowStart) {
      // The row's own cell, still to come, decides.
      if (sound_in_row_.empty() || sound_in_row_.back() != line) {
        sound_in_row_.push_back(line);
      }
    } else if (!any_cell_ || row_tag_since_cell_ ||
               (row_tag != std::string::npos && row_tag < sound)) {
      warnings_->Add(Kind::kSoundNoCell, line,
                     MsgWarnSoundNotSeen(SoundFate::kNoCell));
    } else if (last_cell_ != CellKind::kMap) {
      // After its row's cell, in the same row.
      warnings_->Add(Kind::kSoundDash, line,
                     MsgWarnSoundNotSeen(last_cell_ == CellKind::kDash
                                             ? SoundFate::kDash
                                             : SoundFate::kHeading));
    }
  }
  if (row_tag != std::string::npos) row_tag_since_cell_ = true;
  // A sound icon that only --html would read.
  if (region == Region::kDataScan && marker_rule_ == MarkerRule::kExact &&
      sound == std::string_view::npos &&
      FindSound(piece, MarkerRule::kHtml) != std::string_view::npos &&
      hidden_sound_line_ == 0) {
    hidden_sound_line_ = line;
  }
  BrowserTags(piece, lower, line);
  // "<tr>" where no search for a row looks, or inside a row's count.
  if (FindRowStart(piece, marker_rule_) != std::string_view::npos) {
    if (region == Region::kPassed) {
      warnings_->Add(Kind::kRowNotSeen, line, kMsgWarnRowNotSeen);
    } else if (region == Region::kHeadingScan || region == Region::kDataScan) {
      warnings_->Add(Kind::kRowRunsOn, line, kMsgWarnRowRunsOn);
    }
  }
  if (!column_added_ && Holds(piece, added_map_)) {
    column_added_ = true;
    warnings_->Add(Kind::kColumnAdded, line,
                   MsgWarnColumnAdded(Escaped(param_.NomMap.view()) + "1"));
  }
  if (lower.find("<tr ") != std::string::npos ||
      lower.find("<tr\t") != std::string::npos ||
      piece.find("<TR") != std::string_view::npos) {
    facts_.other_rows = true;
  }
  const std::size_t charset = lower.find("charset=");
  if (facts_.charset.empty() && charset != std::string::npos) {
    std::size_t p = charset + 8;
    if (p < lower.size() && (lower[p] == '"' || lower[p] == '\'')) ++p;
    while (p < lower.size() &&
           (std::isalnum(static_cast<unsigned char>(lower[p])) ||
            lower[p] == '-' || lower[p] == '_')) {
      facts_.charset += lower[p++];
    }
  }
  facts_.utf8.Add(piece);
}

// Follows the tags that make a browser's tables, rows and cells: "<table",
// "<tr", "<td" and "<th" and their ends, in any case, each followed by '>',
// '/' or white space.
void Follower::BrowserTags(std::string_view piece, std::string_view lower,
                           long line) {
  for (std::size_t p = lower.find('<'); p != std::string_view::npos;
       p = lower.find('<', p + 1)) {
    std::string_view tag = lower.substr(p + 1);
    const bool end = tag.starts_with('/');
    if (end) tag.remove_prefix(1);
    std::size_t n = 0;
    while (n < tag.size() && tag[n] >= 'a' && tag[n] <= 'z') ++n;
    if (n == tag.size() ||
        (tag[n] != '>' && tag[n] != '/' && !IsHtmlSpace(tag[n]))) {
      continue;
    }
    const std::string_view name = tag.substr(0, n);
    BrowserTable& table = tables_seen_.back();
    if (name == "table" && !end) {
      tables_seen_.push_back(BrowserTable{});
      tables_seen_.back().line = line;
    } else if (name == "table") {
      EndTable();
    } else if (name == "tr") {
      EndRow();
      if (end) continue;
      ++table.rows;
      table.in_row = true;
      table.row_line = line;
      table.row_hidden = marker_rule_ == MarkerRule::kExact &&
                         !piece.substr(p).starts_with(kRowMarker);
      table.row_cells = 0;
      table.row_got = false;
    } else if ((name == "td" || name == "th") && !end) {
      table.row_cells += ColumnsOf(tag.substr(n, tag.find('>') - n));
    }
  }
}

// The row open in the innermost table ends: whether it got its new cell.
void Follower::EndRow() {
  BrowserTable& table = tables_seen_.back();
  if (!table.in_row) return;
  table.in_row = false;
  if (table.row_got) return;
  if (table.missed++ == 0) table.missed_line = table.row_line;
  if (table.row_hidden) {
    ++table.missed_hidden;
    if (hidden_rows_++ == 0) hidden_rows_line_ = table.row_line;
  }
}

// The innermost table ends: its rows end ragged when a row that a browser
// shows gets no new cell, or more than one, in a table that gets some.
void Follower::EndTable() {
  EndRow();
  const BrowserTable table = tables_seen_.back();
  if (tables_seen_.size() > 1) {
    tables_seen_.pop_back();
  } else {
    tables_seen_.back() = BrowserTable{};
  }
  if (table.added == 0 || (table.missed == 0 && table.doubled == 0)) return;
  warnings_->Add(Kind::kRagged,
                 table.line != 0 ? table.line : table.missed_line,
                 MsgWarnRagged(table.rows, table.missed, table.missed_line,
                               table.doubled, table.missed_hidden > 0));
}

// Where a browser shows the new cell of |kind|, inserted after line |line|.
void Follower::BrowserCell(CellKind kind, long line) {
  BrowserTable& table = tables_seen_.back();
  ++table.added;
  if (!table.in_row) {
    warnings_->Add(Kind::kOutsideRow, line, MsgWarnOutsideRow(table.line != 0));
    return;
  }
  if (table.row_got) ++table.doubled;
  table.row_got = true;
  const long column = table.row_cells + 1;
  if (table.row_cells == 0) {
    warnings_->Add(Kind::kFirstInRow, line, kMsgWarnFirstInRow);
  }
  if (kind == CellKind::kHeading) {
    heading_column_ = column;
    heading_table_line_ = table.line;
  } else if (heading_column_ != 0 && table.line == heading_table_line_ &&
             column != heading_column_) {
    warnings_->Add(Kind::kOtherColumn, line,
                   MsgWarnOtherColumn(column, heading_column_));
  }
}

void Follower::Cell(std::uint64_t at, CellKind kind,
                    const EtatReecriture& state) {
  Follow(at, region_);
  const long line = piece_line_;
  BrowserCell(kind, line);
  if (kind == CellKind::kDash && hidden_sound_line_ != 0 &&
      hidden_sounds_++ == 0) {
    hidden_sounds_first_ = hidden_sound_line_;
  }
  hidden_sound_line_ = 0;
  std::string text = MsgPreviewLine(line);
  switch (kind) {
    case CellKind::kHeading:
      ++counts.headings;
      heading_table_ = tables_;
      heading_line_ = line;
      text += kMsgPreviewHeading;
      if (!param_.TexteEntete.view().empty()) {
        text += " " + Escaped(param_.TexteEntete.view());
      }
      break;
    case CellKind::kMap: {
      ++counts.maps;
      const std::string name =
          std::string(param_.NomMap.view()) + std::to_string(state.NumeroMap);
      // As the page gets it: the link path's one possible LF as CR LF.
      std::string_view path = state.CheminLien.view();
      const bool lf = !path.empty() && path.back() == '\n';
      if (lf) path.remove_suffix(1);
      const std::string href = std::string(path) + (lf ? "\r\n" : "") +
                               std::string(param_.NomFichierLien.view());
      text += MsgPreviewMap(Escaped(name), Escaped(href));
      if (!link_taken_) {
        warnings_->Add(Kind::kNoLinkYet, line, MsgWarnNoLinkYet(Escaped(name)));
      } else if (link_row_ != rows_) {
        warnings_->Add(Kind::kLinkReused, line,
                       MsgWarnLinkReused(Escaped(name), link_line_));
      }
      // Each link once, where it was taken.
      const bool breaks = href.find_first_of("\"<>\r\n") != std::string::npos;
      // A path taken whole with its line end is not cut in a name.
      const bool cut = link_taken_ && !path.ends_with('/');
      if ((breaks || cut) && (!link_taken_ || link_at_ != link_warned_)) {
        if (link_taken_) link_warned_ = link_at_;
        warnings_->Add(Kind::kLink, link_taken_ ? link_line_ : line,
                       MsgWarnLink(Escaped(name), Escaped(href), breaks, cut,
                                   link_rule_ == LinkRule::kFolder));
      }
      break;
    }
    case CellKind::kDash:
      ++counts.dashes;
      text += kMsgPreviewDash;
      break;
  }
  Print(text + "\n");
  if (!piece_ends_line_) warnings_->Add(Kind::kMidLine, line, kMsgWarnMidLine);
  // The son.gif of the row's start, not looked for: the row's cell says
  // what came of it.
  for (long sound_line : sound_in_row_) {
    if (kind == CellKind::kDash) {
      warnings_->Add(Kind::kSoundDash, sound_line,
                     MsgWarnSoundNotSeen(SoundFate::kDash));
    }
  }
  sound_in_row_.clear();
  if (kind != CellKind::kHeading) {
    if (tables_ != table_) {
      table_ = tables_;
      table_cells_ = 0;
    }
    if (++table_cells_ > best_cells_) {
      best_cells_ = table_cells_;
      best_table_ = table_;
    }
  }
  any_cell_ = true;
  last_cell_ = kind;
  row_tag_since_cell_ = false;
  heading_done_ = true;
  // The piece right after the heading cell is examined for a row; the one
  // right after a data row's cell is not.
  region_ = kind == CellKind::kHeading ? Region::kSearch : Region::kPassed;
}

bool Follower::Finish(PageFacts* facts) {
  Follow(static_cast<std::uint64_t>(-1));
  while (tables_seen_.size() > 1) EndTable();
  EndTable();
  if (hidden_rows_ > 0) {
    warnings_->Add(Kind::kHiddenRows, hidden_rows_line_,
                   MsgWarnHiddenRows(hidden_rows_));
  }
  if (hidden_sounds_ > 0) {
    warnings_->Add(Kind::kHiddenSound, hidden_sounds_first_,
                   MsgWarnHiddenSound(hidden_sounds_));
  }
  if (heading_table_ >= 0 && best_table_ >= 0 &&
      best_table_ != heading_table_) {
    warnings_->Add(Kind::kOtherTable, heading_line_, kMsgWarnOtherTable);
  }
  if (!output_failed_ && !out_.empty() && !ConsoleWrite(out_)) {
    output_failed_ = true;
  }
  out_.clear();
  facts_.text_size = reader_.Position();
  *facts = std::move(facts_);
  return !read_error_ && !output_failed_;
}

// The warnings about the answers alone.
void AnswerWarnings(const ParamColonne& param, const PageFacts& facts,
                    Warnings* out) {
  if (param.NumeroColonne <= 0) {
    out->General(Kind::kColumn, MsgWarnColumn(param.NumeroColonne));
  }
  const std::pair<const char*, std::string_view> fields[] = {
      {"NomIcone1", param.NomIcone1.view()},
      {"NomIcone2", param.NomIcone2.view()},
      {"NomMap", param.NomMap.view()},
      {"NomFichierLien", param.NomFichierLien.view()}};
  for (const auto& [name, value] : fields) {
    if (value.find('"') != std::string_view::npos) {
      out->General(Kind::kQuote, MsgWarnQuote(name));
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
    out->General(Kind::kCharset,
                 MsgWarnCharset(answers.valid(), Escaped(page_set)));
  }
}

}  // namespace

bool AsksForPreview(const std::string& argument) {
  return argument == "--dry-run" || argument == "-n";
}

namespace {

// Ends the preview on its own error: prints its message, or the
// interruption when one came, since it is then the cause.
// "le fichier n'existe pas" names no file: the error stream names it.
int Fail(const std::string& nom_du_fichier, const Failure& failure) {
  ConsoleWrite(
      MessageOf(Interrupted() ? FailureOf(FailedStep::kInterrupted) : failure,
                nom_du_fichier));
  if (!Interrupted() && failure.step == FailedStep::kOpen) {
    ConsoleWriteError(MsgMissingFile(failure.name, failure.error));
  }
  return -1;
}

// The warning of a refusal of a run, |refusal|, in the run's own words.
std::string RefusalWarning(const std::string& nom_du_fichier,
                           const Failure& refusal) {
  switch (refusal.step) {
    case FailedStep::kPageNotWritable:
      return MsgWarnNotWritable(Escaped(nom_du_fichier));
    case FailedStep::kFolderClosed:
      return MsgWarnFolderClosed(Escaped(refusal.name));
    default: {
      Failure shown = refusal;
      shown.name = Escaped(refusal.name);
      return MsgWarnRefused(MessageOf(shown, Escaped(nom_du_fichier)));
    }
  }
}

// Each refusal of a run on the open |page| as a warning. Fails when a
// check could not be made.
Failure WarnOfRefusals(const std::string& nom_du_fichier, Page* page,
                       Warnings* warnings) {
  for (const Failure& f : RunRefusals(page, BackupNameOf(nom_du_fichier))) {
    if (!IsRefusal(f)) return f;
    warnings->General(Kind::kRefused, RefusalWarning(nom_du_fichier, f));
  }
  return Failure();
}

// Runs the rewrite over the page, writing nowhere, and prints each cell as
// it tells of it; the follower reads the page a second time beside it.
Failure ShowCells(const std::string& nom_du_fichier, Page* page,
                  const ParamColonne& param, LinkRule link_rule,
                  MarkerRule marker_rule, Warnings* warnings,
                  Follower::Counts* counts, PageFacts* facts) {
  File again, own;
  CallResult result = RewindFile(&page->file);
  if (result) result = Duplicate(page->file, &again);
  if (!result) {
    return FailureOf(FailedStep::kRead, nom_du_fichier, result.error);
  }
  const OpenResult opened = OpenForReading(nom_du_fichier, &own);
  if (!opened) {
    return FailureOf(FailedStep::kRead, nom_du_fichier, opened.error);
  }
  TextReader reader(std::move(again));
  TextWriter nowhere;
  nowhere.Discard();
  EtatReecriture state;
  Follower follower(std::move(own), param, link_rule, marker_rule, warnings);
  const TextEnd walked = RewriteTableObserved(
      &reader, &nowhere, param, TypedLength(nom_du_fichier), &state, &follower,
      link_rule, marker_rule);
  const bool followed = follower.Finish(facts);
  *counts = follower.counts;
  if (walked != TextEnd::kOk) {
    return FailureOf(FailedStep::kRead, nom_du_fichier, reader.error());
  }
  if (!followed) {
    return follower.output_failed()
               ? FailureOf(FailedStep::kNoOutput)
               : FailureOf(FailedStep::kRead, nom_du_fichier,
                           follower.read_error());
  }
  return Failure();
}

// The warnings, the notes and the total, once the cells are shown.
bool ShowSummary(const std::string& nom_du_fichier, const Page& page,
                 const Follower::Counts& counts, const PageFacts& facts,
                 Warnings* warnings) {
  std::string out = warnings->Lines();
  FileInfo backup;
  bool exists = false;
  const std::string nom_sauvegarde = BackupNameOf(nom_du_fichier);
  if (GetNameInfo(nom_sauvegarde, &backup, &exists) && exists) {
    out += kMsgNote + MsgNoteBackupReplaced(Escaped(nom_sauvegarde)) + "\n";
  }
  if (facts.text_size > page.info.size) {
    out += std::string(kMsgNote) + kMsgNoteLoneLf + "\n";
  }
  out += MsgPreviewTotal(counts.headings, counts.maps, counts.dashes,
                         warnings->Total());
  return ConsoleWrite(out);
}

}  // namespace

int Preview(const std::string& nom_du_fichier, bool from_file,
            LinkRule link_rule, MarkerRule marker_rule, ConsoleInput* input) {
  Page page;
  ParamColonne param;
  Warnings warnings;
  Follower::Counts counts;
  PageFacts facts;
  Failure failure = OpenPageFile(nom_du_fichier, &page, LockUse::kTry);
  // A page that a run refuses as it opens it, a FIFO say, is not read.
  if (IsRefusal(failure)) {
    warnings.General(Kind::kRefused, RefusalWarning(nom_du_fichier, failure));
    return ShowSummary(nom_du_fichier, page, counts, facts, &warnings) ? 2 : -1;
  }
  if (!failure.failed()) {
    failure = from_file ? ReadParamFile(kParamFileName, &param)
                        : AskParameters(input, &param);
  }
  if (failure.failed()) return Fail(nom_du_fichier, failure);
  // What a run would decide first about an unfinished write in place.
  UnfinishedWrite unfinished;
  if (const int e =
          FindUnfinishedWrite(&page.file, page.info.size, &unfinished)) {
    return Fail(nom_du_fichier,
                FailureOf(FailedStep::kRead, nom_du_fichier, e));
  }
  const Pending pending = unfinished.pending;
  if (pending != Pending::kNone) {
    // A run would first finish or undo that write, or refuse a page
    // changed since: the page's cells now are not the ones it would insert.
    warnings.General(Kind::kRefused,
                     pending == Pending::kEdited
                         ? MsgWarnUnfinishedEdited(Escaped(nom_du_fichier))
                         : MsgWarnUnfinished(Escaped(nom_du_fichier)));
  } else {
    failure = WarnOfRefusals(nom_du_fichier, &page, &warnings);
    if (!failure.failed()) {
      failure = ShowCells(nom_du_fichier, &page, param, link_rule, marker_rule,
                          &warnings, &counts, &facts);
    }
    if (failure.failed()) return Fail(nom_du_fichier, failure);
    if (counts.headings + counts.maps + counts.dashes == 0) {
      warnings.General(Kind::kNoCell,
                       std::string(kMsgWarnNoCell) +
                           (facts.other_rows ? kMsgWarnNotRows : ""));
    }
    AnswerWarnings(param, facts, &warnings);
  }
  if (!ShowSummary(nom_du_fichier, page, counts, facts, &warnings)) return -1;
  if (warnings.Refusal()) return 2;
  return warnings.Total() > 0 ? 1 : 0;
}
