// The three kinds of cell that the rewrite inserts into the page. Each is
// written as fixed pieces of text with the column's values between them,
// written as they are: they come from lines, and hold no line end.
#ifndef BRANTIX_REWRITE_CELLS_H_
#define BRANTIX_REWRITE_CELLS_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "text/text_file.h"

/// Writes the heading cell of the new column. |texte_entete| holds no LF.
bool WriteHeadingCell(TextWriter* page, std::string_view texte_entete);

/// The image-map cells of one rewrite. Their fixed text is made once from
/// the column's values (which hold no LF), line ends as written. A cell is
/// written in three parts: the text up to its link path, with its three
/// numbers, kept from one cell to the next with only the numbers changed;
/// the link path; and the fixed end.
class MapCells {
 public:
  /// Makes the fixed text of the cells from the column's values.
  MapCells(std::string_view nom_icone1, std::string_view nom_icone2,
           std::string_view nom_map, std::string_view nom_fichier_lien);

  /// Writes an image-map cell: two icons sharing map |numero_map|, whose
  /// area links to |chemin_lien| followed by the link file. |chemin_lien|
  /// is text taken from one piece: an LF in it can only be its last byte.
  bool Write(TextWriter* page, std::int32_t numero_map,
             std::string_view chemin_lien);

 private:
  void Build(std::string_view number);

  std::string to_first_number_;   ///< From the cell's start to "#" NomMap.
  std::string to_second_number_;  ///< Between the first two numbers.
  std::string to_third_number_;   ///< Up to the map's name.
  std::string to_link_;           ///< Up to the link path.
  std::string to_end_;            ///< NomFichierLien and the rest.
  std::string head_;              ///< The last cell up to its link path.
  std::size_t numbers_[3] = {};   ///< Where its numbers are.
  std::size_t digits_ = 0;        ///< The length of its number; 0: none.
};

/// Writes a dash cell.
bool WriteDashCell(TextWriter* page);

/// The start of the first map that a column of maps |nom_map| brings:
/// what a page holds once a run added that column.
std::string FirstMapTag(std::string_view nom_map);

/// How far from its start a page is searched for FirstMapTag(): the first
/// map comes with the first rows, and the search costs the run next to
/// nothing.
constexpr std::size_t kFirstMapReach = 64 * 1024;

/// Whether FirstMapTag(|nom_map|) starts in the first kFirstMapReach bytes
/// of |text|.
bool HoldsFirstMap(std::string_view text, std::string_view nom_map);

#endif  // BRANTIX_REWRITE_CELLS_H_
