#include "run/page.h"

#include <utility>

#include "rewrite/rewrite.h"
#include "run/messages.h"
#include "text/interrupt.h"

namespace {

// A page is what it was when it was opened while it is the same file, of
// the same size, last changed at the same moment.
bool Unchanged(const FileInfo& before, const FileInfo& now) {
  return SameFile(before, now) && before.size == now.size &&
         before.modified == now.modified;
}

bool CheckBackupName(const Page& page, const std::string& nom_sauvegarde,
                     std::string* err) {
  FileInfo backup;
  bool exists = false;
  if (!GetNameInfo(nom_sauvegarde, &backup, &exists)) {
    *err = MsgBackupNotCreated(nom_sauvegarde);
    return false;
  }
  if (exists && SameFile(page.info, backup)) {
    *err = MsgPageIsItsBackup(page.name, nom_sauvegarde);
    return false;
  }
  return true;
}

// The last checks, just before the rename.
bool MayReplace(const Page& page, std::string* err) {
  if (Interrupted()) {
    *err = MsgInterruption(page.name);
    return false;
  }
  FileInfo now;
  bool exists = false;
  if (!GetNameInfo(page.real_name, &now, &exists) || !exists ||
      !Unchanged(page.info, now)) {
    *err = MsgPageChanged(page.name);
    return false;
  }
  return true;
}

}  // namespace

bool OpenPage(const std::string& nom_du_fichier,
              const std::string& nom_sauvegarde, Page* page, std::string* err) {
  page->name = nom_du_fichier;
  File file;
  OpenReadResult opened = OpenForReading(nom_du_fichier, &file);
  if (opened != OpenReadResult::kOk) {
    *err =
        MsgNotOpened(opened, nom_du_fichier, MsgPageReadError(nom_du_fichier));
    return false;
  }
  // A lock that the file system cannot give does not stop the run: only
  // another brantix holding it does.
  if (LockExclusive(file) == LockResult::kBusy) {
    *err = MsgPageLocked(nom_du_fichier);
    return false;
  }
  if (!GetFileInfo(file, &page->info) ||
      !RealName(nom_du_fichier, &page->real_name)) {
    *err = MsgPageReadError(nom_du_fichier);
    return false;
  }
  page->reader.Start(std::move(file));
  return CheckBackupName(*page, nom_sauvegarde, err);
}

namespace {

// Rebuilds the page from |source| into |fresh| and finishes |fresh| on the
// disk. |read_error| is the message of a read error of |source|.
bool RewriteInto(TextReader* source, const Page& page,
                 const ParamColonne& param, Replacement* fresh,
                 const std::string& read_error, std::string* err) {
  if (!StartReplacement(page.real_name, page.info, fresh)) {
    *err = MsgPageNotWritable(page.name);
    return false;
  }
  EtatReecriture state;
  switch (
      RewriteTable(source, &fresh->writer, param, page.name.size(), &state)) {
    case RewriteEnd::kOk:
      break;
    case RewriteEnd::kReadError:
      *err = read_error;
      return false;
    case RewriteEnd::kWriteError:
      *err = MsgPageWriteError(page.name);
      return false;
  }
  if (!FinishReplacement(fresh)) {
    *err = MsgPageWriteError(page.name);
    return false;
  }
  return true;
}

}  // namespace

bool BackUpAndRewrite(Page* page, const std::string& nom_sauvegarde,
                      const ParamColonne& param, Replacement* fresh,
                      std::string* err) {
  Replacement backup;
  if (!StartReplacement(nom_sauvegarde, page->info, &backup)) {
    *err = MsgBackupNotCreated(nom_sauvegarde);
    return false;
  }
  page->reader.CopyWhileReading(&backup.writer);
  // When the new page cannot be written, the page is still read to its end
  // so that the backup is complete, as it would be in two passes.
  std::string page_err;
  bool read = true;
  if (!StartReplacement(page->real_name, page->info, fresh)) {
    page_err = MsgPageNotWritable(page->name);
  } else {
    EtatReecriture state;
    switch (RewriteTable(&page->reader, &fresh->writer, param,
                         page->name.size(), &state)) {
      case RewriteEnd::kOk:
        if (!FinishReplacement(fresh)) page_err = MsgPageWriteError(page->name);
        break;
      case RewriteEnd::kReadError:
        read = false;
        break;
      case RewriteEnd::kWriteError:
        page_err = MsgPageWriteError(page->name);
        break;
    }
  }
  read = read && page->reader.SkipToEnd();
  page->reader.CopyWhileReading(nullptr);
  if (backup.writer.failed()) {
    *err = MsgBackupWriteError(nom_sauvegarde);
    return false;
  }
  if (!read) {
    *err = MsgPageReadError(page->name);
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
  *err = page_err;
  return page_err.empty();
}

bool RewriteFromBackup(Page* page, const std::string& nom_sauvegarde,
                       const ParamColonne& param, Replacement* fresh,
                       std::string* err) {
  File source;
  if (OpenForReading(nom_sauvegarde, &source) != OpenReadResult::kOk) {
    *err = kMsgNoSuchFile;
    return false;
  }
  TextReader backup(std::move(source));
  if (!RewriteInto(&backup, *page, param, fresh,
                   MsgBackupReadError(nom_sauvegarde, page->name), err)) {
    return false;
  }
  if (!backup.Close()) {
    *err = MsgBackupCloseError(nom_sauvegarde);
    return false;
  }
  return true;
}

bool MayWritePage(const Page& page, std::string* err) {
  if (CanOpenForWriting(page.name)) return true;
  *err = MsgPageNotWritable(page.name);
  return false;
}

bool PutNewPageInPlace(Page* page, Replacement* fresh, std::string* err) {
  if (!MayReplace(*page, err)) return false;
  if (!PutInPlace(fresh, &page->reader.file())) {
    *err = MsgPageWriteError(page->name);
    return false;
  }
  return true;
}
