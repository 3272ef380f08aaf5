// The text reader and writer on any bytes, read in any sizes:
// the pieces are exactly the cuts of the translated text, and writing every
// piece back gives the input with only each lone LF made CR LF. A failing
// read is reported, after pieces that are a true beginning of the text.
// The whole-buffer copy, alone or after some pieces, gives the same bytes;
// so does the copy made while the pieces are read, and the pieces of the
// copy are the pieces of the input: one pass over a page can write its
// backup and rewrite it from the pieces its backup would give.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <vector>

#include "fuzz/expect.h"
#include "fuzz/memory_files.h"
#include "tests/text_model.h"
#include "text/checksum.h"
#include "text/text_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  FuzzedDataProvider fdp(data, size);
  ResetMemory();
  MemoryFiles& m = Memory();
  const std::size_t capacity =
      fdp.ConsumeBool() ? fdp.ConsumeIntegralInRange<std::size_t>(1, 2048)
                        : kTextBufferSize;
  const std::size_t out_capacity =
      fdp.ConsumeIntegralInRange<std::size_t>(2, 1100);
  for (int i = fdp.ConsumeIntegralInRange(0, 8); i > 0; --i) {
    m.read_sizes.push_back(fdp.ConsumeIntegralInRange<std::size_t>(1, 1100));
  }
  if (fdp.ConsumeBool()) m.fail_read = fdp.ConsumeIntegralInRange(0, 40);
  // How many pieces to read before copying the rest whole; -1: no copy.
  const int pieces_before_copy = fdp.ConsumeIntegralInRange(-1, 3);
  const bool copy_while_reading = pieces_before_copy < 0 && fdp.ConsumeBool();
  const std::string input = fdp.ConsumeRemainingBytesAsString();
  m.files["in"] = input;

  File in;
  EXPECT(OpenForReading("in", &in));
  TextReader reader(std::move(in), capacity);
  std::string out, copied;
  TextWriter writer(&out, out_capacity);
  TextWriter copy(&copied, out_capacity);
  if (copy_while_reading) reader.CopyWhileReading(&copy);
  // Both ways of the checksum, of the bytes read in any sizes and of those
  // written: the checksum of the bytes added at once.
  const SumVersion version =
      input.size() % 2 ? SumVersion::kPairs : SumVersion::kFourChains;
  Checksum read_sum(version), written_sum(version);
  reader.SumWhileReading(&read_sum);
  writer.SumWhileWriting(&written_sum);

  const std::vector<std::string> expected = PiecesOf(CrLfToLf(input));
  std::size_t n = 0;
  std::string_view piece;
  for (;;) {
    if (pieces_before_copy >= 0 &&
        n == static_cast<std::size_t>(pieces_before_copy)) {
      TextEnd end = reader.CopyText(&writer);
      if (end == TextEnd::kReadError) {
        EXPECT(m.fail_read >= 0 &&
               m.reads > static_cast<std::size_t>(m.fail_read));
        return 0;
      }
      EXPECT(end == TextEnd::kOk);
      n = expected.size();
      break;
    }
    PieceResult got = reader.ReadPiece(&piece);
    if (got == PieceResult::kError) {
      // Only the injected failure, and the pieces so far were right.
      EXPECT(m.fail_read >= 0 &&
             m.reads > static_cast<std::size_t>(m.fail_read));
      return 0;
    }
    if (got == PieceResult::kEnd) break;
    EXPECT(n < expected.size());
    EXPECT(piece == expected[n]);
    ++n;
    EXPECT(writer.WriteText(piece));
  }
  EXPECT(n == expected.size());
  // Once at the end, the reader stays there.
  EXPECT(reader.ReadPiece(&piece) == PieceResult::kEnd);
  EXPECT(writer.WriteOutBuffer());
  EXPECT(out == LoneLfToCrLf(input));
  Checksum whole_in(version), whole_out(version);
  whole_in.Add(input.data(), input.size());
  whole_out.Add(out.data(), out.size());
  EXPECT(read_sum.Value() == whole_in.Value());
  EXPECT(written_sum.Value() == whole_out.Value());
  if (copy_while_reading) {
    EXPECT(copy.WriteOutBuffer());
    EXPECT(copied == LoneLfToCrLf(input));
    EXPECT(PiecesOf(CrLfToLf(copied)) == expected);
  }
  return 0;
}
