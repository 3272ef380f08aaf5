// Interruptions: Ctrl-C, Ctrl-\, a kill or a closed terminal or console.
// They do not end the process at once: they are noted, the file calls in
// progress fail, and the run sequence removes what it had begun and says
// so. Two implementations, chosen by the build: interrupt_posix.cc and
// interrupt_win32.cc.
#ifndef BRANTIX_TEXT_INTERRUPT_H_
#define BRANTIX_TEXT_INTERRUPT_H_

/// Starts noting interruptions (SIGINT, SIGQUIT, SIGTERM and SIGHUP on
/// POSIX, except those ignored when the program started, as under nohup;
/// Ctrl-C, Ctrl-Break and the console's closing on Windows).
void WatchInterruptions();

/// Whether an interruption has arrived since WatchInterruptions(), and is
/// not held.
bool Interrupted();

/// Holds interruptions while the page is written in place: from then on
/// they are still noted, but no file call fails for them, so that the page
/// is never left half-written.
void HoldInterruptions();

#endif  // BRANTIX_TEXT_INTERRUPT_H_
