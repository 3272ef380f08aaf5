#include "rewrite/rewrite.h"

#include "rewrite/rewrite_walk.h"

TextEnd RewriteTable(TextReader* source, TextWriter* page,
                     const ParamColonne& param, std::size_t name_length,
                     EtatReecriture* state) {
  NoObserver none;
  return RewriteTableObserved(source, page, param, name_length, state, &none);
}
