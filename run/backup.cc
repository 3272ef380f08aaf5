#include "run/backup.h"

#include <utility>

#include "run/messages.h"

namespace {

// Whether |nom_sauvegarde| belongs to another user in a folder where only a
// file's owner may replace it (the sticky bit, as in /tmp): a rename over
// it is then refused to this user whatever the folder's permissions.
bool HeldByAnother(const std::string& nom_sauvegarde) {
  FileInfo backup, folder;
  bool exists = false, folder_exists = false;
  return FilesHaveOwners() && GetNameInfo(nom_sauvegarde, &backup, &exists) &&
         exists && backup.owner != CurrentUser() &&
         GetNameInfo(FolderName(nom_sauvegarde), &folder, &folder_exists) &&
         folder_exists && (folder.mode & 01000) != 0 &&
         folder.owner != CurrentUser();
}

// Opens a second handle on the page for its reader, and starts the
// backup's file beside its name, with the page's owner, group, permissions
// and attributes.
bool Start(Page* page, const std::string& nom_sauvegarde, Replacement* backup,
           File* source, std::string* err) {
  if (!SecondHandle(page, source, err)) return false;
  if (!StartReplacement(nom_sauvegarde, page->info, &page->file, backup)) {
    *err = MsgBackupNotCreated(nom_sauvegarde, KindOf(backup->error));
    return false;
  }
  return true;
}

// Ends the backup once the page has been read to its end (|read| false on a
// read error): finished on the disk and renamed over the earlier one.
bool Finish(Page* page, const std::string& nom_sauvegarde, bool read,
            TextReader* reader, Replacement* backup, std::string* err) {
  if (backup->writer.failed()) {
    *err = MsgBackupWriteError(nom_sauvegarde, KindOf(backup->writer.error()));
  } else if (!read) {
    *err = MsgPageReadError(page->name, KindOf(reader->file().error()));
  } else if (!FinishReplacement(backup)) {
    *err = MsgBackupWriteError(nom_sauvegarde, KindOf(backup->error));
  } else if (!PutInPlace(backup)) {
    *err = HeldByAnother(nom_sauvegarde)
               ? MsgBackupHeldByAnother(nom_sauvegarde, page->name)
               : MsgBackupNotCreated(nom_sauvegarde, KindOf(backup->error));
  } else {
    return true;
  }
  return false;
}

}  // namespace

std::string BackupNameOf(const std::string& nom_du_fichier) {
  return nom_du_fichier + ".orig";
}

bool BackUpPage(Page* page, const std::string& nom_sauvegarde,
                Replacement* backup, std::string* err) {
  File source;
  if (!Start(page, nom_sauvegarde, backup, &source, err)) return false;
  TextReader reader(std::move(source));
  const bool read = reader.CopyText(&backup->writer) != TextEnd::kReadError;
  return Finish(page, nom_sauvegarde, read, &reader, backup, err);
}

bool BackUpAndRebuildPage(Page* page, const std::string& nom_sauvegarde,
                          const ParamColonne& param, Replacement* backup,
                          Replacement* fresh, std::string* err) {
  File source;
  if (!Start(page, nom_sauvegarde, backup, &source, err)) return false;
  TextReader reader(std::move(source));
  reader.CopyWhileReading(&backup->writer);
  // When the new page cannot be written, the page is still read to its end
  // so that the backup is complete.
  const Rebuilt rebuilt = Rebuild(&reader, *page, param, fresh);
  const bool read = rebuilt != Rebuilt::kReadError && reader.SkipToEnd();
  reader.CopyWhileReading(nullptr);
  if (!Finish(page, nom_sauvegarde, read, &reader, backup, err)) return false;
  if (rebuilt == Rebuilt::kOk) return true;
  *err = MsgRebuildError(rebuilt, &reader, *page, *fresh);
  return false;
}
