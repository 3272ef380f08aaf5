// Interruptions: Ctrl-C, a kill or a closed terminal or console. They do not
// end the process at once: they are noted, the file calls in progress fail,
// and the run sequence removes what it had begun and says so. Two
// implementations, chosen by the build: interrupt_posix.cc and
// interrupt_win32.cc.
#ifndef BRANTIX_TEXT_INTERRUPT_H_
#define BRANTIX_TEXT_INTERRUPT_H_

/// Starts noting interruptions (SIGINT, SIGTERM and SIGHUP on POSIX; Ctrl-C,
/// Ctrl-Break and the console's closing on Windows).
void WatchInterruptions();

/// Whether an interruption has arrived since WatchInterruptions().
bool Interrupted();

#endif  // BRANTIX_TEXT_INTERRUPT_H_
