// The I/O of a "brantix PAGE -1" run and nothing else, for bench/run.sh to
// time beside the real run: the run's wall time over this one's tells what
// its computing adds to the reads, writes, flushes and renames it cannot do
// without. Linux only, like bench/run.sh.
//
//   brantix_io_skeleton PAGE BACKUP_SIZE NEW_SIZE
//
// BACKUP_SIZE and NEW_SIZE are the sizes of the backup and of the new page
// that a real run gives (bench/run.sh takes them from one). The system calls
// are those of the run, in its order, with its buffer sizes:
//   - the page is opened and locked, and read once whole when it was changed
//     less than a time step before, as the run does to take its checksum
//     then;
//   - the new page's and the backup's temporary files are created beside it
//     and given the page's owner and rights;
//   - the page is read again, 256 KiB at a time; after each read, the backup
//     gets that read's share of BACKUP_SIZE, and the new page its share of
//     NEW_SIZE through a 256 KiB buffer; each file is asked to go to the
//     disk every 8 MiB (sync_file_range);
//   - both are flushed (fsync) and closed, the backup is renamed to
//     PAGE.orig and the folder flushed, then the new page replaces PAGE and
//     the folder is flushed again.
// The bytes written are the page's own, repeated: nothing is computed.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kBuffer = 256 * 1024;
constexpr std::uint64_t kFlushStep = 8 * 1024 * 1024;

[[noreturn]] void Fail(const char* what) {
  std::perror(what);
  std::exit(1);
}

// A file written as the run's writers write theirs, with write-behind.
struct Output {
  int fd = -1;
  std::uint64_t written = 0;

  void Write(const char* data, std::size_t size) {
    while (size > 0) {
      const ssize_t done = write(fd, data, size);
      if (done < 0) Fail("write");
      const std::uint64_t before = written;
      written += static_cast<std::uint64_t>(done);
      if (written / kFlushStep != before / kFlushStep) {
        const std::uint64_t from = before / kFlushStep * kFlushStep;
        const std::uint64_t to = written / kFlushStep * kFlushStep;
        sync_file_range(fd, static_cast<off_t>(from),
                        static_cast<off_t>(to - from), SYNC_FILE_RANGE_WRITE);
      }
      data += done;
      size -= static_cast<std::size_t>(done);
    }
  }

  void Finish() {
    if (fsync(fd) != 0) Fail("fsync");
    if (close(fd) != 0) Fail("close");
  }
};

int CreateBeside(const std::string& name, const struct stat& page) {
  const int fd = open(name.c_str(),
                      O_RDWR | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0600);
  if (fd < 0) Fail("open");
  if (fchown(fd, page.st_uid, page.st_gid) != 0) Fail("fchown");
  if (fchmod(fd, page.st_mode & 07777) != 0) Fail("fchmod");
  return fd;
}

void FlushFolder(const std::string& folder) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) Fail("open folder");
  if (fsync(fd) != 0) Fail("fsync folder");
  close(fd);
}

std::size_t ReadSome(int fd, char* into) {
  const ssize_t got = read(fd, into, kBuffer);
  if (got < 0) Fail("read");
  return static_cast<std::size_t>(got);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fputs("usage: brantix_io_skeleton PAGE BACKUP_SIZE NEW_SIZE\n",
               stderr);
    return 2;
  }
  const std::string page_name = argv[1];
  const std::uint64_t backup_size = std::strtoull(argv[2], nullptr, 10);
  const std::uint64_t new_size = std::strtoull(argv[3], nullptr, 10);
  const std::size_t slash = page_name.rfind('/');
  const std::string folder =
      slash == std::string::npos ? "." : page_name.substr(0, slash + 1);

  const int page = open(page_name.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (page < 0) Fail("open page");
  struct stat info;
  if (fstat(page, &info) != 0) Fail("fstat");
  if (flock(page, LOCK_EX | LOCK_NB) != 0) Fail("flock");
  const std::uint64_t page_size = static_cast<std::uint64_t>(info.st_size);
  // A backup is at most twice the page, every byte an LF made CR LF: the
  // writes below come from a buffer of twice a read.
  if (backup_size > 2 * page_size) {
    std::fputs("brantix_io_skeleton: BACKUP_SIZE is over twice the page\n",
               stderr);
    return 2;
  }

  // The checksum's read, when the page's times may hide an edit.
  timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  const auto nanoseconds = [](const timespec& t) {
    return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
  };
  const std::int64_t modified = nanoseconds(info.st_mtim);
  const std::int64_t changed = nanoseconds(info.st_ctim);
  const bool whole_seconds =
      modified % 1000000000 == 0 && changed % 1000000000 == 0;
  const std::int64_t step = whole_seconds ? 2100000000 : 50000000;
  if (nanoseconds(now) - std::max(modified, changed) < step) {
    std::vector<char> buffer(kBuffer);
    while (ReadSome(page, buffer.data()) > 0) {
    }
  }

  const std::string new_temp = folder + "/brantix-skeleton-new.tmp";
  const std::string backup_temp = folder + "/brantix-skeleton-backup.tmp";
  Output out{CreateBeside(new_temp, info)};
  Output backup{CreateBeside(backup_temp, info)};

  // The rewrite's read, with its writes: each file gets its share of its
  // size. A read's share of the backup is at most twice the read, each LF
  // becoming CR LF.
  if (lseek(page, 0, SEEK_SET) != 0) Fail("lseek");
  std::vector<char> bytes(2 * kBuffer);
  std::uint64_t read_so_far = 0;
  std::uint64_t pending = 0;  // New-page bytes not yet written.
  for (;;) {
    const std::size_t got = ReadSome(page, bytes.data());
    if (got == 0) break;
    const std::uint64_t before = read_so_far;
    read_so_far += got;
    const auto share = [&](std::uint64_t total, std::uint64_t at) {
      return page_size == 0 ? 0 : total * at / page_size;
    };
    backup.Write(bytes.data(),
                 static_cast<std::size_t>(share(backup_size, read_so_far) -
                                          share(backup_size, before)));
    pending += share(new_size, read_so_far) - share(new_size, before);
    while (pending >= kBuffer) {
      out.Write(bytes.data(), kBuffer);
      pending -= kBuffer;
    }
  }
  out.Write(bytes.data(), static_cast<std::size_t>(pending));

  out.Finish();
  backup.Finish();
  if (rename(backup_temp.c_str(), (page_name + ".orig").c_str()) != 0) {
    Fail("rename backup");
  }
  FlushFolder(folder);
  if (rename(new_temp.c_str(), page_name.c_str()) != 0) Fail("rename page");
  FlushFolder(folder);
  close(page);
  return 0;
}
