#include "run/replacement.h"

#include <utility>

// The temporary file gets a short name of its own, so that it fits even
// beside a page whose name is as long as allowed, and says where it comes
// from should the process be killed before it is renamed or removed.
static bool CreateTemporary(const std::string& folder, std::string* name,
                            File* file) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    *name = folder + "brantix-" + std::to_string(ProcessNumber()) + "-" +
            std::to_string(attempt) + ".tmp";
    if (CreateExclusive(*name, file)) return true;
  }
  name->clear();
  return false;
}

Replacement::~Replacement() {
  if (temporary.empty()) return;
  writer.Close();
  RemoveFile(temporary);
}

bool StartReplacement(const std::string& target, const FileInfo& like,
                      Replacement* replacement) {
  File file;
  replacement->target = target;
  if (!CreateTemporary(FolderPart(target), &replacement->temporary, &file)) {
    return false;
  }
  bool ok = CopyOwnerAndMode(like, file);
  replacement->writer.Start(std::move(file));
  // It is flushed to the disk before its rename: start early, while the
  // program still has work to do.
  replacement->writer.FlushBehind();
  return ok;
}

bool FinishReplacement(Replacement* replacement) {
  return replacement->writer.FinishToDisk();
}

bool PutInPlace(Replacement* replacement, File* open_target) {
  if (!RenameReplacing(replacement->temporary, replacement->target,
                       open_target)) {
    return false;
  }
  replacement->temporary.clear();
  return true;
}
