#include "parameters/param_file.h"

#include <string>
#include <string_view>
#include <utility>

#include "parameters/number.h"
#include "text/text_file.h"

namespace {

// One line of the file, assembled from its pieces. A line longer than its
// field is given up as soon as it passes the field's capacity, so that a
// line without end is never read to its end.
struct Line {
  std::string value;
  std::size_t size = 0;
};

enum class LineRead { kLine, kEnd, kError };

LineRead ReadLine(TextReader* reader, std::size_t limit, Line* line) {
  line->value.clear();
  line->size = 0;
  std::string_view piece;
  for (;;) {
    PieceResult got = reader->ReadPiece(&piece);
    if (got == PieceResult::kError) return LineRead::kError;
    if (got == PieceResult::kEnd) {
      return line->size > 0 ? LineRead::kLine : LineRead::kEnd;
    }
    bool line_ended = piece.back() == '\n';
    if (line_ended) piece.remove_suffix(1);
    line->size += piece.size();
    if (line->size > limit) return LineRead::kLine;
    line->value.append(piece);
    if (line_ended) return LineRead::kLine;
  }
}

// The problem of a line that could not be read.
bool LineFailed(LineRead read, TextReader& reader, ParamError* err) {
  err->problem = read == LineRead::kError ? ParamProblem::kFileReadError
                                          : ParamProblem::kFileIncomplete;
  if (read == LineRead::kError) err->system_error = reader.file().error();
  return false;
}

// The first line: leading blanks, then the number; the rest of the line is
// read but ignored, and a line without digits gives 0.
LineRead ReadNumberLine(TextReader* reader, ParsedNumber* number) {
  bool leading = true;
  bool empty = true;
  std::string_view piece;
  for (;;) {
    PieceResult got = reader->ReadPiece(&piece);
    if (got == PieceResult::kError) return LineRead::kError;
    if (got == PieceResult::kEnd)
      return empty ? LineRead::kEnd : LineRead::kLine;
    empty = false;
    for (char c : piece) {
      unsigned char byte = static_cast<unsigned char>(c);
      if (leading && byte != '\n' && IsBlank(byte)) continue;
      leading = false;
      if (!AddByte(number, byte)) break;
    }
    if (piece.back() == '\n') return LineRead::kLine;
  }
}

template <std::size_t N>
bool ReadTextLine(TextReader* reader, int line_number, FixedText<N>* text,
                  ParamError* err) {
  Line line;
  LineRead read = ReadLine(reader, N, &line);
  if (read != LineRead::kLine) return LineFailed(read, *reader, err);
  if (line.size > N || !Assign(text, line.value)) {
    err->problem = ParamProblem::kLineTooLong;
    err->line = line_number;
    err->capacity = static_cast<int>(N);
    return false;
  }
  return true;
}

// The start of the file. An editor may begin a UTF-8 file with a byte-order
// mark: one is passed over, so that the first line's number is still read;
// every later byte, another mark included, is part of the lines. A file that
// starts with a UTF-16 mark would give lines of NULs: it is refused.
bool PassByteOrderMark(TextReader* reader, ParamError* err) {
  constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
  constexpr std::string_view kUtf16LittleMark = "\xFF\xFE";
  constexpr std::string_view kUtf16BigMark = "\xFE\xFF";
  bool read = true;
  while (read && reader->View().size() < kUtf8Mark.size() && !reader->AtEnd()) {
    read = reader->ReadMore();
  }
  if (!read) {
    err->problem = ParamProblem::kFileReadError;
    err->system_error = reader->file().error();
    return false;
  }
  const std::string_view start = reader->View();
  if (start.starts_with(kUtf16LittleMark) || start.starts_with(kUtf16BigMark)) {
    err->problem = ParamProblem::kFileUtf16;
    return false;
  }
  if (start.starts_with(kUtf8Mark)) {
    reader->PassTo(reader->Position() + kUtf8Mark.size(), nullptr);
  }
  return true;
}

// Fills |param| from the first six lines that |reader| delivers.
bool ReadParamLines(TextReader* reader, ParamColonne* param, ParamError* err) {
  ParsedNumber number;
  LineRead read = ReadNumberLine(reader, &number);
  if (read != LineRead::kLine) return LineFailed(read, *reader, err);
  if (number.too_large) {
    err->problem = ParamProblem::kNumberOutOfRange;
    return false;
  }
  param->NumeroColonne = number.digit_seen ? SignedValue(number) : 0;
  return ReadTextLine(reader, 2, &param->TexteEntete, err) &&
         ReadTextLine(reader, 3, &param->NomIcone1, err) &&
         ReadTextLine(reader, 4, &param->NomIcone2, err) &&
         ReadTextLine(reader, 5, &param->NomMap, err) &&
         ReadTextLine(reader, 6, &param->NomFichierLien, err);
}

}  // namespace

bool ReadParamFile(const std::string& path, ParamColonne* param,
                   ParamError* err) {
  File file;
  OpenReadResult opened = OpenForReading(path, &file);
  switch (opened) {
    case OpenReadResult::kOk:
      break;
    case OpenReadResult::kCannotOpen:
      err->problem = ParamProblem::kFileMissing;
      return false;
    case OpenReadResult::kIsDirectory:
      err->problem = ParamProblem::kFileReadError;
      return false;
    case OpenReadResult::kNotRegular:
      err->problem = ParamProblem::kFileNotRegular;
      return false;
  }
  TextReader reader(std::move(file), 4096);
  return PassByteOrderMark(&reader, err) && ReadParamLines(&reader, param, err);
}
