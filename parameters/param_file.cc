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

// The failure of a line of |path| that could not be read.
Failure LineFailed(LineRead read, TextReader& reader, const std::string& path) {
  return read == LineRead::kError
             ? FailureOf(FailedStep::kRead, path, reader.error())
             : FailureOf(FailedStep::kParamIncomplete);
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
Failure ReadTextLine(TextReader* reader, const std::string& path,
                     int line_number, FixedText<N>* text) {
  Line line;
  LineRead read = ReadLine(reader, N, &line);
  if (read != LineRead::kLine) return LineFailed(read, *reader, path);
  if (line.size > N || !Assign(text, line.value)) {
    Failure failure = FailureOf(FailedStep::kParamLineTooLong);
    failure.line = line_number;
    failure.capacity = static_cast<int>(N);
    return failure;
  }
  return {};
}

// The start of the file. An editor may begin a UTF-8 file with a byte-order
// mark: one is passed over, so that the first line's number is still read;
// every later byte, another mark included, is part of the lines. A file that
// starts with a UTF-16 mark would give lines of NULs: it is refused, and so
// is one saved in UTF-16 without a mark, known by its first two characters,
// each a byte and a NUL, which no line of text starts with (an LF in them
// read as CR LF).
Failure PassByteOrderMark(TextReader* reader, const std::string& path) {
  constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
  constexpr std::string_view kUtf16LittleMark = "\xFF\xFE";
  constexpr std::string_view kUtf16BigMark = "\xFE\xFF";
  bool read = true;
  while (read && reader->View().size() < 5 && !reader->AtEnd()) {
    read = reader->ReadMore();
  }
  if (!read) return FailureOf(FailedStep::kRead, path, reader->error());
  const std::string_view start = reader->View();
  const auto nul = [&](std::size_t i) {
    return i >= start.size() || start[i] == '\0';
  };
  const bool unmarked_utf16 =
      (!nul(0) && nul(1) && !nul(2) &&
       (nul(3) || (start[2] == '\r' && start[3] == '\n' && nul(4)))) ||
      (nul(0) && !nul(1) && nul(2) && !nul(3));
  if (start.starts_with(kUtf16LittleMark) || start.starts_with(kUtf16BigMark) ||
      unmarked_utf16) {
    return FailureOf(FailedStep::kParamUtf16);
  }
  if (start.starts_with(kUtf8Mark)) {
    reader->PassTo(reader->Position() + kUtf8Mark.size(), nullptr);
  }
  return {};
}

// Fills |param| from the first six lines that |reader| delivers from
// |path|.
Failure ReadParamLines(TextReader* reader, const std::string& path,
                       ParamColonne* param) {
  ParsedNumber number;
  LineRead read = ReadNumberLine(reader, &number);
  if (read != LineRead::kLine) return LineFailed(read, *reader, path);
  if (number.too_large) return FailureOf(FailedStep::kNumberOutOfRange);
  param->NumeroColonne = number.digit_seen ? SignedValue(number) : 0;
  Failure failure = ReadTextLine(reader, path, 2, &param->TexteEntete);
  if (!failure.failed()) {
    failure = ReadTextLine(reader, path, 3, &param->NomIcone1);
  }
  if (!failure.failed()) {
    failure = ReadTextLine(reader, path, 4, &param->NomIcone2);
  }
  if (!failure.failed())
    failure = ReadTextLine(reader, path, 5, &param->NomMap);
  if (!failure.failed()) {
    failure = ReadTextLine(reader, path, 6, &param->NomFichierLien);
  }
  return failure;
}

}  // namespace

// Whatever keeps param.txt from opening, it reads "le fichier n'existe
// pas"; a folder in its place is a read error, as reading it would be.
Failure ReadParamFile(const std::string& path, ParamColonne* param) {
  File file;
  const OpenResult opened = OpenForReading(path, &file);
  switch (opened.kind) {
    case OpenReadResult::kOk:
      break;
    case OpenReadResult::kCannotOpen:
      return FailureOf(FailedStep::kOpen, path, opened.error);
    case OpenReadResult::kIsDirectory:
      return FailureOf(FailedStep::kRead, path);
    case OpenReadResult::kNotRegular:
      return FailureOf(FailedStep::kNotRegular, path);
  }
  TextReader reader(std::move(file), 4096);
  Failure failure = PassByteOrderMark(&reader, path);
  if (!failure.failed()) failure = ReadParamLines(&reader, path, param);
  return failure;
}
