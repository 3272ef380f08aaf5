#include "parameters/dialogue.h"

#include <string>

#include "parameters/number.h"
#include "parameters/prompts.h"
#include "text/interrupt.h"

// Reads a number like "%d": blanks and line ends first, then a sign and
// digits. Leaves the byte after the number unread (it is dropped anyway).
static Failure ReadColumnNumber(ConsoleInput* in, std::int32_t* column) {
  int byte = NextInputByte(in);
  while (byte != -1 && IsBlank(byte)) byte = NextInputByte(in);
  ParsedNumber number;
  while (byte != -1 && AddByte(&number, static_cast<unsigned char>(byte))) {
    byte = NextInputByte(in);
  }
  if (!number.digit_seen) {
    return FailureOf(byte == -1 && !number.sign_seen
                         ? FailedStep::kInputEnded
                         : FailedStep::kNumberInvalid);
  }
  if (number.too_large) return FailureOf(FailedStep::kNumberOutOfRange);
  *column = SignedValue(number);
  return {};
}

// Reads a whole line without its line end (LF or CR LF) into |text|.
template <std::size_t N>
static Failure ReadLine(ConsoleInput* in, FixedText<N>* text) {
  std::string line;
  int byte = NextInputByte(in);
  if (byte == -1) return FailureOf(FailedStep::kInputEnded);
  // Keep one byte beyond the capacity, plus room for a CR before the LF.
  while (byte != -1 && byte != '\n') {
    if (line.size() > N + 1) break;
    line += static_cast<char>(byte);
    byte = NextInputByte(in);
  }
  if (byte == '\n' && !line.empty() && line.back() == '\r') line.pop_back();
  if (!Assign(text, line)) {
    Failure failure = FailureOf(FailedStep::kAnswerTooLong);
    failure.capacity = static_cast<int>(N);
    return failure;
  }
  return {};
}

// Shows |prompt|. A question that cannot be shown (standard output closed
// or full) is not asked: it fails, and no message could be shown either.
// Nor after an interruption: the run is stopping.
static Failure Ask(const char* prompt) {
  if (!Interrupted() && ConsoleWrite(prompt)) return {};
  return FailureOf(FailedStep::kNoOutput);
}

template <std::size_t N>
static Failure Question(ConsoleInput* in, const char* prompt,
                        FixedText<N>* text) {
  Failure failure = Ask(prompt);
  if (!failure.failed()) failure = ReadLine(in, text);
  if (!failure.failed()) DropReceivedInput(in);
  return failure;
}

Failure AskParameters(ConsoleInput* in, ParamColonne* param) {
  Failure failure = Ask(kPromptNumeroColonne);
  if (!failure.failed()) failure = ReadColumnNumber(in, &param->NumeroColonne);
  if (failure.failed()) return failure;
  DropReceivedInput(in);
  failure = Question(in, kPromptTexteEntete, &param->TexteEntete);
  if (!failure.failed()) {
    failure = Question(in, kPromptNomIcone1, &param->NomIcone1);
  }
  if (!failure.failed()) {
    failure = Question(in, kPromptNomIcone2, &param->NomIcone2);
  }
  if (!failure.failed()) failure = Question(in, kPromptNomMap, &param->NomMap);
  if (!failure.failed()) {
    failure = Question(in, kPromptNomFichierLien, &param->NomFichierLien);
  }
  return failure;
}
