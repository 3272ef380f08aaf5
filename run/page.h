// The page's life in a run: opened, checked and locked before anything is
// written, kept open until the end, read through that one handle, rebuilt
// into its new file, and checked once more before it is replaced
// (in_place.h).
#ifndef BRANTIX_RUN_PAGE_H_
#define BRANTIX_RUN_PAGE_H_

#include <cstdint>
#include <string>

#include "parameters/param_colonne.h"
#include "rewrite/rewrite.h"
#include "run/replacement.h"
#include "text/file.h"
#include "text/text_file.h"

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
  /// How the image-map cells' link path is taken (--link-folder).
  LinkRule link_rule = LinkRule::kNameLength;
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

/// The folder of |path| as a user would name it: "." for none.
std::string FolderName(const std::string& path);

/// Opens a second handle on the page, at its start, in |source|, for a
/// reader: the run keeps its own, and with it the lock.
bool SecondHandle(Page* page, File* source, std::string* err);

/// How a rebuild of the page into its new file ended.
enum class Rebuilt { kOk, kReadError, kWriteError };

/// Rebuilds the page, read by |reader|, into |fresh| with the column
/// |param|, and leaves |fresh| complete on the disk. A write error is in
/// |fresh|'s error, a read error in the reader's file.
Rebuilt Rebuild(TextReader* reader, const Page& page, const ParamColonne& param,
                Replacement* fresh);

/// The message of a rebuild that did not end with kOk.
std::string MsgRebuildError(Rebuilt rebuilt, TextReader* reader,
                            const Page& page, const Replacement& fresh);

/// Reads the page again from its start and rebuilds it into |fresh|, once
/// the column was asked at the console. Returns false with the message in
/// |err|; the page keeps its old text.
bool RebuildPage(Page* page, const ParamColonne& param, Replacement* fresh,
                 std::string* err);

/// The page's last checks, just before it is replaced: no interruption
/// came, and it is still the file the run read, with the same size and
/// times (and bytes, where its times are too recent to tell). Returns false
/// with the message in |err|.
bool StillTheSamePage(Page* page, std::string* err);

/// Where a refused rename had to let the page go (Windows), opens it again,
/// locked, and only if it is still the file the run read.
bool ReopenPage(Page* page);

#endif  // BRANTIX_RUN_PAGE_H_
