// The preview (--dry-run, -n): what a run would insert where, and the traps
// it would fall into, shown before anything is written. The cells come from
// the rewrite itself, told to report them; the page is only read, its lock
// only tried, and no file is created, changed or removed. What a run would
// refuse is found by the run's own checks.
#ifndef BRANTIX_RUN_PREVIEW_H_
#define BRANTIX_RUN_PREVIEW_H_

#include <string>

#include "rewrite/rewrite.h"
#include "text/console.h"

/// Whether |argument| asks for a preview: "--dry-run" or "-n", recognised
/// in any position on the command line.
bool AsksForPreview(const std::string& argument);

/// Shows what a run on |nom_du_fichier| would do, its column taken from
/// param.txt when |from_file|, otherwise asked on |input|, as a run takes
/// it, its link paths by |link_rule|, its markers read by |marker_rule|.
/// Prints each cell as it is found, then
/// the warnings (at most ten lines of each kind), the notes and the total,
/// or the message of what stopped it. Returns the status: 0 with nothing to
/// warn of, 1 with warnings, 2 when a run would refuse or would first put
/// back an unfinished write, -1 on an error or an interruption.
int Preview(const std::string& nom_du_fichier, bool from_file,
            LinkRule link_rule, MarkerRule marker_rule, ConsoleInput* input);

#endif  // BRANTIX_RUN_PREVIEW_H_
