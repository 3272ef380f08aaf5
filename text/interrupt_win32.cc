// Interruptions on Windows: the console calls the handler on a thread of
// its own. The handler notes the event and cancels the main thread's
// waiting read, so that the run sequence can clean up. When the console is
// closing, the process ends as soon as the handler returns: the handler
// then waits, and the main thread ends the process once it has cleaned up.
#include <windows.h>

#include <atomic>

#include "text/interrupt.h"

namespace {

std::atomic<bool> interrupted{false};
std::atomic<bool> held{false};
HANDLE main_thread = nullptr;

BOOL WINAPI Note(DWORD event) {
  interrupted = true;
  if (main_thread != nullptr && !held) CancelSynchronousIo(main_thread);
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT ||
      event == CTRL_SHUTDOWN_EVENT) {
    Sleep(4000);
  }
  return TRUE;
}

}  // namespace

void WatchInterruptions() {
  DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(),
                  &main_thread, 0, FALSE, DUPLICATE_SAME_ACCESS);
  SetConsoleCtrlHandler(Note, TRUE);
}

bool Interrupted() { return interrupted && !held; }

void HoldInterruptions() { held = true; }
