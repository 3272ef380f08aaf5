// Micro-benchmarks of the hot paths, in bytes per second of page:
//
//   build/<dir>/bench/brantix_micro_bench
//
// The page (see page.h, 16 MiB) is written once to a file in /dev/shm when
// there is one, else in the temporary folder, so reading it costs memory
// copies only; output goes to /dev/null, so writing costs the buffer work
// and the write calls only.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "bench/page.h"
#include "parameters/param_colonne.h"
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
  if (OpenForReading(path, &file) != OpenReadResult::kOk) std::abort();
  StartReading(std::move(file), reader);
}

void OpenNull(TextWriter* writer) {
  File file;
  if (!OpenForWriting("/dev/null", &file)) std::abort();
  StartWriting(std::move(file), writer);
}

// The reader: every piece of the page.
void BM_ReadPiece(benchmark::State& state) {
  const PageFile& page = Page(state.range(0) != 0);
  TextReader reader;
  for (auto _ : state) {
    OpenPage(page.path, &reader);
    std::string_view piece;
    std::size_t pieces = 0;
    while (ReadPiece(&reader, &piece) == PieceResult::kPiece) ++pieces;
    benchmark::DoNotOptimize(pieces);
  }
  state.SetBytesProcessed(state.iterations() * page.text.size());
}
BENCHMARK(BM_ReadPiece)->Arg(0)->Arg(1)->ArgName("crlf");

// The writer: the page's lines, from memory, each LF written as CR LF.
void BM_WriteText(benchmark::State& state) {
  const PageFile& page = Page(false);
  TextWriter writer;
  for (auto _ : state) {
    OpenNull(&writer);
    std::string_view rest = page.text;
    while (!rest.empty()) {
      std::size_t lf = rest.find('\n');
      std::size_t n = lf == std::string_view::npos ? rest.size() : lf + 1;
      WriteText(&writer, rest.substr(0, n));
      rest.remove_prefix(n);
    }
    if (!FinishWriting(&writer)) std::abort();
  }
  state.SetBytesProcessed(state.iterations() * page.text.size());
}
BENCHMARK(BM_WriteText);

// Pieces read and written back: the rewrite without its markers.
void BM_ReadWritePieces(benchmark::State& state) {
  const PageFile& page = Page(state.range(0) != 0);
  TextReader reader;
  TextWriter writer;
  for (auto _ : state) {
    OpenPage(page.path, &reader);
    OpenNull(&writer);
    std::string_view piece;
    while (ReadPiece(&reader, &piece) == PieceResult::kPiece) {
      WriteText(&writer, piece);
    }
    if (!FinishWriting(&writer)) std::abort();
  }
  state.SetBytesProcessed(state.iterations() * page.text.size());
}
BENCHMARK(BM_ReadWritePieces)->Arg(0)->Arg(1)->ArgName("crlf");

// The backup copy: the whole page as text.
void BM_CopyText(benchmark::State& state) {
  const PageFile& page = Page(state.range(0) != 0);
  TextReader reader;
  TextWriter writer;
  for (auto _ : state) {
    OpenPage(page.path, &reader);
    OpenNull(&writer);
    if (CopyText(&reader, &writer) != CopyEnd::kDone) std::abort();
    if (!FinishWriting(&writer)) std::abort();
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
  TextWriter writer;
  for (auto _ : state) {
    OpenPage(page.path, &reader);
    OpenNull(&writer);
    EtatReecriture rewrite_state;
    if (RewriteTable(&reader, &writer, param, 8, &rewrite_state) !=
        RewriteEnd::kOk) {
      std::abort();
    }
    if (!FinishWriting(&writer)) std::abort();
  }
  state.SetBytesProcessed(state.iterations() * page.text.size());
}
BENCHMARK(BM_RewriteTable)->Arg(0)->Arg(1)->ArgName("crlf");

// The marker search alone, over every line of the page.
void BM_ContainsBytes(benchmark::State& state) {
  const PageFile& page = Page(false);
  for (auto _ : state) {
    std::string_view rest = page.text;
    std::size_t found = 0;
    while (!rest.empty()) {
      std::size_t lf = rest.find('\n');
      std::size_t n = lf == std::string_view::npos ? rest.size() : lf + 1;
      std::string_view line = rest.substr(0, n);
      found += ContainsBytes(line, "<tr>") + ContainsBytes(line, "</td>") +
               ContainsBytes(line, "son.gif") + ContainsBytes(line, "..///");
      rest.remove_prefix(n);
    }
    benchmark::DoNotOptimize(found);
  }
  state.SetBytesProcessed(state.iterations() * page.text.size());
}
BENCHMARK(BM_ContainsBytes);

}  // namespace

BENCHMARK_MAIN();
