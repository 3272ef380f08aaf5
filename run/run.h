// The run sequence: arguments, backup, column parameters, confirmation and
// rewrite, in that order.
#ifndef BRANTIX_RUN_RUN_H_
#define BRANTIX_RUN_RUN_H_

/// Runs the program on its command line. Prints the message of any early
/// end and returns the exit status: -1 for every early end, otherwise the
/// result of the rewrite (0 when all went well).
int RealMain(int argc, char** argv);

#endif  // BRANTIX_RUN_RUN_H_
