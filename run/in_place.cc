#include "run/in_place.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <sstream>

#include "run/checksum.h"
#include "run/messages.h"
#include "text/interrupt.h"

namespace {

constexpr std::size_t kBlock = 256 * 1024;
constexpr char kJournalHeader[] = "brantix journal 1";

// The backup as the journal records it.
struct BackupRecord {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::uint64_t size = 0;
  std::uint64_t checksum = 0;
  std::string path;  ///< Its full name, links followed.
};

// Writes the whole of |from| over |to| from its start, cuts |to| to that
// length and flushes it to the disk. On failure, |error| is the system's
// error number of the file that failed.
bool CopyOver(File* from, File* to, int* error) {
  if (!RewindFile(from) || !RewindFile(to)) {
    *error = from->error() != 0 ? from->error() : to->error();
    return false;
  }
  auto buffer = std::make_unique<char[]>(kBlock);
  std::uint64_t total = 0;
  for (;;) {
    std::int64_t got = ReadSome(from, buffer.get(), kBlock);
    if (got < 0) return *error = from->error(), false;
    if (got == 0) break;
    if (!WriteAll(to, buffer.get(), static_cast<std::size_t>(got))) {
      return *error = to->error(), false;
    }
    total += static_cast<std::uint64_t>(got);
  }
  if (!SetLength(to, total) || !FlushToDisk(to)) {
    return *error = to->error(), false;
  }
  return true;
}

// |value| as 16 hexadecimal digits.
std::string Hex(std::uint64_t value) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text(16, '0');
  for (int i = 15; i >= 0; --i, value >>= 4) text[i] = kDigits[value & 15];
  return text;
}

std::string JournalText(const Page& page, const BackupRecord& backup) {
  std::ostringstream out;
  out << kJournalHeader << "\npage " << page.info.device << ' '
      << page.info.inode << "\nbackup " << backup.device << ' ' << backup.inode
      << ' ' << backup.size << ' ' << backup.checksum << '\n'
      << backup.path;
  return out.str();
}

bool ParseJournal(const std::string& text, const Page& page,
                  BackupRecord* backup) {
  std::istringstream in(text);
  std::string header, page_word, backup_word;
  std::uint64_t device = 0, inode = 0;
  if (!std::getline(in, header) || header != kJournalHeader ||
      !(in >> page_word >> device >> inode) || page_word != "page" ||
      device != page.info.device || inode != page.info.inode ||
      !(in >> backup_word >> backup->device >> backup->inode >> backup->size >>
        backup->checksum) ||
      backup_word != "backup" || in.get() != '\n' ||
      !std::getline(in, backup->path, '\0') || backup->path.empty()) {
    return false;
  }
  return true;
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
    if (text->size() > 16384) return false;
  }
}

// Opens the backup a journal names, and checks that it is still the very
// file, with the very bytes, that the journal recorded.
bool OpenRecordedBackup(const BackupRecord& record, File* backup) {
  FileInfo info;
  std::uint64_t sum = 0, size = 0;
  return OpenForReading(record.path, backup, Links::kRefuse) ==
             OpenReadResult::kOk &&
         GetFileInfo(backup, &info) && info.device == record.device &&
         info.inode == record.inode && info.size == record.size &&
         SumOf(backup, &sum, &size) && size == record.size &&
         sum == record.checksum;
}

// Ends the journal's life: emptied and flushed first, which is enough for
// a later run to know that there is nothing to put back, then removed.
void RemoveJournal(const std::string& journal, File* file) {
  (void)(SetLength(file, 0) && FlushToDisk(file));
  CloseFile(file);
  RemoveFile(journal);
  FlushFolderOf(journal);
}

}  // namespace

std::string JournalName(const Page& page) {
  return FolderPart(page.real_name) + ".brantix-" + Hex(page.info.device) +
         "-" + Hex(page.info.inode) + ".journal";
}

