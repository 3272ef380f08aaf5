#include "run/in_place.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <sstream>
#include <string_view>

#include "run/checksum.h"
#include "run/messages.h"
#include "run/process.h"
#include "text/interrupt.h"
#include "text/line_ends.h"
#include "text/text_file.h"

namespace {

constexpr char kRecordHeader[] = "brantix 2";

// What the record of a write in place holds, so that a later run can tell
// what the write can have left: the page before it, the backup that holds
// its text, and the new text, whose temporary file stays until the record
// is removed (a killed run cannot remove it).
struct Record {
  std::uint64_t page_device = 0;
  std::uint64_t page_inode = 0;
  std::uint64_t old_size = 0;  ///< The page's size before the write.
  std::uint64_t backup_device = 0;
  std::uint64_t backup_inode = 0;
  std::uint64_t backup_size = 0;
  std::uint64_t backup_sum = 0;
  std::uint64_t new_device = 0;
  std::uint64_t new_inode = 0;
  std::uint64_t new_size = 0;
  std::uint64_t new_sum = 0;
  std::string backup_path;  ///< Full names, links followed.
  std::string new_path;
};

std::string RecordText(const Record& r) {
  std::ostringstream out;
  out << kRecordHeader << "\npage " << r.page_device << ' ' << r.page_inode
      << ' ' << r.old_size << "\nbackup " << r.backup_device << ' '
      << r.backup_inode << ' ' << r.backup_size << ' ' << r.backup_sum
      << "\nnew " << r.new_device << ' ' << r.new_inode << ' ' << r.new_size
      << ' ' << r.new_sum << '\n'
      << r.backup_path << '\0' << r.new_path;
  return out.str();
}

bool ParseRecord(const std::string& text, Record* r) {
  std::istringstream in(text);
  std::string header, page, backup, fresh;
  return std::getline(in, header) && header == kRecordHeader &&
         (in >> page >> r->page_device >> r->page_inode >> r->old_size) &&
         page == "page" &&
         (in >> backup >> r->backup_device >> r->backup_inode >>
          r->backup_size >> r->backup_sum) &&
         backup == "backup" &&
         (in >> fresh >> r->new_device >> r->new_inode >> r->new_size >>
          r->new_sum) &&
         fresh == "new" && in.get() == '\n' &&
         std::getline(in, r->backup_path, '\0') && !r->backup_path.empty() &&
         std::getline(in, r->new_path, '\0') && !r->new_path.empty();
}

// Where the record of a write in place is kept.
struct Mark {
  bool on_page = true;  ///< The page's own mark; otherwise a journal.
  std::string journal;  ///< The journal's name.
  File file;            ///< The journal, open.
};

// The journal's name for the page |real_name| of |info|, where files carry
// no mark: in the folder of the file itself, named after its device and
// inode.
std::string JournalName(const std::string& real_name, const FileInfo& info) {
  static const char kDigits[] = "0123456789abcdef";
  auto hex = [](std::uint64_t value) {
    std::string text(16, '0');
    for (int i = 15; i >= 0; --i, value >>= 4) text[i] = kDigits[value & 15];
    return text;
  };
  return FolderPart(real_name) + ".brantix-" + hex(info.device) + "-" +
         hex(info.inode) + ".journal";
}

// Reads up to |size| bytes, fewer only at the end of the file; -1 on a
// read error.
std::int64_t ReadFull(File* file, char* data, std::size_t size) {
  std::size_t got = 0;
  while (got < size) {
    std::int64_t n = ReadSome(file, data + got, size - got);
    if (n < 0) return -1;
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  return static_cast<std::int64_t>(got);
}

// Reads a file from its position on, a block at a time, as its backup holds
// it: each LF that does not follow a CR comes as CR LF.
class BackupText {
 public:
  explicit BackupText(File* file) : file_(file) {}
  /// The next block, empty at the end of the file; false on a read error.
  bool Next(std::string_view* block) {
    std::int64_t got = ReadSome(file_, in_.get(), kTextBufferSize);
    if (got < 0) return false;
    const auto size = static_cast<std::size_t>(got);
    *block = std::string_view(
        out_.get(), AddCrBeforeLoneLf(in_.get(), size, cr_before_, out_.get()));
    if (size > 0) cr_before_ = in_[size - 1] == '\r';
    return true;
  }

 private:
  File* file_;
  std::unique_ptr<char[]> in_ = std::make_unique<char[]>(kTextBufferSize);
  std::unique_ptr<char[]> out_ =
      std::make_unique<char[]>(2 * kTextBufferSize + 32);
  bool cr_before_ = false;
};

// The checksum and size of |file|'s text as its backup holds it.
bool SumAsBackup(File* file, std::uint64_t* sum, std::uint64_t* size) {
  if (!RewindFile(file)) return false;
  BackupText text(file);
  Checksum checksum;
  std::string_view block;
  *size = 0;
  do {
    if (!text.Next(&block)) return false;
    checksum.Add(block.data(), block.size());
    *size += block.size();
  } while (!block.empty());
  *sum = checksum.Value();
  return true;
}

// The system's error number of the first of |a| and |b| that has one.
int ErrorOf(const File& a, const File& b) {
  return a.error() != 0 ? a.error() : b.error();
}

// Copies the whole of |from| over |to| from its start, without cutting
// |to|, and gives the count of bytes in |total|.
bool CopyFromStart(File* from, File* to, std::uint64_t* total) {
  if (!RewindFile(from) || !RewindFile(to)) return false;
  auto buffer = std::make_unique<char[]>(kTextBufferSize);
  *total = 0;
  for (;;) {
    std::int64_t got = ReadSome(from, buffer.get(), kTextBufferSize);
    if (got < 0) return false;
    if (got == 0) return true;
    if (!WriteAll(to, buffer.get(), static_cast<std::size_t>(got))) {
      return false;
    }
    *total += static_cast<std::uint64_t>(got);
  }
}

// Writes the whole of |from| over |to|, cuts |to| to that length and
// flushes it to the disk.
bool CopyOver(File* from, File* to) {
  std::uint64_t total = 0;
  return CopyFromStart(from, to, &total) && SetLength(to, total) &&
         FlushToDisk(to);
}

// Whether the owner of |file| could write |page| by the page's owner, group
// and mode: its owner, root, this user (who writes it), anyone where every
// user may write it, a user of its group where its group may. A group
// member is known by the file's group, which only a member can give a file.
// A user whom only an access list lets write the page is not counted.
bool OwnerCouldWrite(const FileInfo& file, const FileInfo& page) {
  return !FilesHaveOwners() || file.owner == page.owner || file.owner == 0 ||
         file.owner == CurrentUser() || (page.mode & 0002) != 0 ||
         ((page.mode & 0020) != 0 && file.group == page.group);
}

// Whether nobody but users who could write |page| could write |file|.
bool WritableOnlyByWriters(const FileInfo& file, const FileInfo& page) {
  if (!FilesHaveOwners()) return true;
  const bool anyone = (page.mode & 0002) != 0;
  const bool group = (page.mode & 0020) != 0 && file.group == page.group;
  if ((file.mode & 0002) != 0 && !anyone) return false;
  if ((file.mode & 0020) != 0 && !anyone && !group) return false;
  return OwnerCouldWrite(file, page);
}

enum class Check { kYes, kNo, kError };

// The check of a failed open: a file that is missing, a link or not to be
// read is not the one wanted; an input-output error is an error.
Check OpenFailed(const File& file) {
  return SystemFailed(file.error()) ? Check::kError : Check::kNo;
}

// Opens the backup that |r| names and checks that it is the very file, with
// the very bytes, that |r| holds, with one name, and that only users who
// could write the page could have changed it since.
Check OpenRecordedBackup(const Record& r, const FileInfo& page, File* backup) {
  if (OpenForReading(r.backup_path, backup, Links::kRefuse) !=
      OpenReadResult::kOk) {
    return OpenFailed(*backup);
  }
  FileInfo info;
  std::uint64_t sum = 0, size = 0;
  if (!GetFileInfo(backup, &info)) return Check::kError;
  if (info.device != r.backup_device || info.inode != r.backup_inode ||
      info.links != 1 || info.size != r.backup_size ||
      !WritableOnlyByWriters(info, page)) {
    return Check::kNo;
  }
  if (!SumOf(backup, &sum, &size)) return Check::kError;
  return sum == r.backup_sum && size == r.backup_size ? Check::kYes
                                                      : Check::kNo;
}

// Opens the new text that |r| names, when it is still there, whole.
bool OpenRecordedNewText(const Record& r, File* fresh) {
  FileInfo info;
  std::uint64_t sum = 0, size = 0;
  if (OpenForReading(r.new_path, fresh, Links::kRefuse) ==
          OpenReadResult::kOk &&
      GetFileInfo(fresh, &info) && info.device == r.new_device &&
      info.inode == r.new_inode && SumOf(fresh, &sum, &size) &&
      sum == r.new_sum && size == r.new_size) {
    return true;
  }
  CloseFile(fresh);
  return false;
}

// The length of the start that |a| and |b| share.
bool CommonStart(File* a, File* b, std::uint64_t* length) {
  if (!RewindFile(a) || !RewindFile(b)) return false;
  auto x = std::make_unique<char[]>(kTextBufferSize);
  auto y = std::make_unique<char[]>(kTextBufferSize);
  *length = 0;
  for (;;) {
    std::int64_t got_a = ReadFull(a, x.get(), kTextBufferSize);
    std::int64_t got_b = ReadFull(b, y.get(), kTextBufferSize);
    if (got_a < 0 || got_b < 0) return false;
    const auto n = static_cast<std::size_t>(std::min(got_a, got_b));
    const std::size_t same = static_cast<std::size_t>(
        std::mismatch(x.get(), x.get() + n, y.get()).first - x.get());
    *length += same;
    if (same < kTextBufferSize) return true;
  }
}

// Whether |page| holds what the write that |r| records can have left, were
// it stopped at any byte: the start of the new text, then the rest of the
// page as it was; or the new text whole. What the page was is known by its
// backup: the rest, each lone LF as CR LF, must be the backup's end, and
// the page its old size. |fresh| is the new text, or closed when it is
// gone: only the page as it was is then recognised.
Check LeftByTheWrite(File* page, File* backup, File* fresh, const Record& r) {
  FileInfo now;
  std::uint64_t start = 0, rest = 0;
  if (!GetFileInfo(page, &now) ||
      (fresh->is_open() && !CommonStart(page, fresh, &start))) {
    return Check::kError;
  }
  const std::uint64_t length = now.size;
  if (start == length) {
    return length >= r.old_size || length == r.new_size ? Check::kYes
                                                        : Check::kNo;
  }
  if (length != r.old_size) return Check::kNo;
  std::string_view block;
  if (!SeekTo(page, start)) return Check::kError;
  BackupText sizing(page);
  do {
    if (!sizing.Next(&block)) return Check::kError;
    rest += block.size();
  } while (!block.empty());
  // The rest lies at or after |start| in the page as it was.
  if (rest > r.backup_size || r.backup_size - rest < start) return Check::kNo;
  if (!SeekTo(page, start) || !SeekTo(backup, r.backup_size - rest)) {
    return Check::kError;
  }
  BackupText text(page);
  auto theirs = std::make_unique<char[]>(2 * kTextBufferSize + 32);
  for (;;) {
    if (!text.Next(&block)) return Check::kError;
    if (block.empty()) return Check::kYes;
    std::int64_t got = ReadFull(backup, theirs.get(), block.size());
    if (got < 0) return Check::kError;
    if (static_cast<std::size_t>(got) != block.size() ||
        std::memcmp(block.data(), theirs.get(), block.size()) != 0) {
      return Check::kNo;
    }
  }
}

// Copies the page's bytes into a new file of the program's own beside the
// name the run was given, before the page is put back, and gives its name.
// On failure, |copy| holds the error of the copy or of the page.
bool KeepBeside(Page* page, std::string* kept, File* copy) {
  if (!CreateTemporary(FolderPart(page->name), ".avant", kept, copy)) {
    return false;
  }
  if (CopyOver(&page->file, copy) && CloseFile(copy)) {
    (void)FlushFolderOf(*kept);
    return true;
  }
  copy->NoteError(ErrorOf(*copy, page->file));
  CloseFile(copy);
  (void)RemoveFile(*kept);
  return false;
}

// Reads a journal of at most a few kilobytes.
bool ReadSmallFile(File* file, std::string* text) {
  char buffer[4096];
  text->clear();
  for (;;) {
    std::int64_t got = ReadSome(file, buffer, sizeof buffer);
    if (got < 0) return false;
    if (got == 0) return true;
    text->append(buffer, static_cast<std::size_t>(got));
  }
}

enum class Found { kNone, kFound, kUntrusted, kError };

// Opens the journal of |page|, where files carry no mark, and reads it. It
// counts only if it cannot have been planted: a regular file with one
// name, that only its owner may write, whose owner could write the page.
Found OpenJournal(const Page& page, Mark* mark, std::string* text) {
  if (OpenForReading(mark->journal, &mark->file, Links::kRefuse) !=
      OpenReadResult::kOk) {
    FileInfo ignored;
    bool exists = true;
    if (!GetNameInfo(mark->journal, &ignored, &exists)) return Found::kError;
    if (!exists) return Found::kNone;
    return OpenFailed(mark->file) == Check::kError ? Found::kError
                                                   : Found::kUntrusted;
  }
  FileInfo info;
  if (!GetFileInfo(&mark->file, &info)) return Found::kError;
  if (info.links != 1 || info.size > 65536 ||
      (FilesHaveOwners() &&
       ((info.mode & 0022) != 0 || !OwnerCouldWrite(info, page.info)))) {
    return Found::kUntrusted;
  }
  // An emptied journal is one whose run had finished: nothing to put back.
  if (info.size == 0) {
    CloseFile(&mark->file);
    (void)RemoveFile(mark->journal);
    return Found::kNone;
  }
  return ReadSmallFile(&mark->file, text) ? Found::kFound : Found::kError;
}

// Records the write about to start: on the page itself where its file
// system keeps marks, otherwise in a journal beside it that only this user
// may write, in the page's group. Either is on the disk before the first
// byte of the page is written.
bool SetMark(Page* page, const std::string& text, Mark* mark,
             std::string* err) {
  switch (WriteMark(&page->file, text)) {
    case MarkResult::kOk:
      if (FlushToDisk(&page->file)) return true;
      (void)RemoveMark(&page->file);
      *err = MsgPageWriteError(page->name, page->file.error());
      return false;
    case MarkResult::kUnsupported:
      break;
    case MarkResult::kNone:
    case MarkResult::kError:
      *err = MsgPageWriteError(page->name, page->file.error());
      return false;
  }
  mark->on_page = false;
  mark->journal = JournalName(page->real_name, page->info);
  int error = 0, folder_error = 0;
  if (!CreateExclusive(mark->journal, &mark->file)) {
    error = mark->file.error();
    *err = NameTaken(error) ? MsgJournalNameTaken(mark->journal, page->name)
                            : MsgPageWriteError(page->name, error);
    return false;
  }
  FileInfo like = page->info;
  like.mode = 0600;
  bool ignored = false;
  if (CopyOwnerAndMode(like, &mark->file, &ignored) &&
      WriteAll(&mark->file, text.data(), text.size()) &&
      FlushToDisk(&mark->file)) {
    // A journal that a power loss could take away would not protect the
    // page: without the folder on the disk, the page is not touched.
    const NameResult flushed = FlushFolderOf(mark->journal);
    if (flushed) return true;
    folder_error = flushed.error;
  } else {
    error = mark->file.error();
  }
  CloseFile(&mark->file);
  (void)RemoveFile(mark->journal);
  *err = folder_error != 0 ? MsgFolderNotFlushed(FolderPart(mark->journal),
                                                 page->name, folder_error)
                           : MsgPageWriteError(page->name, error);
  return false;
}

// Removes the record once the page is whole: the page's mark, flushed; or
// the journal, emptied and flushed first (enough for a later run to know
// that there is nothing to put back), then removed. Returns false when the
// record is still there.
bool ClearMark(Page* page, Mark* mark) {
  if (mark->on_page) {
    // Once removed, the mark is gone for every later run; should a power
    // loss bring it back, the page would be put back, its bytes kept.
    if (RemoveMark(&page->file) != MarkResult::kOk) return false;
    (void)FlushToDisk(&page->file);
    return true;
  }
  const bool emptied = SetLength(&mark->file, 0) && FlushToDisk(&mark->file);
  CloseFile(&mark->file);
  const bool removed = static_cast<bool>(RemoveFile(mark->journal));
  (void)FlushFolderOf(mark->journal);
  return emptied || removed;
}

// How the messages name the backup |path| that a record gives: as this run
// was given it when it is this run's backup, otherwise by its path from the
// current folder.
std::string ShownName(const std::string& path,
                      const std::string& nom_sauvegarde) {
  std::string real, here;
  if (RealName(nom_sauvegarde, &real) && real == path) return nom_sauvegarde;
  if (path.empty() || path[0] != '/' || !RealName(".", &here)) return path;
  if (here != "/") here += '/';
  std::size_t common = 0;
  for (std::size_t i = 0; i < here.size() && i < path.size(); ++i) {
    if (here[i] != path[i]) break;
    if (here[i] == '/') common = i + 1;
  }
  std::string shown;
  for (std::size_t i = common; i < here.size(); ++i) {
    if (here[i] == '/') shown += "../";
  }
  return shown + path.substr(common);
}

// A write of the new text over the page.
enum class Written { kOk, kFailed, kEdited };

// Copies the new text over the page from its start; then, before the page
// is cut to the new text's length, checks that its size is the one these
// writes give it: another size means that someone else changed the page
// meanwhile, and nothing more is written.
Written WriteNewText(File* from, File* page, const Record& r) {
  std::uint64_t total = 0;
  FileInfo now;
  if (!CopyFromStart(from, page, &total) || !GetFileInfo(page, &now)) {
    return Written::kFailed;
  }
  if (now.size != std::max(r.old_size, total)) return Written::kEdited;
  if (!SetLength(page, total) || !FlushToDisk(page)) return Written::kFailed;
  return Written::kOk;
}

// Leaves the new text's file on the disk when the record of the write stays
// on the page: the next run needs it to recognise what the write left.
void KeepForTheNextRun(Replacement* fresh) { fresh->temporary.clear(); }

}  // namespace

Recovery RecoverInterruptedRun(Page* page, const std::string& nom_sauvegarde,
                               std::string* err) {
  Mark mark;
  std::string text;
  switch (ReadMark(&page->file, &text)) {
    case MarkResult::kNone:
      return Recovery::kNone;
    case MarkResult::kError:
      *err = MsgPageReadError(page->name, page->file.error());
      return Recovery::kRefused;
    case MarkResult::kOk:
      break;
    case MarkResult::kUnsupported:
      mark.on_page = false;
      mark.journal = JournalName(page->real_name, page->info);
      switch (OpenJournal(*page, &mark, &text)) {
        case Found::kNone:
          return Recovery::kNone;
        case Found::kFound:
          break;
        case Found::kUntrusted:
          *err = MsgJournalUntrusted(mark.journal, page->name);
          return Recovery::kRefused;
        case Found::kError:
          *err =
              MsgRecoveryReadError(page->name, mark.journal, mark.file.error());
          return Recovery::kRefused;
      }
      break;
  }
  Record r;
  if (!ParseRecord(text, &r) || r.page_device != page->info.device ||
      r.page_inode != page->info.inode) {
    // A mark copied with the file from another one says nothing of this
    // file; a journal that names another file was not written for it.
    if (mark.on_page) return Recovery::kNone;
    *err = MsgJournalUntrusted(mark.journal, page->name);
    return Recovery::kRefused;
  }
  const std::string shown = ShownName(r.backup_path, nom_sauvegarde);
  const std::string clear =
      mark.on_page ? MsgClearMark(page->name) : MsgClearJournal(mark.journal);
  File backup, fresh;
  switch (OpenRecordedBackup(r, page->info, &backup)) {
    case Check::kYes:
      break;
    case Check::kNo:
      *err = MsgBackupNotTrusted(page->name, shown, clear);
      return Recovery::kRefused;
    case Check::kError:
      *err = MsgRecoveryReadError(page->name, shown, backup.error());
      return Recovery::kRefused;
  }
  (void)OpenRecordedNewText(r, &fresh);
  switch (LeftByTheWrite(&page->file, &backup, &fresh, r)) {
    case Check::kYes:
      break;
    case Check::kNo:
      *err = MsgEditedSince(page->name, shown, clear);
      return Recovery::kRefused;
    case Check::kError: {
      const int error = page->file.error() != 0 ? page->file.error()
                        : backup.error() != 0   ? backup.error()
                                                : fresh.error();
      *err = MsgRecoveryReadError(page->name, page->name, error);
      return Recovery::kRefused;
    }
  }
  if (!page->writable) {
    *err = MsgNotRestored(page->name, shown, AccessRefusedError());
    return Recovery::kRefused;
  }
  // Whatever the page holds now is kept before it is put back.
  std::string kept;
  File copy;
  if (!KeepBeside(page, &kept, &copy)) {
    *err = MsgNotKept(page->name, copy.error());
    return Recovery::kRefused;
  }
  HoldInterruptions();
  if (!CopyOver(&backup, &page->file)) {
    *err = MsgNotRestored(page->name, shown, ErrorOf(page->file, backup)) +
           MsgKeptIn(kept);
    return Recovery::kRefused;
  }
  (void)ClearMark(page, &mark);
  // The interrupted run's new text is of no more use.
  if (fresh.is_open()) {
    CloseFile(&fresh);
    (void)RemoveFile(r.new_path);
  }
  *err = MsgRestored(page->name, shown, kept);
  return Recovery::kRestored;
}

namespace {

// Copies the finished |fresh| over the page under a record of the write.
bool WriteInPlace(Page* page, Replacement* fresh, Replacement* backup,
                  std::string* err) {
  const std::string& nom_sauvegarde = backup->target;
  Record r;
  r.page_device = page->info.device;
  r.page_inode = page->info.inode;
  r.old_size = page->info.size;

  // The new text, whole in its temporary file.
  FileInfo info;
  if (!GetFileInfo(&fresh->reread, &info) ||
      !SumOf(&fresh->reread, &r.new_sum, &r.new_size) ||
      !RealName(fresh->temporary, &r.new_path)) {
    *err = MsgPageWriteError(page->name, fresh->reread.error());
    return false;
  }
  r.new_device = info.device;
  r.new_inode = info.inode;

  // The text the backup must hold, from the page through the run's handle;
  // then the backup, read again by its name: it must still be the file this
  // run wrote, with that text, and it must be now, for the page will be put
  // back from it.
  std::uint64_t sum = 0, size = 0;
  if (!SumAsBackup(&page->file, &sum, &size)) {
    *err = MsgPageReadError(page->name, page->file.error());
    return false;
  }
  File named;
  FileInfo written, now;
  if (OpenForReading(nom_sauvegarde, &named, Links::kRefuse) !=
      OpenReadResult::kOk) {
    *err = OpenFailed(named) == Check::kError
               ? MsgBackupReadError(nom_sauvegarde, page->name, named.error())
               : MsgBackupChanged(nom_sauvegarde, page->name);
    return false;
  }
  if (!GetFileInfo(&backup->reread, &written) || !GetFileInfo(&named, &now) ||
      !SumOf(&named, &r.backup_sum, &r.backup_size) ||
      !RealName(nom_sauvegarde, &r.backup_path)) {
    const int error =
        named.error() != 0 ? named.error() : backup->reread.error();
    *err = MsgBackupReadError(nom_sauvegarde, page->name, error);
    return false;
  }
  if (!SameFile(written, now) || now.links != 1 || r.backup_sum != sum ||
      r.backup_size != size) {
    *err = MsgBackupChanged(nom_sauvegarde, page->name);
    return false;
  }
  r.backup_device = now.device;
  r.backup_inode = now.inode;

  Mark mark;
  if (!SetMark(page, RecordText(r), &mark, err)) return false;

  // From the first byte written to the page until it is whole again, an
  // interruption waits: the page must not be left half-written.
  HoldInterruptions();
  switch (WriteNewText(&fresh->reread, &page->file, r)) {
    case Written::kOk:
      if (ClearMark(page, &mark)) return true;
      KeepForTheNextRun(fresh);
      *err =
          MsgInPlaceLeft(page->name, nom_sauvegarde,
                         mark.on_page ? page->file.error() : mark.file.error());
      return false;
    case Written::kEdited:
      // Nothing of what the other program wrote is cut or written over.
      (void)ClearMark(page, &mark);
      *err = MsgEditedDuringWrite(page->name, nom_sauvegarde);
      return false;
    case Written::kFailed:
      break;
  }
  const int kind = ErrorOf(page->file, fresh->reread);
  if (CopyOver(&backup->reread, &page->file) && ClearMark(page, &mark)) {
    *err = MsgInPlaceUndone(page->name, nom_sauvegarde, kind);
  } else {
    KeepForTheNextRun(fresh);
    *err = MsgInPlaceLeft(page->name, nom_sauvegarde, kind);
  }
  return false;
}

}  // namespace

bool ReplacePage(Page* page, Replacement* fresh, Replacement* backup,
                 std::string* err) {
  const Failure changed = StillTheSamePage(page);
  if (changed.failed()) {
    *err = MessageOf(changed, page->name);
    return false;
  }
  // A rename gives the page the new file's owner, group, attributes and
  // one name: only when they are the page's own does it keep the page as
  // it was.
  if (fresh->same_owner && fresh->same_attributes && page->info.links == 1) {
    if (PutInPlace(fresh, &page->file)) return true;
    if (Interrupted() || !ReopenPage(page)) {
      *err = Interrupted() ? MsgInterruption(page->name)
                           : MsgPageWriteError(page->name, fresh->error);
      return false;
    }
  }
  return WriteInPlace(page, fresh, backup, err);
}

bool HasUnfinishedWrite(File* file, const FileInfo& info,
                        const std::string& real_name) {
  std::string text;
  Record r;
  switch (ReadMark(file, &text)) {
    case MarkResult::kOk:
      return ParseRecord(text, &r) && r.page_device == info.device &&
             r.page_inode == info.inode;
    case MarkResult::kUnsupported: {
      FileInfo journal;
      bool exists = false;
      return GetNameInfo(JournalName(real_name, info), &journal, &exists) &&
             exists && journal.size > 0;
    }
    case MarkResult::kNone:
    case MarkResult::kError:
      break;
  }
  return false;
}
