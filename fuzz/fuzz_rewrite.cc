// The rewrite over any page with any parameters, against a model that knows
// nothing of the program's code: it walks the line pieces of the page as
// plain strings, follows the rules of where each new cell goes, and writes
// the cells from their text typed out by hand (tests/expected_cells.h). The
// rewritten page must equal the model's bytes exactly, and the rewrite must
// end.
//
// Besides raw pages, the input can be a small script that builds a page
// from markers, halves of markers, line ends, lone CRs, NULs, whole rows and
// padding that puts the next byte just before a 511-byte piece cut or a read
// boundary, so that these meet often. The size of the reads and the
// writer's buffer are chosen by the input too. The rewrite runs from memory
// to memory.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "fuzz/expect.h"
#include "rewrite/rewrite.h"
#include "tests/expected_cells.h"
#include "tests/text_model.h"

namespace {

// The six answers, as plain strings.
struct Answers {
  std::int32_t column = 0;
  std::string heading, icon1, icon2, map, link_file;
};

// The map count a rewrite starts from: 0, or a few short of its 32-bit
// wrap, as if many rows came before, so that the wrap is reached.
std::int32_t FirstMap(FuzzedDataProvider& fdp) {
  if (fdp.ConsumeIntegralInRange(0, 7) != 7) return 0;
  return std::numeric_limits<std::int32_t>::max() -
         fdp.ConsumeIntegralInRange<std::int32_t>(0, 3);
}

bool Has(const std::string& piece, const char* marker) {
  return piece.find(marker) != std::string::npos;
}

// The rewritten page, bytes as the file must hold them: every piece once, in
// order, each LF as CR LF, and the new cells in between.
//
// The first piece is never examined. The first later piece that holds
// "<tr>" starts the heading row; cells are counted from the second piece
// after it, and the heading cell goes right after the piece that closes the
// |column|-th one (|column| <= 0: right after the piece that follows the
// "<tr>" piece). The piece after the heading cell is examined again, for a
// data row, with the count back at 0: the same scan, also noting "son.gif"
// and taking the link path from the first "..///" of a piece, then an
// image-map cell (maps numbered 1, 2, ...) or a dash cell in the same place.
// The piece after a data row's cell is not examined; the one after it is.
// The end of the page inside a scan ends the rewrite with no cell for that
// row; a cell due after the last piece is written.
std::string ExpectedPage(const std::vector<std::string>& pieces,
                         const Answers& a, std::size_t name_length,
                         std::int32_t first_map) {
  std::string out;
  std::size_t at = 0;  // The current piece; none when at == pieces.size().
  const auto present = [&] { return at < pieces.size(); };
  const auto current_has = [&](const char* marker) {
    return present() && Has(pieces[at], marker);
  };
  // Writes the current piece and moves to the next; false when there is none.
  const auto advance = [&] {
    out += EveryLfToCrLf(pieces[at]);
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
    }
    cells = 0;
    if (current_has("<tr>") && heading_done) {
      if (!advance()) return out;
      while (cells < a.column) {
        if (!advance()) return out;
        const std::string& p = pieces[at];
        if (Has(p, "son.gif")) sound = true;
        if (Has(p, "</td>")) ++cells;
        if (Has(p, "..///")) link = p.substr(p.find("..///"), name_length + 23);
      }
      advance();
      if (sound) {
        ++map;
        out += EveryLfToCrLf(MapCell(a.icon1, a.icon2, a.map,
                                     static_cast<std::int32_t>(map), link,
                                     a.link_file));
        sound = false;
      } else {
        out += EveryLfToCrLf(DashCell());
      }
    }
  }
  return out;
}

// Pages built from a script stay small enough to run fast.
constexpr std::size_t kMaxBuiltPage = 48 * 1024;

// Bytes that may fill a line: never an LF.
constexpr char kFillers[] = {'x', ' ', '\t', '\0', '\r', '<', '.', '/'};

