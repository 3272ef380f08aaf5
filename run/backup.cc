#include "run/backup.h"

#include "run/messages.h"
#include "run/replacement.h"

std::string BackupNameOf(const std::string& nom_du_fichier) {
  return nom_du_fichier + ".orig";
}

bool MakeBackup(Page* page, const std::string& nom_sauvegarde,
                std::string* err) {
  Replacement backup;
  if (!StartReplacement(nom_sauvegarde, page->info, &backup)) {
    *err = MsgBackupNotCreated(nom_sauvegarde);
    return false;
  }
  // Every piece is written exactly as read, so the copy is the page with
  // each lone LF made CR LF; CopyText gives those bytes from whole buffers
  // instead of cutting the page into pieces.
  switch (page->reader.CopyText(&backup.writer)) {
    case CopyEnd::kDone:
      break;
    case CopyEnd::kReadError:
      *err = MsgPageReadError(page->name);
      return false;
    case CopyEnd::kWriteError:
      *err = MsgBackupWriteError(nom_sauvegarde);
      return false;
  }
  if (!FinishReplacement(&backup)) {
    *err = MsgBackupWriteError(nom_sauvegarde);
    return false;
  }
  if (!PutInPlace(&backup)) {
    *err = MsgBackupNotCreated(nom_sauvegarde);
    return false;
  }
  return true;
}
