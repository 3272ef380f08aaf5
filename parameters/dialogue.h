// The console dialogue that asks for the new column.
#ifndef BRANTIX_PARAMETERS_DIALOGUE_H_
#define BRANTIX_PARAMETERS_DIALOGUE_H_

#include <string>

#include "parameters/param_colonne.h"
#include "text/console.h"

/// Asks the six questions at the console and fills |param|. After each
/// answer, whatever else was received is dropped, so each question starts
/// from fresh input. Returns false with the message in |err| when input
/// ends before the last answer, the column number is not a number or out of
/// range, or an answer is longer than its field; with an empty |err| when a
/// prompt could not be written.
bool AskParameters(ConsoleInput* input, ParamColonne* param, std::string* err);

#endif  // BRANTIX_PARAMETERS_DIALOGUE_H_
