// The run sequence: the arguments; the page opened, checked and locked; an
// earlier interrupted run put right; the backup, the column parameters and
// the new page, in the order of the chosen mode; the confirmation; the new
// page put in place.
#ifndef BRANTIX_RUN_RUN_H_
#define BRANTIX_RUN_RUN_H_

/// Runs the program on its command line. Prints the message of any early
/// end and returns the exit status: -1 for every early end, 0 once the new
/// page is in place.
int RealMain(int argc, char** argv);

#endif  // BRANTIX_RUN_RUN_H_
