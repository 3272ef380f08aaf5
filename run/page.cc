#include "run/page.h"

#include <algorithm>
#include <utility>

#include "rewrite/cells.h"
#include "rewrite/rewrite.h"
#include "run/process.h"
#include "text/checksum.h"
#include "text/interrupt.h"
#include "text/text_file.h"

namespace {

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
  const CallResult read = SumOf(&page->file, &sum, &size);
  if (!read) return FailureOf(FailedStep::kRead, page->name, read.error);
  if (sum == page->sum && size == page->info.size) return {};
  return FailureOf(FailedStep::kPageChanged, page->name);
}

// Where the page's name as typed is a link, keeps its folder for the
// backup and the copies, and holds the folder of the file it leads to, the
// one replaced. Either way, the page opened must be the file of that name
// in the folder held, not a link: otherwise a link was switched since.
Failure HoldRealFolder(Page* page) {
  FileInfo named;
  bool exists = false;
  CallResult looked =
      GetNameInfoIn(page->folder, page->name, &named, &exists, Links::kRefuse);
  if (looked && exists && SameFile(named, page->info)) return {};
  page->typed_folder = std::move(page->folder);
  if (looked) looked = OpenFolder(page->real_name, &page->folder);
  if (looked) {
    looked = GetNameInfoIn(page->folder, page->real_name, &named, &exists,
                           Links::kRefuse);
  }
  if (!looked) return FailureOf(FailedStep::kRead, page->name, looked.error);
  if (!exists || !SameFile(named, page->info)) {
    return FailureOf(FailedStep::kPageChanged, page->name);
  }
  return {};
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

Failure CheckLock(Page* page, LockUse lock) {
  // A lock that the file system cannot give does not stop the run: only
  // another brantix holding it does.
  File probe;
  File* file = &page->file;
  if (lock == LockUse::kTry) {
    if (!OpenForReading(page->name, &probe)) return {};
    file = &probe;
  }
  if (LockExclusive(*file) == LockResult::kBusy) {
    return FailureOf(FailedStep::kPageLocked, page->name);
  }
  return {};
}

Failure CheckBackupName(const Page& page, const std::string& nom_sauvegarde) {
  FileInfo backup;
  bool exists = false;
  const CallResult looked =
      GetNameInfoIn(TypedFolder(page), nom_sauvegarde, &backup, &exists);
  if (!looked) {
    return FailureOf(FailedStep::kBackupCreate, nom_sauvegarde, looked.error);
  }
  if (exists && SameFile(page.info, backup)) {
    return FailureOf(FailedStep::kPageIsItsBackup, nom_sauvegarde);
  }
  return {};
}

Failure CheckWritable(const Page& page) {
  if (page.writable) return {};
  return FailureOf(FailedStep::kPageNotWritable, page.name);
}

Failure CheckFolder(const Page& page) {
  const CallResult may = MayCreateIn(page.folder);
  const Cause cause = CauseOf(may.error);
  if (may || (cause != Cause::kRefused && cause != Cause::kReadOnly)) {
    return {};
  }
  return FailureOf(FailedStep::kFolderClosed, FolderName(page.real_name),
                   may.error);
}

Failure CheckBackupHeld(const Page& page, const std::string& nom_sauvegarde) {
  // Root may replace any file; where files have no owner, nobody holds one.
  FileInfo backup, folder;
  bool exists = false;
  if (FilesHaveOwners() && CurrentUser() != 0 &&
      GetNameInfoIn(TypedFolder(page), nom_sauvegarde, &backup, &exists) &&
      exists && backup.owner != CurrentUser() &&
      GetFolderInfo(TypedFolder(page), &folder) && (folder.mode & 01000) != 0 &&
      folder.owner != CurrentUser()) {
    return FailureOf(FailedStep::kBackupHeldByAnother, nom_sauvegarde);
  }
  return {};
}

std::vector<Failure> RunRefusals(Page* page,
                                 const std::string& nom_sauvegarde) {
  std::vector<Failure> found;
  for (const Failure& failure :
       {CheckLock(page, LockUse::kTry), CheckBackupName(*page, nom_sauvegarde),
        CheckBackupHeld(*page, nom_sauvegarde), CheckWritable(*page),
        CheckFolder(*page)}) {
    if (failure.failed()) found.push_back(failure);
  }
  return found;
}

bool IsRefusal(const Failure& failure) {
  switch (failure.step) {
    case FailedStep::kNotRegular:
    case FailedStep::kPageLocked:
    case FailedStep::kPageIsItsBackup:
    case FailedStep::kPageNotWritable:
    case FailedStep::kFolderClosed:
    case FailedStep::kBackupHeldByAnother:
      return true;
    default:
      return false;
  }
}

Failure OpenPageFile(const std::string& nom_du_fichier, Page* page,
                     LockUse lock) {
  page->name = nom_du_fichier;
  // The folder first, then the page in it: whatever a link in the typed
  // path leads to later, the run reads and writes in the folder held.
  const CallResult held = OpenFolder(nom_du_fichier, &page->folder);
  if (!held) {
    return PageNotOpened(OpenReadResult::kCannotOpen, nom_du_fichier,
                         held.error);
  }
  const OpenResult opened = OpenWritableIn(page->folder, nom_du_fichier,
                                           &page->file, &page->writable);
  if (!opened) return PageNotOpened(opened.kind, nom_du_fichier, opened.error);
  if (lock == LockUse::kTake) {
    const Failure locked = CheckLock(page, lock);
    if (locked.failed()) return locked;
  }
  const std::int64_t opened_at = TimeNow();
  CallResult result = RealName(nom_du_fichier, &page->real_name);
  if (result) result = GetFileInfo(&page->file, &page->info);
  std::uint64_t size = 0;
  page->recent = result && lock == LockUse::kTake &&
                 TimesMayHideAnEdit(page->info, opened_at);
  if (page->recent) result = SumOf(&page->file, &page->sum, &size);
  if (!result) {
    return FailureOf(FailedStep::kRead, nom_du_fichier, result.error);
  }
  return HoldRealFolder(page);
}

Failure OpenPage(const std::string& nom_du_fichier,
                 const std::string& nom_sauvegarde, Page* page) {
  const Failure failure = OpenPageFile(nom_du_fichier, page, LockUse::kTake);
  if (failure.failed()) return failure;
  return CheckBackupName(*page, nom_sauvegarde);
}

bool RenameKeepsThePage(const Page& page, const Replacement& fresh) {
  return fresh.same_owner && fresh.same_attributes && page.info.links == 1;
}

Failure PrepareNewPage(Page* page, Replacement* fresh) {
  Failure refused = CheckWritable(*page);
  if (!refused.failed()) refused = CheckFolder(*page);
  if (refused.failed()) return refused;
  // Known from the page alone, before the file is started: a page with
  // several names is written in place, and its new file is not flushed.
  fresh->renamed = page->info.links == 1;
  const CallResult started = StartReplacement(page->folder, page->real_name,
                                              page->info, &page->file, fresh);
  if (started) {
    fresh->renamed = RenameKeepsThePage(*page, *fresh);
    // The new text goes straight into the page past its old end: this
    // reading only counts its bytes, to know where it goes.
    if (!fresh->renamed) fresh->writer.Discard();
    return {};
  }
  // No temporary name: no file could be created in the folder.
  if (fresh->temporary.empty()) {
    return FailureOf(FailedStep::kFolderClosed, FolderName(page->real_name),
                     started.error);
  }
  return FailureOf(FailedStep::kPageWrite, page->name, started.error);
}

namespace {

// Rebuilds the page, read by |reader|, into |out| with the column |param|.
Failure RewritePage(TextReader* reader, Page* target, const ParamColonne& param,
                    TextWriter* out) {
  const Page& page = *target;
  target->param = param;
  EtatReecriture state;
  // The first bytes are read first, to look there for the first map of a
  // column that an earlier run added.
  TextEnd end = reader->ReadMore() ? TextEnd::kOk : TextEnd::kReadError;
  if (end == TextEnd::kOk) {
    target->first_map_there.clear();
    if (HoldsFirstMap(reader->View(), param.NomMap.view())) {
      target->first_map_there = std::string(param.NomMap.view()) + "1";
    }
    end = RewriteTable(reader, out, param, TypedLength(page.name), &state,
                       page.link_rule, page.marker_rule);
    target->inserted_cell = state.EnteteFaite;
  }
  switch (end) {
    case TextEnd::kOk:
      return {};
    case TextEnd::kReadError:
      return FailureOf(FailedStep::kRead, page.name, reader->error());
    case TextEnd::kWriteError:
      break;
  }
  return FailureOf(FailedStep::kPageWrite, page.name, out->error());
}

}  // namespace

Failure Rebuild(TextReader* reader, Page* page, const ParamColonne& param,
                Replacement* fresh) {
  // A page written in place needs the checksum of the bytes read.
  Checksum read;
  if (!fresh->renamed) reader->SumWhileReading(&read);
  const Failure failure = RewritePage(reader, page, param, &fresh->writer);
  reader->SumWhileReading(nullptr);
  if (failure.failed()) return failure;
  if (!fresh->renamed) {
    page->read_summed = true;
    page->read_sum = read.Value();
    page->read_size = reader->BytesRead();
  }
  const CallResult finished = FinishReplacement(fresh);
  if (finished) return {};
  return FailureOf(FailedStep::kPageWrite, page->name, finished.error);
}

Failure SecondHandle(Page* page, File* source) {
  CallResult result = RewindFile(&page->file);
  if (result) result = Duplicate(page->file, source);
  if (!result) return FailureOf(FailedStep::kRead, page->name, result.error);
  return {};
}

Failure RebuildPage(Page* page, const ParamColonne& param, Replacement* fresh) {
  File source;
  const Failure failure = SecondHandle(page, &source);
  if (failure.failed()) return failure;
  TextReader reader(std::move(source));
  return Rebuild(&reader, page, param, fresh);
}

Failure RebuildInto(Page* page, std::uint64_t length, TextWriter* out) {
  File source;
  const Failure failure = SecondHandle(page, &source);
  if (failure.failed()) return failure;
  TextReader reader(std::move(source));
  reader.ReadFirstBytesOnly(length);
  return RewritePage(&reader, page, page->param, out);
}

Failure StillTheSamePage(Page* page, bool renamed) {
  if (Interrupted()) return FailureOf(FailedStep::kInterrupted, page->name);
  FileInfo now, named;
  bool exists = false;
  Failure failure;
  CallResult looked = GetFileInfo(&page->file, &now);
  if (looked) {
    looked = GetNameInfoIn(page->folder, page->real_name, &named, &exists);
  }
  if (!looked) {
    failure = FailureOf(FailedStep::kRead, page->name, looked.error);
  } else if (!Unchanged(page->info, now) || !exists ||
             !SameFile(page->info, named)) {
    failure = FailureOf(FailedStep::kPageChanged, page->name);
  } else if (page->recent && renamed) {
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
  return OpenWritableIn(page->folder, page->real_name, &page->file, &writable,
                        Links::kRefuse) &&
         writable && LockExclusive(page->file) != LockResult::kBusy &&
         GetFileInfo(&page->file, &now) && Unchanged(page->info, now);
}
