#include "run/page.h"

#include <algorithm>
#include <utility>

#include "rewrite/rewrite.h"
#include "run/checksum.h"
#include "run/in_place.h"
#include "run/messages.h"
#include "text/interrupt.h"
#include "text/text_file.h"

namespace {

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

// Whether an edit made to the page right after |opened_at| could keep the
// times |info| holds: file systems stamp times in steps, of a few
// milliseconds, or of one or two seconds where times are whole seconds.
bool TimesMayHideAnEdit(const FileInfo& info, std::int64_t opened_at) {
  constexpr std::int64_t kSecond = 1000000000;
  const bool whole_seconds =
      info.modified % kSecond == 0 && info.changed % kSecond == 0;
  const std::int64_t step =
      whole_seconds ? 2 * kSecond + kSecond / 10 : kSecond / 20;
  return opened_at - std::max(info.modified, info.changed) < step;
}

enum class Same { kYes, kNo, kReadError };

// Whether the page still holds the bytes it held when it was opened.
Same SameBytes(Page* page) {
  std::uint64_t sum = 0, size = 0;
  if (!SumOf(&page->file, &sum, &size)) return Same::kReadError;
  return sum == page->sum && size == page->info.size ? Same::kYes : Same::kNo;
}

// The folder of |path| as a user would name it.
std::string FolderName(const std::string& path) {
  std::string folder = FolderPart(path);
  if (folder.size() > 1) folder.pop_back();
  return folder.empty() ? "." : folder;
}

// Whether |nom_sauvegarde| belongs to another user in a folder where only a
// file's owner may replace it (the sticky bit, as in /tmp): a rename over
// it is then refused to this user whatever the folder's permissions.
bool BackupHeldByAnother(const std::string& nom_sauvegarde) {
  FileInfo backup, folder;
  bool exists = false, folder_exists = false;
  return FilesHaveOwners() && GetNameInfo(nom_sauvegarde, &backup, &exists) &&
         exists && backup.owner != CurrentUser() &&
         GetNameInfo(FolderName(nom_sauvegarde), &folder, &folder_exists) &&
         folder_exists && (folder.mode & 01000) != 0 &&
         folder.owner != CurrentUser();
}

}  // namespace

bool OpenPage(const std::string& nom_du_fichier,
              const std::string& nom_sauvegarde, Page* page, std::string* err) {
  page->name = nom_du_fichier;
  OpenReadResult opened =
      OpenForUpdate(nom_du_fichier, &page->file, &page->writable);
  if (opened != OpenReadResult::kOk) {
    // A page that is missing or that this user may not read is one the run
    // cannot find; a disk that fails is a read error, with its cause.
    const FailureKind kind = KindOf(page->file.error());
    *err = opened == OpenReadResult::kCannotOpen &&
                   (kind == FailureKind::kOther ||
                    kind == FailureKind::kTooManyFiles)
               ? MsgPageReadError(nom_du_fichier, kind)
               : MsgNotOpened(opened, nom_du_fichier,
                              MsgPageReadError(nom_du_fichier));
    return false;
  }
  // A lock that the file system cannot give does not stop the run: only
  // another brantix holding it does.
  if (LockExclusive(page->file) == LockResult::kBusy) {
    *err = MsgPageLocked(nom_du_fichier);
    return false;
  }
  const std::int64_t opened_at = TimeNow();
  std::uint64_t size = 0;
  if (!GetFileInfo(&page->file, &page->info) ||
      !RealName(nom_du_fichier, &page->real_name) ||
      ((page->recent = TimesMayHideAnEdit(page->info, opened_at)) &&
       !SumOf(&page->file, &page->sum, &size))) {
    *err = MsgPageReadError(nom_du_fichier, KindOf(page->file.error()));
    return false;
  }
  return CheckBackupName(*page, nom_sauvegarde, err);
}

bool PrepareNewPage(Page* page, Replacement* fresh, std::string* err) {
  if (!page->writable) {
    *err = MsgPageNotWritable(page->name);
    return false;
  }
  if (StartReplacement(page->real_name, page->info, &page->file, fresh)) {
    return true;
  }
  const FailureKind kind = KindOf(fresh->error);
  *err =
      fresh->temporary.empty()
          ? MsgFolderNotWritable(FolderName(page->real_name), page->name, kind)
          : MsgPageWriteError(page->name, kind);
  return false;
}

