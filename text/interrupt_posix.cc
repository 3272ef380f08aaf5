// Interruptions on POSIX: a handler that only notes the signal. It is
// installed without SA_RESTART, so that a call waiting for input returns.
#include <signal.h>

#include <initializer_list>

#include "text/interrupt.h"
#include "text/os_calls.h"

namespace {

volatile sig_atomic_t interrupted = 0;
bool held = false;

void Note(int) { interrupted = 1; }

}  // namespace

void WatchInterruptions() {
  struct sigaction action = {};
  action.sa_handler = Note;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;
  for (int signal_number : {SIGINT, SIGQUIT, SIGTERM, SIGHUP}) {
    // A signal ignored from the start (nohup, a shell's background job)
    // was meant not to stop the run: it stays ignored.
    struct sigaction before;
    if (OsSigaction(signal_number, nullptr, &before) == 0 &&
        before.sa_handler == SIG_IGN) {
      continue;
    }
    (void)OsSigaction(signal_number, &action, nullptr);
  }
}

bool Interrupted() { return interrupted != 0 && !held; }

void HoldInterruptions() { held = true; }
