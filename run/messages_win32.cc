// The last lines of --help on Windows: the README comes in the zip beside
// brantix.exe.
#include "run/messages.h"

extern const char kMsgHelpMore[] =
    "Noms de fichier en toute langue, chemins de plus de 260 caracteres "
    "acceptes.\n"
    "Plus de details : le fichier README.md, a cote de brantix.exe\n";
