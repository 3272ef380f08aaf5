// Writing the new page over the page itself, for pages that a rename would
// change: another owner, an access list, several links, a file mounted in
// place. Like a database's rollback journal: before the first byte of the
// page is written, a journal beside it says that the page is being written
// and that its backup holds its whole text; the journal goes once the page
// is on the disk. A run that finds the journal of its page puts the backup
// back first.
#ifndef BRANTIX_RUN_IN_PLACE_H_
#define BRANTIX_RUN_IN_PLACE_H_

#include <string>

#include "run/page.h"
#include "run/replacement.h"

/// The journal's name for |page|: in the folder of the file itself, named
/// after its device and inode, so that any name of the page finds it.
std::string JournalName(const Page& page);

/// What a run found of a journal left by an earlier run.
enum class Recovery {
  kNone,      ///< No journal: the run goes on.
  kRestored,  ///< The page was put back from its backup; |err| says so.
  kRefused,   ///< A journal that cannot be trusted or used; |err| says why.
};

/// Looks for the journal of |page| and, when it is one the run can trust
/// (a file of this user or of the page's owner, whose backup is still
/// exactly what it recorded), copies the backup over the page, flushes it
/// and removes the journal.
Recovery RecoverInterruptedRun(Page* page, std::string* err);

/// Copies the finished |fresh| over the page, under the journal, with the
/// complete |backup| to go back to. Returns false with the message in
/// |err|; the page is then as it was, or will be put back by the next run,
/// as the message says.
bool WriteInPlace(Page* page, Replacement* fresh, Replacement* backup,
                  std::string* err);

#endif  // BRANTIX_RUN_IN_PLACE_H_
