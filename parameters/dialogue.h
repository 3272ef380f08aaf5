// The console dialogue that asks for the new column.
#ifndef BRANTIX_PARAMETERS_DIALOGUE_H_
#define BRANTIX_PARAMETERS_DIALOGUE_H_

#include "parameters/param_colonne.h"
#include "text/console.h"
#include "text/failure.h"

/// Asks the six questions at the console and fills |param|. After each
/// answer, whatever else was received is dropped, so each question starts
/// from fresh input. Fails when input ends before the last answer, the
/// column number is not a number or out of range, an answer is longer than
/// its field, or a question could not be shown.
Failure AskParameters(ConsoleInput* input, ParamColonne* param);

#endif  // BRANTIX_PARAMETERS_DIALOGUE_H_
