// A file written beside the one it replaces, flushed to the disk, and only
// then renamed over it: whatever happens before the rename, the file keeps
// its old text, and after it, the new text is whole. Used for the backup
// and for the new page.
#ifndef BRANTIX_RUN_REPLACEMENT_H_
#define BRANTIX_RUN_REPLACEMENT_H_

#include <string>

#include "text/file.h"
#include "text/text_file.h"

/// A replacement being written. Its temporary file is removed when the
/// record goes away before PutInPlace() has succeeded.
struct Replacement {
  std::string target;     ///< The name the file will have.
  std::string temporary;  ///< Its name until then; empty once renamed.
  TextWriter writer;

  Replacement() = default;
  Replacement(const Replacement&) = delete;
  Replacement& operator=(const Replacement&) = delete;
  ~Replacement();
};

/// Creates the temporary file in the folder of |target|, with the owner,
/// group and permissions of |like|, and starts writing it. Returns false
/// when it cannot be created or given those permissions.
bool StartReplacement(const std::string& target, const FileInfo& like,
                      Replacement* replacement);

/// Writes out the buffer, flushes the file to the disk and closes it.
/// Returns false when a write, the flush or the close failed.
bool FinishReplacement(Replacement* replacement);

/// Renames the finished file over |target|. |open_target| is the program's
/// own handle on the target, or nullptr. Returns false when the rename
/// failed; the target then keeps its old text.
bool PutInPlace(Replacement* replacement, File* open_target = nullptr);

#endif  // BRANTIX_RUN_REPLACEMENT_H_
