#include "run/page.h"

#include <algorithm>
#include <utility>

#include "rewrite/rewrite.h"
#include "run/checksum.h"
#include "run/messages.h"
#include "run/process.h"
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

}  // namespace

std::string FolderName(const std::string& path) {
  std::string folder = FolderPart(path);
  if (folder.size() > 1) folder.pop_back();
  return folder.empty() ? "." : folder;
}

bool OpenPage(const std::string& nom_du_fichier,
              const std::string& nom_sauvegarde, Page* page, std::string* err) {
  page->name = nom_du_fichier;
  OpenReadResult opened =
      OpenForUpdate(nom_du_fichier, &page->file, &page->writable);
  if (opened != OpenReadResult::kOk) {
    *err = MsgPageNotOpened(opened, nom_du_fichier, page->file.error());
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
  const NameResult real = RealName(nom_du_fichier, &page->real_name);
  if (!real) page->file.NoteError(real.error);
  if (!real || !GetFileInfo(&page->file, &page->info) ||
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

Rebuilt Rebuild(TextReader* reader, const Page& page, const ParamColonne& param,
                Replacement* fresh) {
  EtatReecriture state;
  switch (RewriteTable(reader, &fresh->writer, param, TypedLength(page.name),
                       &state, page.link_rule)) {
    case TextEnd::kOk:
      return FinishReplacement(fresh) ? Rebuilt::kOk : Rebuilt::kWriteError;
    case TextEnd::kReadError:
      return Rebuilt::kReadError;
    case TextEnd::kWriteError:
      fresh->error = fresh->writer.error();
      return Rebuilt::kWriteError;
  }
  return Rebuilt::kWriteError;
}

std::string MsgRebuildError(Rebuilt rebuilt, TextReader* reader,
                            const Page& page, const Replacement& fresh) {
  return rebuilt == Rebuilt::kReadError
             ? MsgPageReadError(page.name, KindOf(reader->file().error()))
             : MsgPageWriteError(page.name, KindOf(fresh.error));
}

bool SecondHandle(Page* page, File* source, std::string* err) {
  if (RewindFile(&page->file) && Duplicate(page->file, source)) return true;
  *err = MsgPageReadError(
      page->name,
      KindOf(page->file.error() != 0 ? page->file.error() : source->error()));
  return false;
}

bool RebuildPage(Page* page, const ParamColonne& param, Replacement* fresh,
                 std::string* err) {
  File source;
  if (!SecondHandle(page, &source, err)) return false;
  TextReader reader(std::move(source));
  const Rebuilt rebuilt = Rebuild(&reader, *page, param, fresh);
  if (rebuilt == Rebuilt::kOk) return true;
  *err = MsgRebuildError(rebuilt, &reader, *page, *fresh);
  return false;
}

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

bool ReopenPage(Page* page) {
  if (page->file.is_open()) return true;
  bool writable = false;
  FileInfo now;
  return OpenForUpdate(page->real_name, &page->file, &writable) ==
             OpenReadResult::kOk &&
         writable && LockExclusive(page->file) != LockResult::kBusy &&
         GetFileInfo(&page->file, &now) && Unchanged(page->info, now);
}