Recovery RecoverInterruptedRun(Page* page, std::string* err) {
  const std::string journal = JournalName(*page);
  File file;
  OpenReadResult opened = OpenForReading(journal, &file, Links::kRefuse);
  if (opened != OpenReadResult::kOk) {
    FileInfo ignored;
    bool exists = true;
    if (opened == OpenReadResult::kCannotOpen &&
        GetNameInfo(journal, &ignored, &exists) && !exists) {
      return Recovery::kNone;
    }
    *err = MsgJournalUntrusted(journal, page->name);
    return Recovery::kRefused;
  }
  // Someone else could have left a journal and a backup of their own in a
  // shared folder: only this user's or the page owner's journal counts.
  FileInfo info;
  std::string text;
  BackupRecord record;
  File backup;
  // An empty journal is one whose run had finished: nothing to put back.
  if (GetFileInfo(&file, &info) && info.size == 0) {
    CloseFile(&file);
    RemoveFile(journal);
    return Recovery::kNone;
  }
  if (!GetFileInfo(&file, &info) ||
      (FilesHaveOwners() && info.owner != CurrentUser() &&
       info.owner != page->info.owner) ||
      !ReadSmallFile(&file, &text) || !ParseJournal(text, *page, &record) ||
      !OpenRecordedBackup(record, &backup)) {
    *err = MsgJournalUntrusted(journal, page->name);
    return Recovery::kRefused;
  }
  int error = 0;
  HoldInterruptions();
  if (!page->writable || !CopyOver(&backup, &page->file, &error)) {
    *err =
        MsgNotRestored(page->name, record.path,
                       page->writable ? KindOf(error) : FailureKind::kRefused);
    return Recovery::kRefused;
  }
  // Put back, the page is its backup: a journal left now would only put
  // the same text back again.
  RemoveJournal(journal, &file);
  *err = MsgRestored(page->name, record.path);
  return Recovery::kRestored;
}

bool WriteInPlace(Page* page, Replacement* fresh, Replacement* backup,
                  std::string* err) {
  // The backup the journal relies on: the file this run wrote and renamed,
  // still under its name, with the bytes it holds now.
  BackupRecord record;
  FileInfo info, named;
  bool exists = false;
  if (!GetFileInfo(&backup->reread, &info) ||
      !SumOf(&backup->reread, &record.checksum, &record.size) ||
      !RealName(backup->target, &record.path) ||
      !GetNameInfo(record.path, &named, &exists) || !exists ||
      !SameFile(info, named) || info.size != record.size) {
    *err = MsgPageWriteError(page->name, KindOf(backup->reread.error()));
    return false;
  }
  record.device = info.device;
  record.inode = info.inode;

  const std::string journal = JournalName(*page);
  const std::string text = JournalText(*page, record);
  File file;
  int error = 0;
  if (!CreateExclusive(journal, &file, &error)) {
    *err = MsgPageWriteError(page->name, KindOf(error));
    return false;
  }
  if (!WriteAll(&file, text.data(), text.size()) || !FlushToDisk(&file)) {
    error = file.error();
    CloseFile(&file);
    RemoveFile(journal);
    *err = MsgPageWriteError(page->name, KindOf(error));
    return false;
  }
  FlushFolderOf(journal);

  // From the first byte written to the page until it is whole again, an
  // interruption waits: the page must not be left half-written.
  HoldInterruptions();
  if (!CopyOver(&fresh->reread, &page->file, &error)) {
    int ignored = 0;
    const FailureKind kind = KindOf(error);
    if (CopyOver(&backup->reread, &page->file, &ignored)) {
      RemoveJournal(journal, &file);
      *err = MsgInPlaceUndone(page->name, backup->target, kind);
    } else {
      *err = MsgInPlaceLeft(page->name, backup->target, kind);
    }
    return false;
  }
  RemoveJournal(journal, &file);
  return true;
}
