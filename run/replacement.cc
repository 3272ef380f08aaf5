#include "run/replacement.h"

#include <cstdint>
#include <utility>

namespace {

// splitmix64: spreads the bits of |x| over the whole word.
std::uint64_t Mix(std::uint64_t x) {
  x += 0x9E3779B97F4A7C15ULL;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
  return x ^ (x >> 31);
}

// A part of a temporary name that another run, even one with the same
// process number (pid 1 in a container), is unlikely to pick at once.
std::string RandomPart() {
  static std::uint64_t count = 0;
  int here = 0;
  std::uint64_t seed = static_cast<std::uint64_t>(TimeNow()) ^
                       (static_cast<std::uint64_t>(ProcessNumber()) << 40) ^
                       reinterpret_cast<std::uintptr_t>(&here) ^ ++count * 977;
  std::uint64_t value = Mix(seed);
  static const char kDigits[] = "0123456789abcdefghijklmnopqrstuv";
  std::string part;
  for (int i = 0; i < 12; ++i, value >>= 5) part += kDigits[value & 31];
  return part;
}

}  // namespace

// The file gets a short name of its own, so that it fits even beside a page
// whose name is as long as allowed, and says where it comes from should the
// process be killed before it is renamed or removed. A name taken, by a
// leftover of a killed run say, is only a reason to draw again.
bool CreateTemporary(const std::string& folder, const char* suffix,
                     std::string* name, File* file) {
  for (int attempt = 0; attempt < 1000; ++attempt) {
    *name = folder + "brantix-" + RandomPart() + suffix;
    if (CreateExclusive(*name, file)) return true;
    if (!NameTaken(file->error())) break;
  }
  name->clear();
  return false;
}

Replacement::~Replacement() {
  if (temporary.empty()) return;
  writer.Close();
  CloseFile(&reread);
  (void)RemoveFile(temporary);
}

bool StartReplacement(const std::string& target, const FileInfo& like,
                      File* like_file, Replacement* replacement) {
  File file;
  replacement->target = target;
  if (!CreateTemporary(FolderPart(target), ".tmp", &replacement->temporary,
                       &file)) {
    replacement->error = file.error();
    return false;
  }
  bool ok = CopyOwnerAndMode(like, &file, &replacement->same_owner);
  if (ok && !Duplicate(file, &replacement->reread)) {
    file.NoteError(replacement->reread.error());
    ok = false;
  }
  if (ok && like_file != nullptr) {
    replacement->same_attributes = CopyAttributes(like_file, &file);
  }
  if (!ok) replacement->error = file.error();
  replacement->writer.Start(std::move(file));
  // It is flushed to the disk before its rename: start early, while the
  // program still has work to do. A file only copied from never goes to
  // the disk (RenameKeepsThePage()).
  if (replacement->renamed) replacement->writer.FlushBehind();
  return ok;
}

bool FinishReplacement(Replacement* replacement) {
  if (replacement->writer.FinishToDisk(replacement->renamed)) return true;
  replacement->error = replacement->writer.error();
  return false;
}

bool PutInPlace(Replacement* replacement, File* open_target) {
  const NameResult renamed =
      RenameReplacing(replacement->temporary, replacement->target, open_target);
  if (!renamed) {
    replacement->error = renamed.error;
    return false;
  }
  replacement->temporary.clear();
  return true;
}
