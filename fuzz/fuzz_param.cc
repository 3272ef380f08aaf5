// The parameter-file reader on any bytes, read in any sizes, against a plain
// model of the file: a UTF-16 byte-order mark refused and one UTF-8 mark
// dropped at the start, then six lines, the first read as "%d" reads a
// number, the others kept whole when they fit their field.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <vector>

#include "fuzz/expect.h"
#include "fuzz/memory_files.h"
#include "parameters/param_file.h"
#include "tests/text_model.h"
#include "text/failure.h"

namespace {

struct Model {
  bool ok = false;
  Failure err;  ///< The failure expected, when not |ok|.
  std::int32_t column = 0;
  std::vector<std::string> texts;
};

Model Expected(const std::string& input) {
  Model model;
  // Without a mark, UTF-16 shows in its first two characters, each a byte
  // and a NUL, in the text as read (an LF as CR LF).
  const std::string t = LoneLfToCrLf(input.substr(0, 5)) + std::string(5, '\0');
  const bool little =
      t[0] != 0 && t[1] == 0 && t[2] != 0 &&
      (t[3] == 0 || (t[2] == '\r' && t[3] == '\n' && t[4] == 0));
  const bool big = t[0] == 0 && t[1] != 0 && t[2] == 0 && t[3] != 0;
  if (input.starts_with("\xFF\xFE") || input.starts_with("\xFE\xFF") ||
      little || big) {
    model.err = FailureOf(FailedStep::kParamUtf16);
    return model;
  }
  const std::string text =
      CrLfToLf(input.starts_with("\xEF\xBB\xBF") ? input.substr(3) : input);
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < text.size() && lines.size() < 6) {
    std::size_t lf = text.find('\n', at);
    if (lf == std::string::npos) lf = text.size();
    lines.push_back(text.substr(at, lf - at));
    at = lf + 1;
  }
  if (lines.empty()) {
    model.err = FailureOf(FailedStep::kParamIncomplete);
    return model;
  }
  // The number: blanks skipped, an optional sign, then digits.
  const std::string& first = lines[0];
  std::size_t i = 0;
  while (i < first.size() &&
         (first[i] == ' ' || (first[i] >= '\t' && first[i] <= '\r'))) {
    ++i;
  }
  bool negative = false;
  if (i < first.size() && (first[i] == '-' || first[i] == '+')) {
    negative = first[i++] == '-';
  }
  long long value = 0;
  bool too_big = false;
  for (; i < first.size() && first[i] >= '0' && first[i] <= '9'; ++i) {
    value = value * 10 + (first[i] - '0');
    if (value > (negative ? 2147483648LL : 2147483647LL)) {
      too_big = true;
      value = 1LL << 32;
    }
  }
  if (too_big) {
    model.err = FailureOf(FailedStep::kNumberOutOfRange);
    return model;
  }
  model.column = static_cast<std::int32_t>(negative ? -value : value);
  const std::size_t capacity[] = {251, 27, 27, 27, 27};
  for (int k = 1; k < 6; ++k) {
    if (static_cast<std::size_t>(k) >= lines.size()) {
      model.err = FailureOf(FailedStep::kParamIncomplete);
      return model;
    }
    if (lines[k].size() > capacity[k - 1]) {
      model.err = FailureOf(FailedStep::kParamLineTooLong);
      model.err.line = k + 1;
      model.err.capacity = static_cast<int>(capacity[k - 1]);
      return model;
    }
    model.texts.push_back(lines[k]);
  }
  model.ok = true;
  return model;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  FuzzedDataProvider fdp(data, size);
  ResetMemory();
  MemoryFiles& m = Memory();
  for (int i = fdp.ConsumeIntegralInRange(0, 4); i > 0; --i) {
    m.read_sizes.push_back(fdp.ConsumeIntegralInRange<std::size_t>(1, 700));
  }
  const std::string input = fdp.ConsumeRemainingBytesAsString();
  m.files["param.txt"] = input;

  ParamColonne param;
  const Failure failure = ReadParamFile("param.txt", &param);
  const bool ok = !failure.failed();
  const Model model = Expected(input);
  EXPECT(ok == model.ok);
  if (!ok) {
    EXPECT(failure.step == model.err.step);
    EXPECT(failure.line == model.err.line);
    EXPECT(failure.capacity == model.err.capacity);
    return 0;
  }
  EXPECT(param.NumeroColonne == model.column);
  EXPECT(param.TexteEntete.view() == model.texts[0]);
  EXPECT(param.NomIcone1.view() == model.texts[1]);
  EXPECT(param.NomIcone2.view() == model.texts[2]);
  EXPECT(param.NomMap.view() == model.texts[3]);
  EXPECT(param.NomFichierLien.view() == model.texts[4]);
  return 0;
}
