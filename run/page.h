// The page's life in a run: opened, checked and locked before anything is
// written, kept open until the end, read through that one handle, and
// replaced by its new version, by a rename or written in place.
#ifndef BRANTIX_RUN_PAGE_H_
#define BRANTIX_RUN_PAGE_H_

#include <cstdint>
#include <string>

#include "parameters/param_colonne.h"
#include "run/replacement.h"
#include "text/file.h"

/// The page for the length of a run.
struct Page {
  std::string name;       ///< NomDuFichier, as typed.
  std::string real_name;  ///< The file that is replaced, links followed.
  FileInfo info;          ///< The page as the run first opened it.
  File file;              ///< Open on the page, and locked, until the end.
  bool writable = false;  ///< |file| may write the page.
  /// Its times are too recent to tell an edit made during the run: its
  /// bytes are then checked against |sum| before it is replaced.
  bool recent = false;
  std::uint64_t sum = 0;  ///< The checksum of its bytes when it was opened.
};

/// Opens the page |nom_du_fichier| and locks it against another brantix.
/// Refuses a page that is not a regular file, that is locked, or that is
/// the same file as its backup |nom_sauvegarde|. Returns false with the
/// message in |err|; nothing has been created or changed then.
bool OpenPage(const std::string& nom_du_fichier,
              const std::string& nom_sauvegarde, Page* page, std::string* err);

/// Starts |fresh|, the new page's file beside the page, before anything is
/// written: a page that this user may not write, or a folder where no file
/// can be created, is refused here. Returns false with the message in
/// |err|.
bool PrepareNewPage(Page* page, Replacement* fresh, std::string* err);

/// Reads the page once from its start, through the run's own handle. With
/// |backup|, writes the page's text to it and puts it in place as the page's
/// backup |nom_sauvegarde|. With |param|, rebuilds the page into |fresh|,
/// left complete on the disk for PutNewPageInPlace(). Returns false with the
/// message in |err|; the page then keeps its old text, and the backup its
/// earlier one when the failure came before its rename.
bool ReadPage(Page* page, const std::string& nom_sauvegarde,
              Replacement* backup, const ParamColonne* param,
              Replacement* fresh, std::string* err);

/// Puts |fresh| in place of the page, unless the run has been interrupted
/// or the page has changed since it was opened. Renames it when that keeps the
/// page's owner, group, attributes and links; otherwise writes it in place,
/// under a journal. Returns false with the message in |err|.
bool PutNewPageInPlace(Page* page, Replacement* fresh, Replacement* backup,
                       std::string* err);

#endif  // BRANTIX_RUN_PAGE_H_
