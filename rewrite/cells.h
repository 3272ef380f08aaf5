// The three kinds of cell that the rewrite inserts into the page. Each is
// written as fixed pieces of text with the values between them, so the
// text of a cell cannot disagree with its values; user texts are only ever
// values, written as they are.
#ifndef BRANTIX_REWRITE_CELLS_H_
#define BRANTIX_REWRITE_CELLS_H_

#include <cstdint>
#include <string_view>

#include "text/text_file.h"

/// Writes the heading cell of the new column.
bool WriteHeadingCell(TextWriter* page, std::string_view texte_entete);

/// Writes an image-map cell: two icons sharing map |numero_map|, whose area
/// links to |chemin_lien| followed by |nom_fichier_lien|.
bool WriteMapCell(TextWriter* page, std::string_view nom_icone1,
                  std::string_view nom_icone2, std::string_view nom_map,
                  std::int32_t numero_map, std::string_view chemin_lien,
                  std::string_view nom_fichier_lien);

/// Writes a dash cell.
bool WriteDashCell(TextWriter* page);

#endif  // BRANTIX_REWRITE_CELLS_H_