namespace {

// Rebuilds the page from |reader| into |fresh| and finishes |fresh| on the
// disk. Returns false with the message in |err|; |*read_failed| tells a
// read error of the page, whose message the caller chooses.
bool Rebuild(TextReader* reader, const Page& page, const ParamColonne& param,
             Replacement* fresh, bool* read_failed, std::string* err) {
  EtatReecriture state;
  switch (
      RewriteTable(reader, &fresh->writer, param, page.name.size(), &state)) {
    case RewriteEnd::kOk:
      if (FinishReplacement(fresh)) return true;
      *err = MsgPageWriteError(page.name, KindOf(fresh->error));
      return false;
    case RewriteEnd::kReadError:
      *read_failed = true;
      return false;
    case RewriteEnd::kWriteError:
      *err = MsgPageWriteError(page.name, KindOf(fresh->writer.error()));
      return false;
  }
  return false;
}

// Copies the rest of |reader| to |backup|'s writer: with |param| as a side
// effect of rebuilding the page into |fresh| (one pass, page errors in
// |page_err|), otherwise on its own. Returns false on a read error.
bool CopyToBackup(TextReader* reader, const Page& page,
                  const ParamColonne* param, Replacement* backup,
                  Replacement* fresh, std::string* page_err) {
  if (param == nullptr) {
    return reader->CopyText(&backup->writer) != CopyEnd::kReadError;
  }
  reader->CopyWhileReading(&backup->writer);
  // When the new page cannot be written, the page is still read to its end
  // so that the backup is complete.
  bool read_failed = false;
  Rebuild(reader, page, *param, fresh, &read_failed, page_err);
  bool read = !read_failed && reader->SkipToEnd();
  reader->CopyWhileReading(nullptr);
  return read;
}

}  // namespace

bool ReadPage(Page* page, const std::string& nom_sauvegarde,
              Replacement* backup, const ParamColonne* param,
              Replacement* fresh, std::string* err) {
  // The reader gets a second handle on the page: the run keeps its own,
  // and with it the lock.
  File source;
  if (!RewindFile(&page->file) || !Duplicate(page->file, &source)) {
    *err = MsgPageReadError(page->name, KindOf(page->file.error()));
    return false;
  }
  TextReader reader(std::move(source));
  if (backup == nullptr) {
    bool read_failed = false;
    if (Rebuild(&reader, *page, *param, fresh, &read_failed, err)) return true;
    if (read_failed) {
      *err = MsgPageReadError(page->name, KindOf(reader.file().error()));
    }
    return false;
  }
  if (!StartReplacement(nom_sauvegarde, page->info, &page->file, backup)) {
    *err = MsgBackupNotCreated(nom_sauvegarde, KindOf(backup->error));
    return false;
  }
  std::string page_err;
  const bool read =
      CopyToBackup(&reader, *page, param, backup, fresh, &page_err);
  if (backup->writer.failed()) {
    *err = MsgBackupWriteError(nom_sauvegarde, KindOf(backup->writer.error()));
    return false;
  }
  if (!read) {
    *err = MsgPageReadError(page->name, KindOf(reader.file().error()));
    return false;
  }
  if (!FinishReplacement(backup)) {
    *err = MsgBackupWriteError(nom_sauvegarde, KindOf(backup->error));
    return false;
  }
  if (!PutInPlace(backup)) {
    *err = BackupHeldByAnother(nom_sauvegarde)
               ? MsgBackupHeldByAnother(nom_sauvegarde, page->name)
               : MsgBackupNotCreated(nom_sauvegarde, KindOf(backup->error));
    return false;
  }
  *err = page_err;
  return page_err.empty();
}

namespace {

// The page's last checks, just before it is replaced.
bool StillTheSamePage(Page* page, std::string* err) {
  if (Interrupted()) {
    *err = MsgInterruption(page->name);
    return false;
  }
  FileInfo now, named;
  bool exists = false;
  Same same = Same::kYes;
  if (!GetFileInfo(&page->file, &now) ||
      !GetNameInfo(page->real_name, &named, &exists)) {
    same = Same::kReadError;
  } else if (!Unchanged(page->info, now) || !exists ||
             !SameFile(page->info, named)) {
    same = Same::kNo;
  } else if (page->recent) {
    same = SameBytes(page);
  }
  if (same == Same::kYes) return true;
  if (Interrupted()) {
    *err = MsgInterruption(page->name);
  } else if (same == Same::kReadError) {
    *err = MsgPageReadError(page->name, KindOf(page->file.error()));
  } else {
    *err = MsgPageChanged(page->name);
  }
  return false;
}

// Where a refused rename had to let the page go (Windows), opens it again,
// locked, and only if it is still the file the run read.
bool ReopenPage(Page* page) {
  if (page->file.is_open()) return true;
  bool writable = false;
  FileInfo now;
  return OpenForUpdate(page->real_name, &page->file, &writable) ==
             OpenReadResult::kOk &&
         writable && LockExclusive(page->file) != LockResult::kBusy &&
         GetFileInfo(&page->file, &now) && Unchanged(page->info, now);
}

}  // namespace

bool PutNewPageInPlace(Page* page, Replacement* fresh, Replacement* backup,
                       std::string* err) {
  if (!StillTheSamePage(page, err)) return false;
  // A rename gives the page the new file's owner, group, attributes and
  // one name: only when they are the page's own does it keep the page as
  // it was.
  if (fresh->same_owner && fresh->same_attributes && page->info.links == 1) {
    if (PutInPlace(fresh, &page->file)) return true;
    if (Interrupted() || !ReopenPage(page)) {
      *err = Interrupted()
                 ? MsgInterruption(page->name)
                 : MsgPageWriteError(page->name, KindOf(fresh->error));
      return false;
    }
  }
  return WriteInPlace(page, fresh, backup, err);
}
