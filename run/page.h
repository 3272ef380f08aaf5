// The page's life in a run: opened, checked and locked before anything is
// written, kept open until the end, read through that one handle, rebuilt
// into its new file, and checked once more before it is replaced
// (in_place.h).
#ifndef BRANTIX_RUN_PAGE_H_
#define BRANTIX_RUN_PAGE_H_

#include <cstdint>
#include <string>
#include <vector>

#include "parameters/param_colonne.h"
#include "rewrite/rewrite.h"
#include "run/replacement.h"
#include "text/failure.h"
#include "text/file.h"
#include "text/text_file.h"

/// The page for the length of a run.
struct Page {
  std::string name;       ///< NomDuFichier, as typed.
  std::string real_name;  ///< The file that is replaced, links followed.
  /// Held from the start: the folder that holds the file replaced, where
  /// the page was read and its new file is made.
  Folder folder;
  /// Held where the page's name as typed is a link: the folder of that
  /// name, where its backup and the copies go. Not open where it is
  /// |folder|: TypedFolder() gives the one that is.
  Folder typed_folder;
  FileInfo info;          ///< The page as the run first opened it.
  File file;              ///< Open on the page, and locked, until the end.
  bool writable = false;  ///< |file| may write the page.
  /// Its times are too recent to tell an edit made during the run: its
  /// bytes are then checked against |sum| before it is replaced.
  bool recent = false;
  std::uint64_t sum = 0;  ///< The checksum of its bytes when it was opened.
  /// How the image-map cells' link path is taken (--link-folder).
  LinkRule link_rule = LinkRule::kNameLength;
  /// How the table's markers are read (--html).
  MarkerRule marker_rule = MarkerRule::kExact;
  /// The column asked, once the page is rebuilt: a write in place rebuilds
  /// it once more, straight into the page.
  ParamColonne param;
  /// For a page written in place, once the rebuild read it whole: the
  /// checksum of the bytes it read, and their count.
  bool read_summed = false;
  std::uint64_t read_sum = 0;
  std::uint64_t read_size = 0;
  /// What the rebuild found, for a word after the run: whether it inserted
  /// a cell, and the name of this column's first map when the page already
  /// held it (empty otherwise).
  bool inserted_cell = false;
  std::string first_map_there;
  /// The backup was put in place: it holds the page as the run read it.
  bool backup_written = false;
};

/// The folder of the page's name as typed.
inline const Folder& TypedFolder(const Page& page) {
  return page.typed_folder.is_open() ? page.typed_folder : page.folder;
}

/// What a check does with the page's lock.
enum class LockUse {
  kTake,  ///< A run takes it on the page's handle and keeps it.
  kTry,   ///< A preview tries it on a handle of its own and lets it go.
};

/// Opens the folder of the page |nom_du_fichier| and the page in it, holds
/// the folder of the file it leads to where the name is a link, gives
/// |page| its real name and its information, and, for a run (kTake), locks
/// it against another brantix and sums its bytes where its times are too
/// recent. Refuses a page that is not a regular file, and, for a run, one
/// that is locked. The page is changed (kPageChanged) where the folder of
/// its real name no longer holds the file opened: a link was switched.
Failure OpenPageFile(const std::string& nom_du_fichier, Page* page,
                     LockUse lock);

/// OpenPageFile() for a run, which also refuses a page that is the same
/// file as its backup |nom_sauvegarde|. Nothing has been created or changed
/// when it fails.
Failure OpenPage(const std::string& nom_du_fichier,
                 const std::string& nom_sauvegarde, Page* page);

// The checks that make a run refuse the page before anything is written.
// A run makes each where it acts on it; a preview makes them all
// (RunRefusals()) to say what a run would refuse. Each gives a failure
// whose step alone is the reason (IsRefusal()), or none.

/// Whether another brantix holds the page's lock (kPageLocked).
Failure CheckLock(Page* page, LockUse lock);
/// Whether the page and its backup |nom_sauvegarde| are one file
/// (kPageIsItsBackup); a failure of the system when it cannot be told.
Failure CheckBackupName(const Page& page, const std::string& nom_sauvegarde);
/// Whether this user may write the page (kPageNotWritable).
Failure CheckWritable(const Page& page);
/// Whether the system refuses this user a new file in the page's folder
/// (kFolderClosed); a failure to ask is left to the creation itself.
Failure CheckFolder(const Page& page);
/// Whether |nom_sauvegarde| belongs to another user in a folder where
/// only a file's owner may replace it, as /tmp (kBackupHeldByAnother): a
/// rename over it is then refused to this user.
Failure CheckBackupHeld(const Page& page, const std::string& nom_sauvegarde);

/// Every refusal of a run that the checks above find on the opened |page|,
/// in the order a run meets them, and the failures of the system that kept
/// one from being made.
std::vector<Failure> RunRefusals(Page* page, const std::string& nom_sauvegarde);

/// Whether |failure| is a refusal of the program's own: a run refuses the
/// page there, before anything is written.
bool IsRefusal(const Failure& failure);

/// The failure of the page |nom_du_fichier| that OpenForReading() or
/// OpenWritableIfAllowed() did not open (|result|), with the system's error
/// number |error| of the open: missing or refused, it is not there for the
/// program; a folder, or a failure of the system, is a read error.
Failure PageNotOpened(OpenReadResult result, const std::string& nom_du_fichier,
                      int error);

/// Starts |fresh|, the new page's file beside the page, before anything is
/// written: a page that this user may not write, or a folder where no file
/// can be created, is refused here. For a page written in place, the file
/// only counts the new text's bytes (Discard()).
Failure PrepareNewPage(Page* page, Replacement* fresh);

/// Whether renaming |fresh| over the page keeps it as it was: it gets the
/// page's owner, group and attributes, and the page has one name. The new
/// page is otherwise written over the page itself (in_place.h).
bool RenameKeepsThePage(const Page& page, const Replacement& fresh);

/// The folder of |path| as a user would name it: "." for none.
std::string FolderName(const std::string& path);

/// Opens a second handle on the page, at its start, in |source|, for a
/// reader: the run keeps its own, and with it the lock.
Failure SecondHandle(Page* page, File* source);

/// Rebuilds the page, read by |reader|, into |fresh| with the column
/// |param|, and leaves |fresh| complete on the disk. Fails with a read
/// error of the page or a write error of the new page.
Failure Rebuild(TextReader* reader, Page* page, const ParamColonne& param,
                Replacement* fresh);

/// Reads the page again from its start and rebuilds it into |fresh|, once
/// the column was asked at the console. The page keeps its old text when it
/// fails.
Failure RebuildPage(Page* page, const ParamColonne& param, Replacement* fresh);

/// Reads the page's first |length| bytes again, on a handle that shares the
/// page's position, and rebuilds them with the column |page->param| into
/// |out|, which may write the page itself past them (TextWriter::StartAt()).
/// Does not finish |out|. Fails with a read error of the page, or with |out|'s
/// write error as a write error of the page.
Failure RebuildInto(Page* page, std::uint64_t length, TextWriter* out);

/// The page's last checks, just before it is replaced: no interruption
/// came, and it is still the file the run read, with the same size and
/// times, and, for a rename (|renamed|), bytes, where its times are too
/// recent to tell. A write in place checks the old text's bytes itself,
/// just before it overwrites them.
Failure StillTheSamePage(Page* page, bool renamed);

/// Where a refused rename had to let the page go (Windows), opens it again,
/// locked, and only if it is still the file the run read.
bool ReopenPage(Page* page);

#endif  // BRANTIX_RUN_PAGE_H_
