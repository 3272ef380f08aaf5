// The three kinds of cell that the rewrite inserts into the page. Each is
// written as fixed pieces of text with the values between them, so the
// text of a cell cannot disagree with its values; user texts are only ever
// values, written as they are.
#ifndef BRANTIX_REWRITE_CELLS_H_
#define BRANTIX_REWRITE_CELLS_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "text/text_file.h"

/// Writes the heading cell of the new column.
bool WriteHeadingCell(TextWriter* page, std::string_view texte_entete);

/// The text of an image-map cell around its map numbers and its link path,
/// made once per rewrite from the column's values, line ends as written.
struct MapCellText {
  std::string to_first_number;   ///< From the cell's start to "#" NomMap.
  std::string to_second_number;  ///< Between the first two numbers.
  std::string to_third_number;   ///< Up to the map's name.
  std::string to_link;           ///< Up to the link path.
  std::string to_end;            ///< NomFichierLien and the rest.
};

/// Makes the fixed text of the image-map cells of a rewrite.
MapCellText PrepareMapCell(std::string_view nom_icone1,
                           std::string_view nom_icone2,
                           std::string_view nom_map,
                           std::string_view nom_fichier_lien);

/// Writes an image-map cell: two icons sharing map |numero_map|, whose area
/// links to |chemin_lien| followed by the link file.
bool WriteMapCell(TextWriter* page, const MapCellText& text,
                  std::int32_t numero_map, std::string_view chemin_lien);

/// Writes a dash cell.
bool WriteDashCell(TextWriter* page);

#endif  // BRANTIX_REWRITE_CELLS_H_
