// The last line of --help on POSIX systems: the manual page comes with the
// Debian package.
#include "run/messages.h"

extern const char kMsgHelpMore[] = "Plus de details : man brantix\n";
