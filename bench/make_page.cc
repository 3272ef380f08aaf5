// Writes the benchmark page (see page.h) to standard output:
//
//   brantix_make_page SIZE_IN_BYTES [crlf] > page.htm
//
// The page ends with whole rows and the end of the table, and is at most
// SIZE_IN_BYTES long (and never shorter than its head and end).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench/page.h"

static bool Ecrire(const std::string& s) {
  return std::fwrite(s.data(), 1, s.size(), stdout) == s.size();
}

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("usage: brantix_make_page SIZE_IN_BYTES [crlf]\n", stderr);
    return 2;
  }
  const std::uint64_t taille = std::strtoull(argv[1], nullptr, 10);
  GenerateurPage g;
  if (argc > 2 && std::strcmp(argv[2], "crlf") == 0) g.fin = "\r\n";
  std::string bloc = DebutPage(g);
  const std::string fin = FinPage(g);
  std::uint64_t ecrit = 0;
  std::string rangee;
  for (;;) {
    rangee.clear();
    AjouterRangee(&g, &rangee);
    if (ecrit + bloc.size() + rangee.size() + fin.size() > taille) break;
    bloc += rangee;
    if (bloc.size() >= (1u << 20)) {
      if (!Ecrire(bloc)) return 1;
      ecrit += bloc.size();
      bloc.clear();
    }
  }
  if (!Ecrire(bloc) || !Ecrire(fin)) return 1;
  return std::fflush(stdout) == 0 ? 0 : 1;
}
