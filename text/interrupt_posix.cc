// Interruptions on POSIX: a handler that only notes the signal. It is
// installed without SA_RESTART, so that a call waiting for input returns.
#include <signal.h>

#include <initializer_list>

#include "text/interrupt.h"

namespace {

volatile sig_atomic_t interrupted = 0;

void Note(int) { interrupted = 1; }

}  // namespace

void WatchInterruptions() {
  struct sigaction action = {};
  action.sa_handler = Note;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
    sigaction(signal_number, &action, nullptr);
  }
}

bool Interrupted() { return interrupted != 0; }
