#include "core/files/Recovery.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <optional>

#include "core/files/Backup.h"
#include "core/files/Fd.h"
#include "core/files/Journal.h"
#include "core/files/Locations.h"

namespace vz {
namespace {

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

// Puts the file of a whole entry back from its backup, or keeps the backup
// under a name of its own when it cannot.
InterruptedRewrite Undo(const JournalEntry& entry) {
  InterruptedRewrite r{entry.file, entry.backup, false};
  Fd file(::open(r.file.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  struct stat st;
  r.restored =
      file.fd >= 0 && ::fstat(file.fd, &st) == 0 && S_ISREG(st.st_mode) && PutBack(r.backup, file.fd);
  const std::string kept = KeptOf(r.backup);
  if (!r.restored && ::rename(r.backup.c_str(), kept.c_str()) == 0) r.backup = kept;
  return r;
}

// Undoes the rewrite the journal entry `journal` names, unless it is still
// running, and removes the entry.
std::optional<InterruptedRewrite> Recover(const std::string& journal) {
  struct stat st;
  const Fd j = OpenOwn(journal, st);
  if (j.fd < 0 || ::flock(j.fd, LOCK_EX | LOCK_NB) != 0) return std::nullopt;  // still running
  std::optional<InterruptedRewrite> found;
  // An entry cut short was never synced: its rewrite had not begun.
  if (const auto entry = JournalEntry::Read(j.fd); entry && JournalOf(entry->backup) == journal) {
    found = Undo(*entry);
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
