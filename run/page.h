// The page's life in a run: opened, checked and locked before anything is
// written, kept open until the end, and replaced whole by its new version.
#ifndef BRANTIX_RUN_PAGE_H_
#define BRANTIX_RUN_PAGE_H_

#include <string>

#include "parameters/param_colonne.h"
#include "text/file.h"
#include "text/text_file.h"

/// The page for the length of a run.
struct Page {
  std::string name;       ///< NomDuFichier, as typed.
  std::string real_name;  ///< The file that is replaced, links followed.
  FileInfo info;          ///< The page as the run first opened it.
  TextReader reader;      ///< Open on the page, and locked, until the end.
};

/// Opens the page |nom_du_fichier| for reading and locks it against another
/// brantix. Refuses a page that is not a regular file, that is locked, or
/// that is the same file as its backup |nom_sauvegarde|. Returns false with
/// the message in |err|; nothing has been created or changed then.
bool OpenPage(const std::string& nom_du_fichier,
              const std::string& nom_sauvegarde, Page* page, std::string* err);

/// Rebuilds the page from its backup |nom_sauvegarde| into a file beside
/// it, and renames that over the page once it is complete on the disk.
/// Refuses before writing anything when the page may not be written, and
/// before the rename when the page has changed since it was opened or the
/// run has been interrupted. Returns false with the message in |err|; the
/// page then keeps its old text and no temporary file is left.
bool ReplacePage(Page* page, const std::string& nom_sauvegarde,
                 const ParamColonne& param, std::string* err);

#endif  // BRANTIX_RUN_PAGE_H_
