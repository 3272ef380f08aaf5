#include "run/page.h"

#include <algorithm>
#include <utility>

#include "rewrite/cells.h"
#include "rewrite/rewrite.h"
#include "run/checksum.h"
#include "run/process.h"
#include "text/interrupt.h"
#include "text/text_file.h"

namespace {

Failure CheckBackupName(const Page& page, const std::string& nom_sauvegarde) {
  FileInfo backup;
  bool exists = false;
  const NameResult looked = GetNameInfo(nom_sauvegarde, &backup, &exists);
  if (!looked) {
    return FailureOf(FailedStep::kBackupCreate, nom_sauvegarde, looked.error);
  }
  if (exists && SameFile(page.info, backup)) {
    return FailureOf(FailedStep::kPageIsItsBackup, nom_sauvegarde);
  }
  return {};
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

// Fails when the page no longer holds the bytes it held when it was opened.
Failure SameBytes(Page* page) {
  std::uint64_t sum = 0, size = 0;
  if (!SumOf(&page->file, &sum, &size)) {
    return FailureOf(FailedStep::kRead, page->name, page->file.error());
  }
  if (sum == page->sum && size == page->info.size) return {};
  return FailureOf(FailedStep::kPageChanged, page->name);
}

}  // namespace

std::string FolderName(const std::string& path) {
  std::string folder = FolderPart(path);
  if (folder.size() > 1) folder.pop_back();
  return folder.empty() ? "." : folder;
}

Failure PageNotOpened(OpenReadResult result, const std::string& nom_du_fichier,
                      int error) {
  switch (result) {
    case OpenReadResult::kIsDirectory:
      return FailureOf(FailedStep::kRead, nom_du_fichier);
    case OpenReadResult::kNotRegular:
      return FailureOf(FailedStep::kNotRegular, nom_du_fichier);
    default:
      return FailureOf(
          SystemFailed(error) ? FailedStep::kRead : FailedStep::kOpen,
          nom_du_fichier, error);
  }
}

Failure OpenPage(const std::string& nom_du_fichier,
                 const std::string& nom_sauvegarde, Page* page) {
  page->name = nom_du_fichier;
  const OpenReadResult opened =
      OpenWritableIfAllowed(nom_du_fichier, &page->file, &page->writable);
  if (opened != OpenReadResult::kOk) {
    return PageNotOpened(opened, nom_du_fichier, page->file.error());
  }
  // A lock that the file system cannot give does not stop the run: only
  // another brantix holding it does.
  if (LockExclusive(page->file) == LockResult::kBusy) {
    return FailureOf(FailedStep::kPageLocked, nom_du_fichier);
  }
  const std::int64_t opened_at = TimeNow();
  const NameResult real = RealName(nom_du_fichier, &page->real_name);
  if (!real) return FailureOf(FailedStep::kRead, nom_du_fichier, real.error);
  if (!GetFileInfo(&page->file, &page->info)) {
    return FailureOf(FailedStep::kRead, nom_du_fichier, page->file.error());
  }
  std::uint64_t size = 0;
  page->recent = TimesMayHideAnEdit(page->info, opened_at);
  if (page->recent && !SumOf(&page->file, &page->sum, &size)) {
    return FailureOf(FailedStep::kRead, nom_du_fichier, page->file.error());
  }
  return CheckBackupName(*page, nom_sauvegarde);
}

bool RenameKeepsThePage(const Page& page, const Replacement& fresh) {
  return fresh.same_owner && fresh.same_attributes && page.info.links == 1;
}

Failure PrepareNewPage(Page* page, Replacement* fresh) {
  if (!page->writable)
    return FailureOf(FailedStep::kPageNotWritable, page->name);
  if (StartReplacement(page->real_name, page->info, &page->file, fresh)) {
    fresh->renamed = RenameKeepsThePage(*page, *fresh);
    return {};
  }
  // No temporary name: no file could be created in the folder.
  if (fresh->temporary.empty()) {
    return FailureOf(FailedStep::kFolderClosed, FolderName(page->real_name),
                     fresh->error);
  }
  return FailureOf(FailedStep::kPageWrite, page->name, fresh->error);
}

Failure Rebuild(TextReader* reader, Page* target, const ParamColonne& param,
                Replacement* fresh) {
  const Page& page = *target;
  EtatReecriture state;
  // The first bytes are read first, to look there for the first map of a
  // column that an earlier run added.
  TextEnd end = reader->ReadMore() ? TextEnd::kOk : TextEnd::kReadError;
  if (end == TextEnd::kOk) {
    if (HoldsFirstMap(reader->View(), param.NomMap.view())) {
      target->first_map_there = std::string(param.NomMap.view()) + "1";
    }
    end = RewriteTable(reader, &fresh->writer, param, TypedLength(page.name),
                       &state, page.link_rule, page.marker_rule);
    target->inserted_cell = state.EnteteFaite;
  }
  switch (end) {
    case TextEnd::kOk:
      if (FinishReplacement(fresh)) return {};
      return FailureOf(FailedStep::kPageWrite, page.name, fresh->error);
    case TextEnd::kReadError:
      return FailureOf(FailedStep::kRead, page.name, reader->file().error());
    case TextEnd::kWriteError:
      break;
  }
  return FailureOf(FailedStep::kPageWrite, page.name, fresh->writer.error());
}

Failure SecondHandle(Page* page, File* source) {
  if (!RewindFile(&page->file)) {
    return FailureOf(FailedStep::kRead, page->name, page->file.error());
  }
  if (!Duplicate(page->file, source)) {
    return FailureOf(FailedStep::kRead, page->name, source->error());
  }
  return {};
}

Failure RebuildPage(Page* page, const ParamColonne& param, Replacement* fresh) {
  File source;
  const Failure failure = SecondHandle(page, &source);
  if (failure.failed()) return failure;
  TextReader reader(std::move(source));
  return Rebuild(&reader, page, param, fresh);
}

Failure StillTheSamePage(Page* page) {
  if (Interrupted()) return FailureOf(FailedStep::kInterrupted, page->name);
  FileInfo now, named;
  bool exists = false;
  Failure failure;
  NameResult looked;
  if (!GetFileInfo(&page->file, &now)) {
    failure = FailureOf(FailedStep::kRead, page->name, page->file.error());
  } else if (!(looked = GetNameInfo(page->real_name, &named, &exists))) {
    failure = FailureOf(FailedStep::kRead, page->name, looked.error);
  } else if (!Unchanged(page->info, now) || !exists ||
             !SameFile(page->info, named)) {
    failure = FailureOf(FailedStep::kPageChanged, page->name);
  } else if (page->recent) {
    failure = SameBytes(page);
  }
  // An interruption during the checks is the cause of their failure.
  if (failure.failed() && Interrupted()) {
    return FailureOf(FailedStep::kInterrupted, page->name);
  }
  return failure;
}

bool ReopenPage(Page* page) {
  if (page->file.is_open()) return true;
  bool writable = false;
  FileInfo now;
  return OpenWritableIfAllowed(page->real_name, &page->file, &writable) ==
             OpenReadResult::kOk &&
         writable && LockExclusive(page->file) != LockResult::kBusy &&
         GetFileInfo(&page->file, &now) && Unchanged(page->info, now);
}
