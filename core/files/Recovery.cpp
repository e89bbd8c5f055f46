#include "core/files/Recovery.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <optional>

#include "core/files/Backup.h"
#include "core/files/Checksum.h"
#include "core/files/Error.h"
#include "core/files/Fd.h"
#include "core/files/Journal.h"
#include "core/files/Locations.h"

namespace vz {
namespace {

using Outcome = InterruptedRewrite::Outcome;

constexpr std::time_t kKeptLifetime = 7 * 24 * 60 * 60;

std::vector<std::string> NamesIn(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = ::opendir(dir.c_str())) {
    while (dirent* e = ::readdir(d)) names.emplace_back(e->d_name);
    ::closedir(d);
  }
  return names;
}

// Opens a regular file of the user's in the backup folder, never through a
// link; `st` describes it.
Fd OpenOwn(const std::string& path, struct stat& st) {
  Fd f(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (f.fd >= 0 && ::fstat(f.fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid()) return f;
  return Fd();
}

// The file the entry names, opened for writing without following a link,
// when it is still the file the rewrite began on; else why not.
Fd OpenSameFile(const JournalEntry& e, std::string& why) {
  Fd f(::open(e.file.c_str(), O_RDWR | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  struct stat st;
  if (f.fd < 0) {
    why = errno == ELOOP ? "シンボリックリンクに置き換えられていました" : ReasonText(errno);
  } else if (::fstat(f.fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_dev != e.dev || st.st_ino != e.ino) {
    why = "別のファイルに置き換えられていました";
  } else if (const auto size = static_cast<std::uint64_t>(st.st_size);
             size != e.oldLength && size != e.length && (size < e.oldLength || size > e.length)) {
    // The rewrite leaves the old length, or grows the file up to the new
    // length and then cuts it there: any other length came later.
    why = "長さが保存の途中のものではありません。後から変更されています";
  } else {
    return f;
  }
  return Fd();
}

// The backup, opened when it is whole: the length and checksum the entry
// records; else why not.
Fd OpenWholeBackup(const JournalEntry& e, std::string& why) {
  struct stat st;
  Fd b = OpenOwn(e.backup, st);
  if (b.fd < 0) {
    why = "バックアップ " + e.backup + " がありません";
  } else if (static_cast<std::uint64_t>(st.st_size) != e.backupLength) {
    why = "バックアップの長さが記録と違います (切り詰められています)";
  } else if (ChecksumOfFile(b.fd) != e.backupSum) {
    why = "バックアップの内容が記録と違います (変更されています)";
  } else {
    return b;
  }
  return Fd();
}

// True when the open file `fd` holds exactly `length` bytes summing to `sum`.
bool Holds(int fd, std::uint64_t length, std::uint64_t sum) {
  struct stat st;
  return ::fstat(fd, &st) == 0 && static_cast<std::uint64_t>(st.st_size) == length &&
         ChecksumOfFile(fd) == sum;
}

// Keeps the backup under a name of its own, when there is one to keep.
void KeepBackup(InterruptedRewrite& r) {
  struct stat st;
  const std::string kept = KeptOf(r.backup);
  if (::lstat(r.backup.c_str(), &st) == 0 && ::rename(r.backup.c_str(), kept.c_str()) == 0) {
    r.backup = kept;
  } else {
    r.backup.clear();
  }
}

// Puts the file of a whole entry back from its backup, when both are what
// the entry says; or writes nothing and keeps the backup.
InterruptedRewrite Undo(const JournalEntry& entry) {
  InterruptedRewrite r{entry.file, entry.backup, Outcome::kKept, {}};
  const Fd file = OpenSameFile(entry, r.why);
  if (file.fd >= 0 && Holds(file.fd, entry.length, entry.sum)) {
    r.outcome = Outcome::kFinished;
  } else if (file.fd >= 0) {
    const Fd backup = OpenWholeBackup(entry, r.why);
    if (backup.fd >= 0 && Holds(file.fd, entry.backupLength, entry.backupSum)) {
      r.outcome = Outcome::kUnchanged;
    } else if (backup.fd >= 0 && PutBack(backup.fd, file.fd)) {
      r.outcome = Outcome::kRestored;
    } else if (backup.fd >= 0) {
      r.why = ReasonText(errno);
    }
  }
  if (r.outcome == Outcome::kKept) {
    KeepBackup(r);
  } else {
    ::unlink(r.backup.c_str());
    r.backup.clear();
  }
  return r;
}

// Undoes the rewrite the journal entry `journal` names, unless it is still
// running, and removes the entry. An entry of another user's, or one that
// is not whole, is never obeyed.
std::optional<InterruptedRewrite> Recover(const std::string& journal) {
  struct stat st;
  const Fd j(::open(journal.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (j.fd < 0 || ::fstat(j.fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
    return InterruptedRewrite{
        journal, {}, Outcome::kIgnored, "他のユーザーのもの、または通常のファイルではありません"};
  }
  // A running rewrite holds its backup from before the entry is made, and
  // the entry from before it is written.
  const std::string backup = BackupOf(journal);
  struct stat bs;
  const Fd b = OpenOwn(backup, bs);
  if ((b.fd >= 0 && ::flock(b.fd, LOCK_SH | LOCK_NB) != 0) || ::flock(j.fd, LOCK_EX | LOCK_NB) != 0) {
    return std::nullopt;  // still running
  }
  std::optional<InterruptedRewrite> found;
  if (const auto entry = JournalEntry::Read(j.fd); entry && JournalOf(entry->backup) == journal) {
    found = Undo(*entry);
  } else {
    // Cut short (never synced: its rewrite had not begun) or not an entry at
    // all: the backup beside it, if any, is kept all the same.
    found = InterruptedRewrite{journal, backup, Outcome::kIgnored, "保存の記録として読めません"};
    KeepBackup(*found);
  }
  ::unlink(journal.c_str());
  return found;
}

// Removes a backup no journal entry names: of a rewrite that never began or
// that ended (unless its writer still holds it), or one kept for over a week.
void RemoveIfForgotten(const std::string& backup, bool kept, std::time_t now) {
  struct stat st, js;
  const Fd b = OpenOwn(backup, st);
  if (b.fd >= 0 &&
      (kept ? st.st_mtime < now - kKeptLifetime
            : ::lstat(JournalOf(backup).c_str(), &js) != 0 && ::flock(b.fd, LOCK_EX | LOCK_NB) == 0)) {
    ::unlink(backup.c_str());
  }
}

}  // namespace

std::vector<InterruptedRewrite> RecoverInterruptedRewrites() {
  std::vector<InterruptedRewrite> found;
  const std::string dir = BackupDir();
  const std::vector<std::string> names = NamesIn(dir);
  for (const std::string& name : names) {
    if (!HasEnd(name, kJournalEnd)) continue;
    if (auto r = Recover(dir + "/" + name)) found.push_back(std::move(*r));
  }
  const std::time_t now = std::time(nullptr);
  for (const std::string& name : names) {
    const bool kept = HasEnd(name, kKeptEnd);
    if (!kept && !HasEnd(name, kBackupEnd)) continue;
    RemoveIfForgotten(dir + "/" + name, kept, now);
  }
  return found;
}

}  // namespace vz
