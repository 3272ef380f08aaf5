// Writes the benchmark page (see page.h) to standard output:
//
//   brantix_make_page SIZE_IN_BYTES [lf|crlf] [long|short] > page.htm
//
// LF line ends and the long-line layout unless told otherwise. The page
// ends with whole rows and the end of the table, and is at most
// SIZE_IN_BYTES long (and never shorter than its head and end).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench/page.h"

static bool WriteOut(const std::string& s) {
  return std::fwrite(s.data(), 1, s.size(), stdout) == s.size();
}

static int Usage() {
  std::fputs("usage: brantix_make_page SIZE_IN_BYTES [lf|crlf] [long|short]\n",
             stderr);
  return 2;
}

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  char* end = nullptr;
  const std::uint64_t size = std::strtoull(argv[1], &end, 10);
  if (end == argv[1] || *end != '\0') return Usage();
  PageGenerator g;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "lf") == 0) {
      g.line_end = "\n";
    } else if (std::strcmp(argv[i], "crlf") == 0) {
      g.line_end = "\r\n";
    } else if (std::strcmp(argv[i], "long") == 0) {
      g.layout = PageLayout::kLongLines;
    } else if (std::strcmp(argv[i], "short") == 0) {
      g.layout = PageLayout::kShortLines;
    } else {
      return Usage();
    }
  }
  std::string block = PageHead(g);
  const std::string page_end = PageEnd(g);
  std::uint64_t written = 0;
  std::string row;
  for (;;) {
    row.clear();
    AddRow(&g, &row);
    if (written + block.size() + row.size() + page_end.size() > size) break;
    block += row;
    if (block.size() >= (1u << 20)) {
      if (!WriteOut(block)) return 1;
      written += block.size();
      block.clear();
    }
  }
  if (!WriteOut(block) || !WriteOut(page_end)) return 1;
  return std::fflush(stdout) == 0 ? 0 : 1;
}
