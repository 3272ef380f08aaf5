// The one value in which a failure that ends a run travels back, from the
// call that failed up to RealMain(): what the program was doing, on which
// name, and why. Every layer returns it; only run/ words it (MessageOf())
// and sets the exit status.
#ifndef BRANTIX_TEXT_FAILURE_H_
#define BRANTIX_TEXT_FAILURE_H_

#include <string>

/// What the program was doing when the run failed. The step alone is the
/// reason where the program, not the system, refused to go on.
enum class FailedStep {
  kNone,  ///< Nothing failed.
  // Any file the user names: the page, or param.txt.
  kOpen,        ///< It cannot be opened: missing, refused, a bad name.
  kNotRegular,  ///< A FIFO, a device or a socket, left unread.
  kRead,        ///< Opening it failed in the system, or reading it did.
  // The page.
  kNameTooLong,      ///< Its name is longer than the program allows.
  kPageLocked,       ///< Another brantix is changing it.
  kPageIsItsBackup,  ///< The page and its backup are one file.
  kPageNotWritable,  ///< This user may not write it.
  kFolderClosed,     ///< No file can be created in |name|, its folder.
  kPageWrite,        ///< Writing its new text failed before it was touched.
  kPageChanged,      ///< Another program changed it during the run.
  kInterrupted,      ///< An interruption arrived before it was touched.
  // The page written in place, and the recovery of a write in place that
  // was stopped: |name| is then the copy kept of the page, if any.
  kInPlaceLeftToFinish,   ///< Stopped after the start was written.
  kInPlaceLeftToUndo,     ///< Stopped before: the next run cuts it back.
  kInPlaceNotFlushedNew,  ///< Cut to its new text, whose flush failed.
  kInPlaceNotFlushedOld,  ///< Cut back to its old text, whose flush failed.
  kEditedDuringWrite,     ///< Another program changed it: its bytes are
                          ///< kept in |name|, or, without one, in the page.
  kEditNotKept,           ///< The same, and no copy could be kept.
  kWriteFinished,         ///< An earlier run's write was finished.
  kWriteUndone,           ///< An earlier run's write was undone.
  kWriteNotBegun,         ///< Its record never reached the disk: the
                          ///< zeros it had added were cut away.
  kNotRecovered,          ///< Finishing or undoing it failed, or refused.
  kNotKept,               ///< No copy could be kept before the recovery.
  kRecoveryRead,          ///< Reading it for the recovery failed.
  kEditedSince,           ///< Changed since the write was stopped.
  // The backup.
  kBackupCreate,         ///< It cannot be created or put in place.
  kBackupWrite,          ///< Writing it failed.
  kBackupHeldByAnother,  ///< Another user's, in a sticky folder.
  // The column parameters.
  kParamUtf16,        ///< param.txt starts with a UTF-16 byte-order mark.
  kParamIncomplete,   ///< param.txt has fewer than six lines.
  kParamLineTooLong,  ///< Line |line| is longer than |capacity| bytes.
  kAnswerTooLong,     ///< An answer is longer than |capacity| bytes.
  kNumberInvalid,     ///< The column number has no digit.
  kNumberOutOfRange,  ///< The column number does not fit 32 bits.
  kInputEnded,        ///< The console input ended before the last answer.
  kStopped,           ///< The user answered no.
  kNoOutput,          ///< A question could not be shown: no message either.
};

/// A failure, or none (step kNone).
struct Failure {
  FailedStep step = FailedStep::kNone;
  /// The name the message gives, as the user typed it or knows it: the
  /// page, its backup, param.txt, or a folder where the user must act.
  std::string name;
  /// The system's error number of the call that failed; 0 when the step
  /// alone is the reason.
  int error = 0;
  int line = 0;      ///< The line of param.txt, from 1.
  int capacity = 0;  ///< The capacity of a field, in bytes.

  bool failed() const { return step != FailedStep::kNone; }
};

/// A failure of |step| on |name|, with the system's error number |error|.
inline Failure FailureOf(FailedStep step, const std::string& name = "",
                         int error = 0) {
  return Failure{step, name, error, 0, 0};
}

#endif  // BRANTIX_TEXT_FAILURE_H_
