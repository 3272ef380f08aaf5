// The entry on POSIX systems, and of the test builds that link their own
// platform calls: the arguments are bytes, used as they are. Windows has
// its own entry, main_win32.cc.
#include "run/run.h"

int main(int argc, char** argv) { return RealMain(argc, argv); }
