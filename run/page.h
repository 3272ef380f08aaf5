// The page's life in a run: opened, checked and locked before anything is
// written, kept open until the end, and replaced whole by its new version.
#ifndef BRANTIX_RUN_PAGE_H_
#define BRANTIX_RUN_PAGE_H_

#include <string>

#include "parameters/param_colonne.h"
#include "run/replacement.h"
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

/// Copies the page to its backup |nom_sauvegarde| and rebuilds it into
/// |fresh|, a file beside it, in one pass over the page: what reading the
/// backup would give is what reading the page gives. The backup is renamed
/// into place; the new page is left complete on the disk, for
/// PutNewPageInPlace(). Returns false with the message in |err|; the page
/// then keeps its old text, and the backup its earlier one.
bool BackUpAndRewrite(Page* page, const std::string& nom_sauvegarde,
                      const ParamColonne& param, Replacement* fresh,
                      std::string* err);

/// Rebuilds the page from its backup |nom_sauvegarde| into |fresh|, a file
/// beside it, left complete on the disk for PutNewPageInPlace(). Returns
/// false with the message in |err|; the page then keeps its old text.
bool RewriteFromBackup(Page* page, const std::string& nom_sauvegarde,
                       const ParamColonne& param, Replacement* fresh,
                       std::string* err);

/// Whether the user may change the page: the rename that replaces it would
/// not ask, so the page is opened for writing, without a change, to ask.
bool MayWritePage(const Page& page, std::string* err);

/// Renames |fresh| over the page, unless the run has been interrupted or
/// the page has changed since it was opened. Returns false with the message
/// in |err|; the page then keeps what it holds.
bool PutNewPageInPlace(Page* page, Replacement* fresh, std::string* err);

#endif  // BRANTIX_RUN_PAGE_H_
