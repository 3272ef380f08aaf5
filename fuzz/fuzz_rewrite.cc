// The rewrite over any page with any parameters, against a plain model of
// it: the model walks the page's pieces and says after which piece each new
// cell goes. The rewritten page must be exactly the backup's pieces in
// sequence with those cells in between, and the rewrite must end.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/memory_files.h"
#include "rewrite/cells.h"
#include "rewrite/rewrite.h"

#define EXPECT(condition) \
  do {                    \
    if (!(condition)) std::abort(); \
  } while (0)

namespace {

// One element of the new page: a piece of the backup, or a new cell.
struct Element {
  enum Kind { kPiece, kHeading, kMap, kDash } kind;
  std::size_t piece = 0;
  std::int32_t map = 0;
  std::string link;
};

bool Has(const std::string& piece, const char* marker) {
  return piece.find(marker) != std::string::npos;
}

// The rewrite as the page's owner would do it by hand.
std::vector<Element> Model(const std::vector<std::string>& pieces,
                           std::int32_t numero, std::size_t name_length) {
  std::vector<Element> out;
  std::size_t i = 0;  // The current piece; none when i == pieces.size().
  auto advance = [&] {
    out.push_back({Element::kPiece, i, 0, {}});
    return ++i < pieces.size();
  };
  bool heading_done = false;
  std::int32_t map = 0;
  std::string link;
  while (i < pieces.size()) {
    advance();
    if (i < pieces.size() && !heading_done && Has(pieces[i], "<tr>")) {
      if (!advance()) break;
      bool ended = false;
      for (std::int32_t cells = 0; cells < numero;) {
        if (!advance()) {
          ended = true;
          break;
        }
        if (Has(pieces[i], "</td>")) ++cells;
      }
      if (ended) break;
      heading_done = true;
      advance();
      out.push_back({Element::kHeading, 0, 0, {}});
    }
    if (i < pieces.size() && heading_done && Has(pieces[i], "<tr>")) {
      if (!advance()) break;
      bool ended = false;
      bool sound = false;
      for (std::int32_t cells = 0; cells < numero;) {
        if (!advance()) {
          ended = true;
          break;
        }
        const std::string& p = pieces[i];
        if (Has(p, "son.gif")) sound = true;
        if (Has(p, "</td>")) ++cells;
        if (Has(p, "..///")) link = p.substr(p.find("..///"), name_length + 23);
      }
      if (ended) break;
      advance();
      if (sound) {
        out.push_back({Element::kMap, 0, ++map, link});
      } else {
        out.push_back({Element::kDash, 0, 0, {}});
      }
    }
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider fdp(data, size);
  ResetMemory();
  MemoryFiles& m = Memory();
  ParamColonne param;
  param.NumeroColonne = fdp.ConsumeBool()
                            ? fdp.ConsumeIntegralInRange<std::int32_t>(-2, 12)
                            : fdp.ConsumeIntegral<std::int32_t>();
  Remplir(&param.TexteEntete, fdp.ConsumeRandomLengthString(251));
  Remplir(&param.NomIcone1, fdp.ConsumeRandomLengthString(27));
  Remplir(&param.NomIcone2, fdp.ConsumeRandomLengthString(27));
  Remplir(&param.NomMap, fdp.ConsumeRandomLengthString(27));
  Remplir(&param.NomFichierLien, fdp.ConsumeRandomLengthString(27));
  const std::size_t name_length = fdp.ConsumeIntegralInRange<std::size_t>(0, 250);
  for (int i = fdp.ConsumeIntegralInRange(0, 3); i > 0; --i) {
    m.read_sizes.push_back(fdp.ConsumeIntegralInRange<std::size_t>(1, 1100));
  }
  const std::string page = fdp.ConsumeRemainingBytesAsString();
  m.files["page.orig"] = page;

  File in, out;
  EXPECT(OpenForReading("page.orig", &in) == OpenReadResult::kOk);
  EXPECT(OpenForWriting("page", &out));
  TextReader backup;
  TextWriter writer;
  StartReading(std::move(in), &backup, 4096);
  StartWriting(std::move(out), &writer, 1024);
  EtatReecriture etat;
  EXPECT(Reecrire(&backup, &writer, param, name_length, &etat) ==
         FinReecriture::kOk);
  EXPECT(FinishWriting(&writer));
  const std::string rewritten = m.files["page"];

  // The page the model gives, the cells written by the same cell writers.
  const std::vector<std::string> pieces = Pieces(Translated(page));
  const std::vector<Element> model = Model(pieces, param.NumeroColonne, name_length);
  File expected_file;
  EXPECT(OpenForWriting("expected", &expected_file));
  TextWriter expected;
  StartWriting(std::move(expected_file), &expected, 1024);
  std::string without_cells;
  std::size_t next_piece = 0;
  for (const Element& e : model) {
    switch (e.kind) {
      case Element::kPiece:
        // Every piece once, in order.
        EXPECT(e.piece == next_piece++);
        EXPECT(WriteText(&expected, pieces[e.piece]));
        without_cells += pieces[e.piece];
        break;
      case Element::kHeading:
        EXPECT(EcrireCelluleEntete(&expected, param.TexteEntete.vue()));
        break;
      case Element::kMap:
        EXPECT(EcrireCelluleMap(&expected, param.NomIcone1.vue(),
                                param.NomIcone2.vue(), param.NomMap.vue(),
                                e.map, e.link, param.NomFichierLien.vue()));
        break;
      case Element::kDash:
        EXPECT(EcrireCelluleTiret(&expected));
        break;
    }
  }
  EXPECT(FinishWriting(&expected));
  EXPECT(next_piece == pieces.size());
  EXPECT(without_cells == Translated(page));
  EXPECT(rewritten == m.files["expected"]);
  return 0;
}
