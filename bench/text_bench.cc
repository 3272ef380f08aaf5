// Micro-benchmarks of the hot paths, in bytes per second of page:
//
//   build/<dir>/bench/brantix_micro_bench
//
// The page (see page.h, 16 MiB) is written once to a file in /dev/shm when
// there is one, else in the temporary folder, so reading it costs memory
// copies only; output goes to a string in memory, emptied before each run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "bench/page.h"
#include "parameters/param_colonne.h"
#include "rewrite/markers.h"
#include "rewrite/rewrite.h"
#include "text/text_file.h"

namespace {

constexpr std::uint64_t kPageSize = 16u << 20;

// A page file that lives as long as the program.
struct PageFile {
  std::string path;
  std::string text;
  PageFile(bool crlf) {
    std::filesystem::path folder = std::filesystem::exists("/dev/shm")
                                       ? std::filesystem::path("/dev/shm")
                                       : std::filesystem::temp_directory_path();
    path = (folder / ("brantix-bench-" + std::to_string(crlf) + "-" +
                      std::to_string(ProcessNumber()) + ".htm"))
               .string();
    text = MakePage(kPageSize, crlf);
    std::ofstream(path, std::ios::binary) << text;
  }
  ~PageFile() { std::remove(path.c_str()); }
};

const PageFile& Page(bool crlf) {
  static PageFile lf(false);
  static PageFile crlf_page(true);
  return crlf ? crlf_page : lf;
}

void OpenPage(const std::string& path, TextReader* reader) {
  File file;
  if (!OpenForReading(path, &file)) std::abort();
  reader->Start(std::move(file));
}

// The reader: every piece of the page.
void BM_ReadPiece(benchmark::State& state) {
  const PageFile& page = Page(state.range(0) != 0);
  TextReader reader;
  for (auto _ : state) {
    OpenPage(page.path, &reader);
    std::string_view piece;
    std::size_t pieces = 0;
    while (reader.ReadPiece(&piece) == PieceResult::kPiece) ++pieces;
    benchmark::DoNotOptimize(pieces);
  }
  state.SetBytesProcessed(state.iterations() * page.text.size());
}
BENCHMARK(BM_ReadPiece)->Arg(0)->Arg(1)->ArgName("crlf");

// The writer: the page's lines, from memory, each LF written as CR LF.
void BM_WriteText(benchmark::State& state) {
  const PageFile& page = Page(false);
  std::string out;
  for (auto _ : state) {
    out.clear();
    TextWriter writer(&out);
    std::string_view rest = page.text;
    while (!rest.empty()) {
      std::size_t lf = rest.find('\n');
      std::size_t n = lf == std::string_view::npos ? rest.size() : lf + 1;
      writer.WriteText(rest.substr(0, n));
      rest.remove_prefix(n);
    }
    if (!writer.WriteOutBuffer()) std::abort();
  }
  state.SetBytesProcessed(state.iterations() * page.text.size());
}
BENCHMARK(BM_WriteText);

// Pieces read and written back: the rewrite without its markers.
void BM_ReadWritePieces(benchmark::State& state) {
  const PageFile& page = Page(state.range(0) != 0);
  TextReader reader;
  std::string out;
  for (auto _ : state) {
    OpenPage(page.path, &reader);
    out.clear();
    TextWriter writer(&out);
    std::string_view piece;
    while (reader.ReadPiece(&piece) == PieceResult::kPiece) {
      writer.WriteText(piece);
    }
    if (!writer.WriteOutBuffer()) std::abort();
  }
  state.SetBytesProcessed(state.iterations() * page.text.size());
}
BENCHMARK(BM_ReadWritePieces)->Arg(0)->Arg(1)->ArgName("crlf");

// The backup copy: the whole page as text.
void BM_CopyText(benchmark::State& state) {
  const PageFile& page = Page(state.range(0) != 0);
  TextReader reader;
  std::string out;
  for (auto _ : state) {
    OpenPage(page.path, &reader);
    out.clear();
    TextWriter writer(&out);
    if (reader.CopyText(&writer) != TextEnd::kOk) std::abort();
    if (!writer.WriteOutBuffer()) std::abort();
  }
  state.SetBytesProcessed(state.iterations() * page.text.size());
}
BENCHMARK(BM_CopyText)->Arg(0)->Arg(1)->ArgName("crlf");

// The rewrite loop: markers, cells and all, with the new cell after the
// second cell of each row.
void BM_RewriteTable(benchmark::State& state) {
  const PageFile& page = Page(state.range(0) != 0);
  ParamColonne param;
  param.NumeroColonne = 2;
  Assign(&param.TexteEntete, "Ecoute");
  Assign(&param.NomIcone1, "video.gif");
  Assign(&param.NomIcone2, "son2.gif");
  Assign(&param.NomMap, "carte");
  Assign(&param.NomFichierLien, "index.htm");
  TextReader reader;
  std::string out;
  for (auto _ : state) {
    OpenPage(page.path, &reader);
    out.clear();
    TextWriter writer(&out);
    EtatReecriture rewrite_state;
    if (RewriteTable(&reader, &writer, param, 8, &rewrite_state) !=
        TextEnd::kOk) {
      std::abort();
    }
    if (!writer.WriteOutBuffer()) std::abort();
  }
  state.SetBytesProcessed(state.iterations() * page.text.size());
}
BENCHMARK(BM_RewriteTable)->Arg(0)->Arg(1)->ArgName("crlf");

// The data rows' marker sorting alone, over the whole page: every
// candidate reported. The page's text is followed by zeros, as the reader's
// view is.
void BM_MarkerScan(benchmark::State& state) {
  const PageFile& page = Page(false);
  const std::string text = page.text + std::string(kBlockView, '\0');
  for (auto _ : state) {
    Candidates<CellScanCandidates> scan(text.data(), 0, page.text.size());
    std::size_t at;
    std::size_t found = 0;
    while (scan.Next(&at)) ++found;
    benchmark::DoNotOptimize(found);
  }
  state.SetBytesProcessed(state.iterations() * page.text.size());
}
BENCHMARK(BM_MarkerScan);

}  // namespace

BENCHMARK_MAIN();
