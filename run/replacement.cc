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
CallResult CreateTemporary(const Folder& folder, const char* suffix,
                           std::string* name, File* file) {
  CallResult created;
  for (int attempt = 0; attempt < 1000; ++attempt) {
    *name = folder.path() + "brantix-" + RandomPart() + suffix;
    created = CreateExclusiveIn(folder, *name, file);
    if (created) return created;
    if (!NameTaken(created.error)) break;
  }
  name->clear();
  return created;
}

Replacement::~Replacement() {
  if (temporary.empty()) return;
  writer.Close();
  (void)RemoveFile(*folder, temporary);
}

CallResult StartReplacement(const Folder& folder, const std::string& target,
                            const FileInfo& like, File* like_file,
                            Replacement* replacement) {
  File file;
  replacement->folder = &folder;
  replacement->target = target;
  CallResult result =
      CreateTemporary(folder, ".tmp", &replacement->temporary, &file);
  if (!result) return result;
  result = CopyOwnerAndMode(like, &file, &replacement->same_owner);
  // Attributes that cannot be copied only keep the page from a rename.
  if (result && like_file != nullptr) {
    replacement->same_attributes =
        static_cast<bool>(CopyAttributes(like_file, &file));
  }
  replacement->writer.Start(std::move(file));
  // It is flushed to the disk before its rename: start early, while the
  // program still has work to do. A file only copied from never goes to
  // the disk (RenameKeepsThePage()).
  if (replacement->renamed) replacement->writer.FlushBehind();
  return result;
}

CallResult FinishReplacement(Replacement* replacement) {
  return replacement->writer.FinishToDisk(replacement->renamed);
}

CallResult PutInPlace(Replacement* replacement, File* open_target) {
  const CallResult renamed =
      RenameReplacing(*replacement->folder, replacement->temporary,
                      replacement->target, open_target);
  if (renamed) replacement->temporary.clear();
  return renamed;
}
