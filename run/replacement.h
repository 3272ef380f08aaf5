// A file written beside the one it replaces, flushed to the disk, and only
// then put in place: whatever happens before, the file keeps its old text,
// and after, the new text is whole. Used for the backup and the new page.
#ifndef BRANTIX_RUN_REPLACEMENT_H_
#define BRANTIX_RUN_REPLACEMENT_H_

#include <string>

#include "text/file.h"
#include "text/text_file.h"

/// A replacement being written. Its temporary file is removed when the
/// record goes away before PutInPlace() has succeeded.
struct Replacement {
  const Folder* folder = nullptr;  ///< Held: where the file is made.
  std::string target;              ///< The name the file will have there.
  std::string temporary;           ///< Its name until then; empty once renamed.
  TextWriter writer;
  bool same_owner = false;       ///< It has the owner and group it copies.
  bool same_attributes = false;  ///< And its extended attributes.
  /// It will be renamed into place: finished, it is flushed to the disk
  /// first. A page written in place keeps nothing in it (Discard()).
  bool renamed = true;

  Replacement() = default;
  Replacement(const Replacement&) = delete;
  Replacement& operator=(const Replacement&) = delete;
  ~Replacement();
};

/// Creates a file of the program's own in |folder|, under the fresh name
/// "brantix-", 12 random letters and digits, then |suffix|, exclusively and
/// never through a link; |name| is the folder's path followed by that name.
/// Fails with the error of the creation that failed, |name| then empty.
CallResult CreateTemporary(const Folder& folder, const char* suffix,
                           std::string* name, File* file);

/// Creates the temporary file in |folder|, which holds |target| and stays
/// open while |replacement| lives, under a name of its own, gives it the owner,
/// group and permissions of |like|, and the extended attributes of |like_file|
/// when not nullptr, and starts writing it. Fails when it cannot be created or
/// given those permissions; |temporary| is empty when it could not be
/// created. A failure to copy the
/// attributes only leaves |same_attributes| false.
CallResult StartReplacement(const Folder& folder, const std::string& target,
                            const FileInfo& like, File* like_file,
                            Replacement* replacement);

/// Writes out the buffer, flushes the file to the disk and closes the
/// writer's handle. Fails with the error of the write, the flush or the
/// close that failed.
CallResult FinishReplacement(Replacement* replacement);

/// Renames the finished file over |target|. |open_target| is the program's
/// own handle on the target, or nullptr. When the rename fails, the target
/// keeps its old text.
CallResult PutInPlace(Replacement* replacement, File* open_target = nullptr);

#endif  // BRANTIX_RUN_REPLACEMENT_H_
