// What went wrong while the column parameters were read. run/ words it.
#ifndef BRANTIX_PARAMETERS_PARAM_ERROR_H_
#define BRANTIX_PARAMETERS_PARAM_ERROR_H_

/// Why no ParamColonne could be filled.
enum class ParamProblem {
  kNone,
  kNoOutput,          ///< A question could not be shown: no message.
  kInputEnded,        ///< The console input ended before the last answer.
  kNumberInvalid,     ///< The column number has no digit.
  kNumberOutOfRange,  ///< The column number does not fit 32 bits.
  kAnswerTooLong,     ///< An answer longer than its field (|capacity|).
  kFileMissing,       ///< param.txt cannot be opened.
  kFileNotRegular,    ///< param.txt is a FIFO, a device...
  kFileReadError,     ///< param.txt is a folder, or a read failed.
  kFileUtf16,         ///< param.txt starts with a UTF-16 byte-order mark.
  kFileIncomplete,    ///< param.txt has fewer than six lines.
  kLineTooLong,       ///< Line |line| of param.txt is longer than |capacity|.
};

/// The problem, with what its message names.
struct ParamError {
  ParamProblem problem = ParamProblem::kNone;
  int line = 0;          ///< The line of param.txt, from 1.
  int capacity = 0;      ///< The field's capacity, in bytes.
  int system_error = 0;  ///< The system's error number of a failed read.
};

#endif  // BRANTIX_PARAMETERS_PARAM_ERROR_H_
