#include "core/files/WriterLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "core/files/Checksum.h"
#include "core/files/Folders.h"
#include "core/files/Locations.h"
#include "core/files/Paths.h"

namespace vz {
namespace {

constexpr int kWaitSteps = 500;  // of 10 ms: a writer holds the lock for one save

// `path` with links resolved, also when the file itself is not there yet.
std::string Resolved(const std::string& path) {
  const std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
  if (real) return real.get();
  const std::unique_ptr<char, decltype(&std::free)> dir(::realpath(ParentDir(path).c_str(), nullptr),
                                                        &std::free);
  return dir ? std::string(dir.get()) + "/" + NamePart(path) : path;
}

bool Lock(int fd, WriterLock::Wait wait) {
  for (int step = 0;; ++step) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
    if (errno != EWOULDBLOCK || wait == WriterLock::Wait::kNever || step == kWaitSteps) return false;
    const timespec tenMs{0, 10'000'000};
    ::nanosleep(&tenMs, nullptr);
  }
}

std::string LockDir() { return BackupDir() + "/locks"; }

std::string LockName(const std::string& path) {
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(ChecksumOf(Resolved(path))));
  return LockDir() + "/" + hex + ".lock";
}

}  // namespace

bool WriterLock::Guards(const std::string& path) const { return !name_.empty() && name_ == LockName(path); }

WriterLock::WriterLock(const std::string& path, Wait wait) {
  if (!MakeDirs(LockDir())) return;
  const std::string name = LockName(path);
  // A holder that lets go removes the file: a lock taken on a file no longer
  // under that name guards nothing, and is taken again.
  for (int attempt = 0; attempt < 100; ++attempt) {
    Fd f(::open(name.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (f.fd < 0) return;
    if (!Lock(f.fd, wait)) {
      held_ = false;
      return;
    }
    struct stat byFd, byName;
    if (::fstat(f.fd, &byFd) == 0 && ::lstat(name.c_str(), &byName) == 0 && byFd.st_ino == byName.st_ino &&
        byFd.st_dev == byName.st_dev) {
      name_ = name;
      f_ = std::move(f);
      return;
    }
  }
}

WriterLock::~WriterLock() {
  if (!name_.empty()) ::unlink(name_.c_str());
}

}  // namespace vz
