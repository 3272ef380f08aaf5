// Putting the new page in place: by a rename where that keeps the page as
// it was; otherwise written over the page itself, for pages that a rename
// would change: another owner, an access list, several links, a file mounted in
// place. Like a database's rollback journal: before the first byte of the
// page is written, a record of the write is kept on the page itself (its
// mark; or, where files carry no mark, in a journal beside it), naming the
// backup that holds the page's whole text and the new text's file; the
// record goes once the page is whole on the disk. A run that finds the
// record of an unfinished write on its page puts the backup back first,
// when the page holds what that write can have left.
#ifndef BRANTIX_RUN_IN_PLACE_H_
#define BRANTIX_RUN_IN_PLACE_H_

#include <string>

#include "run/page.h"
#include "run/replacement.h"

/// What a run found of an earlier run's unfinished write on its page.
enum class Recovery {
  kNone,      ///< No unfinished write: the run goes on.
  kRestored,  ///< The page was put back from its backup; |err| says so.
  kRefused,   ///< A record that cannot be trusted or used; |err| says why.
};

/// Looks for the record of an unfinished write on |page|. When only a user
/// who could write the page can have left it, its backup is still the file
/// and the text it recorded, and the page holds what the interrupted write
/// can have left, keeps the page's bytes in a new file beside it, copies the
/// backup over the page and removes the record. |nom_sauvegarde| is this
/// run's backup name, for the messages.
Recovery RecoverInterruptedRun(Page* page, const std::string& nom_sauvegarde,
                               std::string* err);

/// Whether the page, open read-only in |file| with |info|, whose real name
/// is |real_name|, carries the record of an unfinished write of its own:
/// a run would first put it back. Reads the record only.
bool HasUnfinishedWrite(File* file, const FileInfo& info,
                        const std::string& real_name);

/// Puts the finished |fresh| in place of the page, unless the run has been
/// interrupted or the page has changed since it was opened: by a rename
/// when that keeps the page's owner, group, attributes and links;
/// otherwise copied over the page under a record of the write, once the
/// complete |backup| is checked to hold the page's text. Returns false with
/// the message in |err|, which says what the page holds then.
bool ReplacePage(Page* page, Replacement* fresh, Replacement* backup,
                 std::string* err);

#endif  // BRANTIX_RUN_IN_PLACE_H_
