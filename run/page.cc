#include "run/page.h"

#include <utility>

#include "rewrite/rewrite.h"
#include "run/messages.h"
#include "run/replacement.h"
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
    *err = MsgSauvegardeImpossible(nom_sauvegarde);
    return false;
  }
  if (exists && SameFile(page.info, backup)) {
    *err = MsgPageEtSauvegardeConfondues(page.name, nom_sauvegarde);
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
    *err = MsgPageModifiee(page.name);
    return false;
  }
  return true;
}

}  // namespace

bool OpenPage(const std::string& nom_du_fichier,
              const std::string& nom_sauvegarde, Page* page, std::string* err) {
  page->name = nom_du_fichier;
  File file;
  switch (OpenForReading(nom_du_fichier, &file)) {
    case OpenReadResult::kOk:
      break;
    case OpenReadResult::kCannotOpen:
      *err = kMsgFichierInexistant;
      return false;
    case OpenReadResult::kIsDirectory:
      *err = MsgLecturePage(nom_du_fichier);
      return false;
    case OpenReadResult::kNotRegular:
      *err = MsgPasUnFichier(nom_du_fichier);
      return false;
  }
  // A lock that the file system cannot give does not stop the run: only
  // another brantix holding it does.
  if (LockExclusive(file) == LockResult::kBusy) {
    *err = MsgPageVerrouillee(nom_du_fichier);
    return false;
  }
  if (!GetFileInfo(file, &page->info) ||
      !RealName(nom_du_fichier, &page->real_name)) {
    *err = MsgLecturePage(nom_du_fichier);
    return false;
  }
  StartReading(std::move(file), &page->reader);
  return CheckBackupName(*page, nom_sauvegarde, err);
}

bool ReplacePage(Page* page, const std::string& nom_sauvegarde,
                 const ParamColonne& param, std::string* err) {
  // The rename would not ask: the page's own protection is asked here.
  if (!CanOpenForWriting(page->name)) {
    *err = MsgPageNonOuverte(page->name);
    return false;
  }
  File source;
  if (OpenForReading(nom_sauvegarde, &source) != OpenReadResult::kOk) {
    *err = kMsgFichierInexistant;
    return false;
  }
  TextReader backup;
  StartReading(std::move(source), &backup);
  Replacement fresh;
  if (!StartReplacement(page->real_name, page->info, &fresh)) {
    *err = MsgPageNonOuverte(page->name);
    return false;
  }
  EtatReecriture etat;
  switch (Reecrire(&backup, &fresh.writer, param, page->name.size(), &etat)) {
    case FinReecriture::kOk:
      break;
    case FinReecriture::kErreurLecture:
      *err = MsgLectureSauvegarde(nom_sauvegarde, page->name);
      return false;
    case FinReecriture::kErreurEcriture:
      *err = MsgEcriturePage(page->name);
      return false;
  }
  if (!FinishReplacement(&fresh)) {
    *err = MsgEcriturePage(page->name);
    return false;
  }
  if (!CloseFile(&backup.file)) {
    *err = MsgFermetureSauvegarde(nom_sauvegarde);
    return false;
  }
  if (!MayReplace(*page, err)) return false;
  if (!PutInPlace(&fresh, &page->reader.file)) {
    *err = MsgEcriturePage(page->name);
    return false;
  }
  return true;
}
