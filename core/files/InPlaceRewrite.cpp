#include "core/files/InPlaceRewrite.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <string>

#include "core/files/Backup.h"
#include "core/files/Checksum.h"
#include "core/files/Error.h"
#include "core/files/Folders.h"
#include "core/files/Journal.h"
#include "core/files/Locations.h"
#include "core/files/Sync.h"

namespace vz {

InPlaceRewrite::InPlaceRewrite(std::string path, const std::string& target)
    : path_(std::move(path)),
      target_(target),
      file_(::open(target.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK)) {
  if (file_.fd < 0 || ::fstat(file_.fd, &start_) != 0) throw CreateError(path_, errno);
  if (!S_ISREG(start_.st_mode)) throw CreateError(path_);
}

InPlaceRewrite::~InPlaceRewrite() {
  if (keep_) return;
  if (!journal_.empty()) ::unlink(journal_.c_str());
  if (!backup_.empty()) ::unlink(backup_.c_str());
}

// The old content goes to a new backup file, locked for as long as the
// rewrite runs, and is synced with its directory.
void InPlaceRewrite::MakeBackup() {
  dir_ = BackupDir();
  std::string name = BackupTemplate(dir_, target_);
  if (!MakeDirs(dir_) ||
      (backupFd_ = Fd(::mkostemps(name.data(), static_cast<int>(kBackupEnd.size()), O_CLOEXEC))).fd < 0) {
    throw BackupError(path_, dir_, errno);  // no backup: the file stays untouched
  }
  backup_ = std::move(name);
  ::flock(backupFd_.fd, LOCK_EX);
  if (!CopyAll(file_.fd, backupFd_.fd) || Sync(backupFd_.fd, SyncOf::kBackup) != 0 ||
      !SyncDir(dir_, SyncOf::kBackupDirectory)) {
    throw CreateError(path_, errno);
  }
}

// The entry that names the file and its backup and what recovery must find,
// locked and synced with its directory before the file changes.
void InPlaceRewrite::WriteJournal(const std::string& absolute, std::uint64_t backupSum) {
  struct stat now;
  if (::fstat(file_.fd, &now) != 0) throw CreateError(path_, errno);
  JournalEntry e{absolute, backup_};
  e.dev = now.st_dev;
  e.ino = now.st_ino;
  e.oldLength = static_cast<std::uint64_t>(now.st_size);
  e.mtimeNs = now.st_mtim.tv_sec * 1000000000LL + now.st_mtim.tv_nsec;
  e.ctimeNs = now.st_ctim.tv_sec * 1000000000LL + now.st_ctim.tv_nsec;
  e.length = data_.size();
  e.sum = ChecksumOf(data_);
  e.backupLength = static_cast<std::uint64_t>(start_.st_size);
  e.backupSum = backupSum;
  const std::optional<std::string> entry = e.Bytes();
  if (!entry) throw CreateError(path_, ENAMETOOLONG);
  journal_ = JournalOf(backup_);
  // Written unnamed and given its name once synced, an entry is never seen
  // cut short; where the file system has no unnamed files it is written
  // under its name, and recovery keeps the backup of an entry cut short.
  journalFd_ = Fd(::open(dir_.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
  const bool unnamed = journalFd_.fd >= 0;
  if (!unnamed) {
    journalFd_ = Fd(::open(journal_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
  }
  const std::string viaProc = "/proc/self/fd/" + std::to_string(journalFd_.fd);
  if (journalFd_.fd < 0 || ::flock(journalFd_.fd, LOCK_EX) != 0 || !WriteAll(journalFd_.fd, *entry) ||
      Sync(journalFd_.fd, SyncOf::kJournal) != 0 ||
      (unnamed && ::linkat(AT_FDCWD, viaProc.c_str(), AT_FDCWD, journal_.c_str(), AT_SYMLINK_FOLLOW) != 0) ||
      !SyncDir(dir_, SyncOf::kBackupDirectory)) {
    throw CreateError(path_, errno);
  }
}

// The new content over the old; when that fails, the old content goes back
// at once, or the backup stays for the user.
void InPlaceRewrite::Rewrite() {
  if (::lseek(file_.fd, 0, SEEK_SET) == 0 && WriteAll(file_.fd, data_) &&
      ::ftruncate(file_.fd, static_cast<off_t>(data_.size())) == 0 &&
      Sync(file_.fd, SyncOf::kFileInPlace) == 0) {
    return;
  }
  const int err = errno;
  keep_ = !PutBack(backupFd_.fd, file_.fd);
  throw WriteError(path_, err, keep_ ? backup_ : std::string());
}

FileStamp InPlaceRewrite::Commit(const std::function<void()>& afterBackup) {
  const std::unique_ptr<char, decltype(&std::free)> real(::realpath(target_.c_str(), nullptr), &std::free);
  if (!real) throw CreateError(path_, errno);
  const std::string absolute = real.get();
  MakeBackup();
  // The content was taken from the lines before the backup was made: it
  // must still stand for what they were read from.
  if (afterBackup) afterBackup();
  // Recovery trusts only a backup of the file's length with this checksum;
  // a file that changed since it was copied is left to whoever changed it.
  struct stat copied;
  const std::optional<std::uint64_t> backupSum = ChecksumOfFile(backupFd_.fd);
  if (!backupSum || ::fstat(backupFd_.fd, &copied) != 0 || ::fstat(file_.fd, &start_) != 0) {
    throw CreateError(path_, errno);
  }
  if (copied.st_size != start_.st_size) throw ChangedOnDiskError(path_);
  if (!data_.empty() &&
      ::fallocate(file_.fd, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(data_.size())) != 0) {
    throw CreateError(path_, errno);
  }
  WriteJournal(absolute, *backupSum);
  Rewrite();
  // Once the entry is gone for good, a crash can no longer put the old
  // content back over the new.
  ::unlink(journal_.c_str());
  if (!SyncDir(dir_, SyncOf::kBackupDirectory)) throw WriteError(path_, errno);
  return StampOfOpenFile(file_.fd);
}

}  // namespace vz
