// The three kinds of cell that the rewrite inserts into the page, each
// written from fixed printf-style formats. User texts are only ever
// arguments of a format, never part of one.
#ifndef BRANTIX_REWRITE_CELLS_H_
#define BRANTIX_REWRITE_CELLS_H_

#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "text/text_file.h"

/// An argument of a format: a text for "%s" or a number for "%d".
struct ArgFormat {
  std::string_view texte;
  std::int32_t nombre = 0;
  bool est_nombre = false;
};

inline ArgFormat Arg(std::string_view texte) { return {texte, 0, false}; }
inline ArgFormat Arg(std::int32_t nombre) { return {{}, nombre, true}; }

/// Writes |format| to |page|: "%s" and "%d" take the next argument, "%%"
/// gives one "%", every other byte is written as it is (through the text
/// writer, so each LF becomes CR LF). Returns false when a write failed.
bool EcrireFormat(TextWriter* page, std::string_view format,
                  std::initializer_list<ArgFormat> args);

/// Writes the heading cell of the new column.
bool EcrireCelluleEntete(TextWriter* page, std::string_view texte_entete);

/// Writes an image-map cell: two icons sharing map |numero_map|, whose area
/// links to |chemin_lien| followed by |nom_fichier_lien|.
bool EcrireCelluleMap(TextWriter* page, std::string_view nom_icone1,
                      std::string_view nom_icone2, std::string_view nom_map,
                      std::int32_t numero_map, std::string_view chemin_lien,
                      std::string_view nom_fichier_lien);

/// Writes a dash cell.
bool EcrireCelluleTiret(TextWriter* page);

#endif  // BRANTIX_REWRITE_CELLS_H_
