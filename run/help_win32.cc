// The last line of --help on Windows, which has no manual pages: the zip
// holds the README beside brantix.exe.
#include "run/messages.h"

extern const char kMsgHelpMore[] =
    "Plus de details : le fichier README.md, a cote de brantix.exe\n";
