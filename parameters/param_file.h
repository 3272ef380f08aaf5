// The parameter file "param.txt": the six answers, one per line.
#ifndef BRANTIX_PARAMETERS_PARAM_FILE_H_
#define BRANTIX_PARAMETERS_PARAM_FILE_H_

#include <string>

#include "parameters/param_colonne.h"
#include "text/failure.h"

/// Name of the parameter file, in the current folder.
inline const char kParamFileName[] = "param.txt";

/// Opens |path| and fills |param| from its first six lines; lines after the
/// sixth are never read, and one UTF-8 byte-order mark at the very start is
/// passed over. Fails when it cannot be opened or read, starts with a
/// UTF-16 byte-order mark, has fewer than six lines, or holds a value that
/// does not fit its field.
Failure ReadParamFile(const std::string& path, ParamColonne* param);

#endif  // BRANTIX_PARAMETERS_PARAM_FILE_H_
