// The parameter file "param.txt": the six answers, one per line.
#ifndef BRANTIX_PARAMETERS_PARAM_FILE_H_
#define BRANTIX_PARAMETERS_PARAM_FILE_H_

#include <string>

#include "parameters/param_colonne.h"
#include "text/text_file.h"

/// Name of the parameter file, in the current folder.
inline const char kParamFileName[] = "param.txt";

/// Opens |path| and fills |param| from its first six lines. Returns false
/// with the message in |err| when it cannot be opened or read, has fewer
/// than six lines, or holds a value that does not fit its field.
bool ReadParamFile(const std::string& path, ParamColonne* param,
                   std::string* err);

/// Fills |param| from the first six lines that |reader| delivers; lines
/// after the sixth are never read. Same failures as above.
bool ReadParamLines(TextReader* reader, ParamColonne* param, std::string* err);

#endif  // BRANTIX_PARAMETERS_PARAM_FILE_H_