// Whole markers, their halves (to be cut apart at a piece end), near misses
// and every kind of line end.
const char* const kTokens[] = {
    "<tr>",
    "</td>",
    "son.gif",
    "..///",
    "\n",
    "\r\n",
    "\r",
    "\r\r\n",
    "<td>",
    "</tr>",
    "<TR>",
    "<tr class=\"a\">",
    "<t",
    "r>",
    "</t",
    "d>",
    "son.",
    "gif",
    "..",
    "///",
    ".//",
    "<img src=\"../son.gif\">",
    "<a href=\"..///films/suspense/vertigo.htm\">Vertigo</a>"};

std::size_t LineLength(const std::string& page) {
  std::size_t lf = page.rfind('\n');
  return lf == std::string::npos ? page.size() : page.size() - lf - 1;
}

// A table row of up to five cells, three lines a cell, each holding plain
// text, a sound icon, a link path or both; LF or CR LF line ends.
std::string Row(FuzzedDataProvider& fdp) {
  const char* eol = fdp.ConsumeBool() ? "\r\n" : "\n";
  const int cells = fdp.ConsumeIntegralInRange(0, 5);
  std::string row = std::string("<tr>") + eol;
  for (int c = 0; c < cells; ++c) {
    row += std::string("\t<td>") + eol + "\t";
    switch (fdp.ConsumeIntegralInRange(0, 3)) {
      case 0:
        row += "texte";
        break;
      case 1:
        row += "<img src=\"../images/son.gif\">";
        break;
      case 2:
        row += "<a href=\"..///extraits/la_mer.htm\">La mer</a>";
        break;
      case 3:
        row += "<img src=\"son.gif\"> <a href=\"..///x/y.htm\">y</a>";
        break;
    }
    row += std::string(eol) + "\t</td>" + eol;
  }
  return row + "</tr>" + eol;
}

std::string BuiltPage(FuzzedDataProvider& fdp, std::size_t read_step) {
  std::string page;
  while (fdp.remaining_bytes() > 0 && page.size() < kMaxBuiltPage) {
    switch (fdp.ConsumeIntegralInRange(0, 7)) {
      case 0:
        page += fdp.ConsumeRandomLengthString(64);
        break;
      case 1:
        page += kTokens[fdp.ConsumeIntegralInRange<std::size_t>(
            0, std::size(kTokens) - 1)];
        break;
      case 2:
        page += '\0';
        break;
      case 3: {
        // The next byte |before| bytes ahead of the line's next piece cut.
        const std::size_t before =
            fdp.ConsumeIntegralInRange<std::size_t>(0, 8);
        const char fill = fdp.PickValueInArray(kFillers);
        const std::size_t at = LineLength(page) % 511;
        const std::size_t target = (511 - before % 511) % 511;
        page.append((target + 511 - at) % 511, fill);
        break;
      }
      case 4: {
        // The next byte |before| bytes ahead of a read boundary (when reads
        // are small enough for that to stay cheap).
        const std::size_t before =
            fdp.ConsumeIntegralInRange<std::size_t>(0, 8);
        const char fill = fdp.PickValueInArray(kFillers);
        if (read_step > 2048) break;
        const std::size_t at = page.size() % read_step;
        const std::size_t target = (read_step - before % read_step) % read_step;
        page.append((target + read_step - at) % read_step, fill);
        break;
      }
      case 5:
        page.append(fdp.ConsumeIntegralInRange<std::size_t>(0, 1100),
                    fdp.PickValueInArray(kFillers));
        break;
      case 6: {
        // The last bytes again, a few times: many rows cheaply.
        const std::size_t n = std::min<std::size_t>(
            page.size(), fdp.ConsumeIntegralInRange<std::size_t>(1, 256));
        const std::string tail = page.substr(page.size() - n);
        for (int i = fdp.ConsumeIntegralInRange(1, 8); i > 0; --i) page += tail;
        break;
      }
      case 7:
        page += Row(fdp);
        break;
    }
  }
  return page;
}

