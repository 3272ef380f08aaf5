// The rewrite over any page with any parameters, against the model of
// tests/rewrite_model.h, which knows nothing of the program's code. The
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
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "fuzz/expect.h"
#include "rewrite/rewrite.h"
#include "tests/rewrite_model.h"

namespace {

// The map count a rewrite starts from: 0, or a few short of its 32-bit
// wrap, as if many rows came before, so that the wrap is reached.
std::int32_t FirstMap(FuzzedDataProvider& fdp) {
  if (fdp.ConsumeIntegralInRange(0, 7) != 7) return 0;
  return std::numeric_limits<std::int32_t>::max() -
         fdp.ConsumeIntegralInRange<std::int32_t>(0, 3);
}

// An answer of at most |capacity| bytes, any byte but LF: the answers are
// lines of the dialogue or of param.txt.
std::string Answer(FuzzedDataProvider& fdp, std::size_t capacity) {
  std::string answer = fdp.ConsumeRandomLengthString(capacity);
  std::erase(answer, '\n');
  return answer;
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
    "</TH>",
    "SON.GIF",
    "<tr\f",
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  FuzzedDataProvider fdp(data, size);
  ModelAnswers a;
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
  const bool link_folder = fdp.ConsumeBool();
  const bool html = fdp.ConsumeBool();
  a.heading = Answer(fdp, 251);
  a.icon1 = Answer(fdp, 27);
  a.icon2 = Answer(fdp, 27);
  a.map = Answer(fdp, 27);
  a.link_file = Answer(fdp, 27);
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
  EXPECT(RewriteTable(&backup, &writer, param, name_length, &state,
                      link_folder ? LinkRule::kFolder : LinkRule::kNameLength,
                      html ? MarkerRule::kHtml : MarkerRule::kExact) ==
         TextEnd::kOk);
  EXPECT(writer.WriteOutBuffer());

  const std::string difference =
      FirstDifference(rewritten, ModelRewrite(page, a, name_length, first_map,
                                              nullptr, link_folder, html));
  if (!difference.empty()) {
    std::fprintf(stderr, "rewritten page %s", difference.c_str());
    std::abort();
  }
  return 0;
}
