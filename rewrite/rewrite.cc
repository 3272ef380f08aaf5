#include "rewrite/rewrite.h"

#include "rewrite/rewrite_walk.h"

TextEnd RewriteTable(TextReader* source, TextWriter* page,
                     const ParamColonne& param, std::size_t name_length,
                     EtatReecriture* state, LinkRule link_rule,
                     MarkerRule marker_rule) {
  NoObserver none;
  return RewriteTableObserved(source, page, param, name_length, state, &none,
                              link_rule, marker_rule);
}