std::int32_t Column(FuzzedDataProvider& fdp) {
  constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
  constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  constexpr std::int32_t kExtremes[] = {kMin, kMin + 1, -1,
                                        kMax, kMax - 1, 1 << 20};
  switch (fdp.ConsumeIntegralInRange(0, 3)) {
    case 2:
      return fdp.ConsumeIntegral<std::int32_t>();
    case 3:
      return fdp.PickValueInArray(kExtremes);
    default:
      return fdp.ConsumeIntegralInRange<std::int32_t>(-2, 12);
  }
}

// Says where the two pages first differ, then stops.
[[noreturn]] void Mismatch(const std::string& got, const std::string& want) {
  std::size_t i = 0;
  while (i < got.size() && i < want.size() && got[i] == want[i]) ++i;
  std::fprintf(stderr,
               "rewritten page differs from the model at byte %zu "
               "(rewritten %zu bytes, model %zu bytes)\n",
               i, got.size(), want.size());
  const std::size_t from = i < 40 ? 0 : i - 40;
  for (const std::string* s : {&got, &want}) {
    std::fprintf(stderr, s == &got ? "  rewritten: " : "  model:     ");
    for (std::size_t k = from; k < s->size() && k < i + 40; ++k) {
      unsigned char c = static_cast<unsigned char>((*s)[k]);
      if (c >= 0x20 && c < 0x7f && c != '\\') {
        std::fputc(c, stderr);
      } else {
        std::fprintf(stderr, "\\x%02x", c);
      }
    }
    std::fputc('\n', stderr);
  }
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  FuzzedDataProvider fdp(data, size);
  Answers a;
  a.column = Column(fdp);
  const std::size_t name_length =
      fdp.ConsumeIntegralInRange<std::size_t>(0, 250);
  // The program's own buffer sizes now and then: they cost the most time.
  const std::size_t in_capacity =
      fdp.ConsumeIntegralInRange(0, 7) != 0
          ? fdp.ConsumeBool() ? fdp.ConsumeIntegralInRange<std::size_t>(1, 16)
                              : fdp.ConsumeIntegralInRange<std::size_t>(1, 1536)
          : kTextBufferSize;
  const std::size_t out_capacity =
      fdp.ConsumeIntegralInRange(0, 7) != 0
          ? fdp.ConsumeIntegralInRange<std::size_t>(2, 1100)
          : kTextBufferSize;
  const std::int32_t first_map = FirstMap(fdp);
  a.heading = fdp.ConsumeRandomLengthString(251);
  a.icon1 = fdp.ConsumeRandomLengthString(27);
  a.icon2 = fdp.ConsumeRandomLengthString(27);
  a.map = fdp.ConsumeRandomLengthString(27);
  a.link_file = fdp.ConsumeRandomLengthString(27);
  const std::size_t read_step = in_capacity;
  const std::string page = fdp.ConsumeBool()
                               ? BuiltPage(fdp, read_step)
                               : fdp.ConsumeRemainingBytesAsString();

  ParamColonne param;
  param.NumeroColonne = a.column;
  EXPECT(Assign(&param.TexteEntete, a.heading));
  EXPECT(Assign(&param.NomIcone1, a.icon1));
  EXPECT(Assign(&param.NomIcone2, a.icon2));
  EXPECT(Assign(&param.NomMap, a.map));
  EXPECT(Assign(&param.NomFichierLien, a.link_file));

  std::string rewritten;
  TextReader backup(page, in_capacity);
  TextWriter writer(&rewritten, out_capacity);
  EtatReecriture state;
  state.NumeroMap = first_map;
  EXPECT(RewriteTable(&backup, &writer, param, name_length, &state) ==
         RewriteEnd::kOk);
  EXPECT(writer.Flush());

  const std::string expected =
      ExpectedPage(PiecesOf(CrLfToLf(page)), a, name_length, first_map);
  if (rewritten != expected) Mismatch(rewritten, expected);
  return 0;
}
