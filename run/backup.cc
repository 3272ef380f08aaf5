#include "run/backup.h"

#include <utility>

namespace {

// Opens a second handle on the page for its reader, and starts the
// backup's file beside its name, with the page's owner, group, permissions
// and attributes.
Failure Start(Page* page, const std::string& nom_sauvegarde,
              Replacement* backup, File* source) {
  const Failure failure = SecondHandle(page, source);
  if (failure.failed()) return failure;
  const CallResult started = StartReplacement(
      TypedFolder(*page), nom_sauvegarde, page->info, &page->file, backup);
  if (!started) {
    return FailureOf(FailedStep::kBackupCreate, nom_sauvegarde, started.error);
  }
  return {};
}

// Ends the backup once the page has been read to its end (|read| false on a
// read error): finished on the disk and renamed over the earlier one.
Failure Finish(Page* page, const std::string& nom_sauvegarde, bool read,
               TextReader* reader, Replacement* backup) {
  if (backup->writer.failed()) {
    return FailureOf(FailedStep::kBackupWrite, nom_sauvegarde,
                     backup->writer.error());
  }
  if (!read) return FailureOf(FailedStep::kRead, page->name, reader->error());
  const CallResult finished = FinishReplacement(backup);
  if (!finished) {
    return FailureOf(FailedStep::kBackupWrite, nom_sauvegarde, finished.error);
  }
  const CallResult renamed = PutInPlace(backup);
  if (!renamed) {
    // A rename refused over a backup that became another user's since the
    // run checked it: that is the reason.
    const Failure held = CheckBackupHeld(*page, nom_sauvegarde);
    if (held.failed()) return held;
    return FailureOf(FailedStep::kBackupCreate, nom_sauvegarde, renamed.error);
  }
  page->backup_written = true;
  return {};
}

}  // namespace

std::string BackupNameOf(const std::string& nom_du_fichier) {
  return nom_du_fichier + ".orig";
}

Failure BackUpPage(Page* page, const std::string& nom_sauvegarde,
                   Replacement* backup) {
  File source;
  const Failure failure = Start(page, nom_sauvegarde, backup, &source);
  if (failure.failed()) return failure;
  TextReader reader(std::move(source));
  const bool read = reader.CopyText(&backup->writer) != TextEnd::kReadError;
  return Finish(page, nom_sauvegarde, read, &reader, backup);
}

Failure BackUpAndRebuildPage(Page* page, const std::string& nom_sauvegarde,
                             const ParamColonne& param, Replacement* backup,
                             Replacement* fresh) {
  File source;
  Failure failure = Start(page, nom_sauvegarde, backup, &source);
  if (failure.failed()) return failure;
  TextReader reader(std::move(source));
  reader.CopyWhileReading(&backup->writer);
  // When the new page cannot be written, the page is still read to its end
  // so that the backup is complete.
  const Failure rebuilt = Rebuild(&reader, page, param, fresh);
  const bool read = rebuilt.step != FailedStep::kRead && reader.SkipToEnd();
  reader.CopyWhileReading(nullptr);
  failure = Finish(page, nom_sauvegarde, read, &reader, backup);
  return failure.failed() ? failure : rebuilt;
}
