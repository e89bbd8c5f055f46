#include "core/files/TempNames.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <random>

#include "core/files/Fd.h"
#include "core/files/Folders.h"
#include "core/files/Locations.h"
#include "core/files/Paths.h"
#include "core/files/ReadFile.h"

namespace vz {
namespace {

constexpr std::string_view kTempMark = ".vevez-";
constexpr std::size_t kSuffixLength = kTempSuffixTemplate.size();

std::string TempPrefix(const std::string& target) {
  return "." + NamePart(target).substr(0, 200) + std::string(kTempMark);
}

// True when `name` is `prefix` followed by exactly the six letters or
// digits of a suffix we make.
bool HasOurSuffix(std::string_view name, std::string_view prefix) {
  if (name.size() != prefix.size() + kSuffixLength || name.substr(0, prefix.size()) != prefix) return false;
  for (const char c : name.substr(prefix.size())) {
    if (!(c >= 'a' && c <= 'z') && !(c >= 'A' && c <= 'Z') && !(c >= '0' && c <= '9')) return false;
  }
  return true;
}

// A name any save could have given a temporary file: ".<name>.vevez-XXXXXX".
bool IsTempName(std::string_view name) {
  if (name.size() < kSuffixLength + kTempMark.size() + 2 || name[0] != '.') return false;
  const std::size_t mark = name.size() - kSuffixLength - kTempMark.size();
  return HasOurSuffix(name, name.substr(0, mark + kTempMark.size())) &&
         name.substr(mark, kTempMark.size()) == kTempMark;
}

std::string RecordName(dev_t dev, ino_t ino) {
  return BackupDir() + "/temporaries/" + std::to_string(dev) + "-" + std::to_string(ino);
}

// True when the file `st` describes is recorded as ours under `name`.
bool Recorded(const struct stat& st, std::string_view name) {
  int err = 0;
  const auto record = TryReadRegularFile(RecordName(st.st_dev, st.st_ino), err, nullptr, 4096);
  return record && *record == name;
}

// True when the temporary file `name` (an entry of the directory being
// cleaned, open as `fd`) is ours and its writer is gone; the lock taken
// stays until `fd` is closed.
bool IsStale(int fd, std::string_view name, struct stat& st) {
  // A temporary file of root's takes the owner of the file it replaces.
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || (st.st_uid != ::geteuid() && ::geteuid() != 0)) {
    return false;
  }
  char mark[8];
  if (::fgetxattr(fd, kTempMarkAttr, mark, sizeof mark) < 0 && !Recorded(st, name)) return false;
  return ::flock(fd, LOCK_EX | LOCK_NB) == 0;  // else its writer is still at work
}

}  // namespace

std::string TempPath(const std::string& target, std::string_view suffix) {
  return ParentDir(target) + "/" + TempPrefix(target) + std::string(suffix);
}

std::string RandomTempSuffix() {
  static std::mt19937_64 rng{std::random_device{}()};
  static constexpr char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::string s(kSuffixLength, 'x');
  for (char& c : s) c = kChars[rng() % (sizeof kChars - 1)];
  return s;
}

bool MarkTemp(int fd) {
  ::flock(fd, LOCK_EX);
  return ::fsetxattr(fd, kTempMarkAttr, "1", 1, 0) == 0;
}

void RecordTemp(dev_t dev, ino_t ino, const std::string& name) {
  const std::string record = RecordName(dev, ino);
  if (!MakeDirs(ParentDir(record))) return;
  Fd f(::open(record.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (f.fd >= 0) WriteAll(f.fd, NamePart(name));
}

void ForgetTemp(dev_t dev, ino_t ino) { ::unlink(RecordName(dev, ino).c_str()); }

void RemoveStaleTemps(const std::string& target) {
  const std::string dir = ParentDir(target);
  DIR* d = ::opendir(dir.c_str());
  if (!d) return;
  while (dirent* e = ::readdir(d)) {
    if (!IsTempName(e->d_name)) continue;
    const std::string name = dir + "/" + e->d_name;
    Fd f(::open(name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    struct stat byFd, byName;
    if (f.fd < 0 || !IsStale(f.fd, e->d_name, byFd)) continue;
    // Only the file that was looked at: the name may have moved on.
    if (::lstat(name.c_str(), &byName) == 0 && byName.st_ino == byFd.st_ino && byName.st_dev == byFd.st_dev &&
        ::unlink(name.c_str()) == 0) {
      ForgetTemp(byFd.st_dev, byFd.st_ino);
    }
  }
  ::closedir(d);
}

}  // namespace vz
