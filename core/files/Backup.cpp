#include "core/files/Backup.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "core/files/Fd.h"
#include "core/files/Paths.h"
#include "core/files/Sync.h"

namespace vz {
namespace {

std::string WithEnd(const std::string& name, std::string_view from, std::string_view to) {
  return name.substr(0, name.size() - from.size()) + std::string(to);
}

}  // namespace

std::string BackupTemplate(const std::string& dir, const std::string& target) {
  return dir + "/" + NamePart(target).substr(0, 200) + "-XXXXXX" + std::string(kBackupEnd);
}

std::string JournalOf(const std::string& backup) { return WithEnd(backup, kBackupEnd, kJournalEnd); }

std::string BackupOf(const std::string& journal) { return WithEnd(journal, kJournalEnd, kBackupEnd); }

std::string KeptOf(const std::string& backup) { return WithEnd(backup, kBackupEnd, kKeptEnd); }

bool HasEnd(std::string_view name, std::string_view end) {
  return name.size() > end.size() && name.substr(name.size() - end.size()) == end;
}

bool CopyAll(int from, int to) {
  char buf[65536];
  for (off_t at = 0;;) {
    const ssize_t n = ::pread(from, buf, sizeof buf, at);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    if (!WriteAll(to, std::string_view(buf, static_cast<std::size_t>(n)))) return false;
    at += n;
  }
}

bool PutBack(int backupFd, int fd) {
  struct stat st;
  return ::fstat(backupFd, &st) == 0 && ::lseek(fd, 0, SEEK_SET) == 0 && CopyAll(backupFd, fd) &&
         ::ftruncate(fd, st.st_size) == 0 && Sync(fd, SyncOf::kFileInPlace) == 0;
}

}  // namespace vz
