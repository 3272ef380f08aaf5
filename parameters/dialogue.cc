#include "parameters/dialogue.h"

#include <string>

#include "parameters/number.h"
#include "text/interrupt.h"

// Reads a number like "%d": blanks and line ends first, then a sign and
// digits. Leaves the byte after the number unread (it is dropped anyway).
static bool ReadColumnNumber(ConsoleInput* in, std::int32_t* column,
                             ParamError* err) {
  int byte = NextInputByte(in);
  while (byte != -1 && IsBlank(byte)) byte = NextInputByte(in);
  ParsedNumber number;
  while (byte != -1 && AddByte(&number, static_cast<unsigned char>(byte))) {
    byte = NextInputByte(in);
  }
  if (!number.digit_seen) {
    err->problem = byte == -1 && !number.sign_seen
                       ? ParamProblem::kInputEnded
                       : ParamProblem::kNumberInvalid;
    return false;
  }
  if (number.too_large) {
    err->problem = ParamProblem::kNumberOutOfRange;
    return false;
  }
  *column = SignedValue(number);
  return true;
}

// Reads a whole line without its line end (LF or CR LF) into |text|.
template <std::size_t N>
static bool ReadLine(ConsoleInput* in, FixedText<N>* text, ParamError* err) {
  std::string line;
  int byte = NextInputByte(in);
  if (byte == -1) {
    err->problem = ParamProblem::kInputEnded;
    return false;
  }
  // Keep one byte beyond the capacity, plus room for a CR before the LF.
  while (byte != -1 && byte != '\n') {
    if (line.size() > N + 1) break;
    line += static_cast<char>(byte);
    byte = NextInputByte(in);
  }
  if (byte == '\n' && !line.empty() && line.back() == '\r') line.pop_back();
  if (!Assign(text, line)) {
    err->problem = ParamProblem::kAnswerTooLong;
    err->capacity = static_cast<int>(N);
    return false;
  }
  return true;
}

// Shows |prompt|. A question that cannot be shown (standard output closed
// or full) is not asked: false, and no message could be shown either. Nor
// after an interruption: the run is stopping.
static bool Ask(const char* prompt, ParamError* err) {
  if (!Interrupted() && ConsoleWrite(prompt)) return true;
  err->problem = ParamProblem::kNoOutput;
  return false;
}

template <std::size_t N>
static bool Question(ConsoleInput* in, const char* prompt, FixedText<N>* text,
                     ParamError* err) {
  if (!Ask(prompt, err) || !ReadLine(in, text, err)) return false;
  DropReceivedInput(in);
  return true;
}

bool AskParameters(ConsoleInput* in, ParamColonne* param, ParamError* err) {
  if (!Ask("\nNumero de colonne : ", err) ||
      !ReadColumnNumber(in, &param->NumeroColonne, err)) {
    return false;
  }
  DropReceivedInput(in);
  return Question(in, "\nTexte d'entete : ", &param->TexteEntete, err) &&
         Question(in, "Nom icone 1: ", &param->NomIcone1, err) &&
         Question(in, "Nom icone 2: ", &param->NomIcone2, err) &&
         Question(in, "Nom de la MAP: ", &param->NomMap, err) &&
         Question(in, "Nom Fichier pour le lien : ", &param->NomFichierLien,
                  err);
}
