// The table rewrite: the page rebuilt from its backup, piece by piece, with
// a new cell after the chosen number of closed cells of each row.
#ifndef BRANTIX_REWRITE_REWRITE_H_
#define BRANTIX_REWRITE_REWRITE_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "parameters/param_colonne.h"
#include "text/text_file.h"

/// The state of one rewrite.
struct EtatReecriture {
  bool EnteteFaite = false;          ///< The heading cell has been written.
  std::int32_t CompteCellules = 0;   ///< Cells closed so far in this row.
  bool SonVu = false;                ///< "son.gif" seen in this row's scan.
  std::int32_t NumeroMap = 0;        ///< Image-map cells written so far.
  Texte<511> CheminLien;             ///< Link path; empty until one is seen.
};

/// How the rewrite loop ended.
enum class FinReecriture { kOk, kErreurLecture, kErreurEcriture };

/// Copies every piece of |sauvegarde| to |page| and inserts the new cells.
/// |longueur_nom| is the byte length of the page name, which bounds the link
/// path. Stops at the first read or write error. Does not finish |page|.
FinReecriture Reecrire(TextReader* sauvegarde, TextWriter* page,
                       const ParamColonne& param, std::size_t longueur_nom,
                       EtatReecriture* etat);

/// Rewrites the page |nom_du_fichier| from its backup |nom_sauvegarde|.
/// Returns the run's exit status: 0 when done and the backup closed well,
/// -1 otherwise with the message in |err|. When the rewrite fails once the
/// page has been written to, the page is put back from the backup.
int ReecrirePage(const std::string& nom_du_fichier,
                 const std::string& nom_sauvegarde, const ParamColonne& param,
                 std::string* err);

#endif  // BRANTIX_REWRITE_REWRITE_H_
