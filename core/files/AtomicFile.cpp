#include "core/files/AtomicFile.h"

#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <utility>

#include "core/files/Error.h"
#include "core/files/InPlaceRewrite.h"
#include "core/files/Metadata.h"
#include "core/files/Paths.h"
#include "core/files/Sync.h"
#include "core/files/TempNames.h"

namespace vz {
namespace {

bool g_unnamedTemps = true;

// Follows symbolic links (also dangling ones) so that the file they point to
// is the one replaced, and the link itself stays.
std::string ResolveLinks(std::string path) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    std::string target(PATH_MAX, '\0');
    const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
    if (n <= 0) return path;
    target.resize(static_cast<std::size_t>(n));
    path = target[0] == '/' ? target : ParentDir(path) + "/" + target;
  }
  return path;
}

// True when `name` names the open file `fd`.
bool Names(const std::string& name, int fd) {
  struct stat byName, byFd;
  return ::stat(name.c_str(), &byName) == 0 && ::fstat(fd, &byFd) == 0 && byName.st_ino == byFd.st_ino &&
         byName.st_dev == byFd.st_dev;
}

// Gives the open unnamed file `fd` the name `name`: through /proc, or where
// that is missing through the descriptor itself (which ordinary users may
// not be allowed). False with errno set, EEXIST when the name is taken.
bool LinkOpenFile(int fd, const std::string& name) {
  const std::string viaProc = "/proc/self/fd/" + std::to_string(fd);
  if (::linkat(AT_FDCWD, viaProc.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
  const int err = errno;
  if (err == EEXIST) return false;
  if (::linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0) return true;
  if (errno == ENOENT) errno = err;  // the privilege is missing: the first reason stands
  return false;
}

}  // namespace

// A file-size limit must fail a write, not kill the program.
AtomicFile::FileSizeSignalIgnored::FileSizeSignalIgnored() {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGXFSZ, &ignore, &previous_);
}

AtomicFile::FileSizeSignalIgnored::~FileSizeSignalIgnored() { ::sigaction(SIGXFSZ, &previous_, nullptr); }

AtomicFile::Temp::~Temp() { Drop(); }

void AtomicFile::Temp::Drop() {
  if (!name.empty() && ::unlink(std::exchange(name, {}).c_str()) == 0) Forget();
  f = Fd();
}

// Without the mark, a record in the cache folder says the file is ours.
void AtomicFile::Temp::Record() {
  struct stat st;
  if (!marked && ::fstat(f.fd, &st) == 0) RecordTemp(st.st_dev, st.st_ino, name);
}

void AtomicFile::Temp::Forget() {
  struct stat st;
  if (!marked && ::fstat(f.fd, &st) == 0) ForgetTemp(st.st_dev, st.st_ino);
}

AtomicFile::AtomicFile(const std::string& path, Mode mode)
    : path_(path), target_(mode == Mode::kReplace ? ResolveLinks(path) : path), mode_(mode) {
  if (mode == Mode::kReplace) CheckReplaceable();
  // Every name of a file with several must see the new content.
  if (hadOld_ && old_.st_nlink > 1) {
    inPlace_ = std::make_unique<InPlaceRewrite>(path_, target_);
    return;
  }
  if (OpenTemp(hadOld_ ? (old_.st_mode & 0777) : NewFileMode())) {
    // A new file that cannot have all the old one has besides its bytes
    // would change who may read it: the old file is rewritten instead.
    if (!hadOld_ || CopyMetadata(target_, old_, temp_.f.fd)) return;
    temp_.Drop();
  } else if (!hadOld_ || (errno != EACCES && errno != EPERM)) {
    throw CreateError(path_, errno);
  }
  inPlace_ = std::make_unique<InPlaceRewrite>(path_, target_);
}

AtomicFile::~AtomicFile() = default;

void AtomicFile::CheckReplaceable() {
  // Still a link after resolving: a loop, or one that cannot be read.
  // Renaming over it would replace the link itself.
  if (::lstat(target_.c_str(), &old_) == 0 && S_ISLNK(old_.st_mode)) throw CreateError(path_);
  hadOld_ = ::stat(target_.c_str(), &old_) == 0;
  if (!hadOld_) return;
  if (!S_ISREG(old_.st_mode)) throw CreateError(path_);
  // Renaming over a file needs only the directory's permission; the file's
  // own says whether the user may change it. Root may write anything, but a
  // file with no write bit for anyone is read-only by choice.
  if ((old_.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) throw ReadOnlyError(path_);
  if (::faccessat(AT_FDCWD, target_.c_str(), W_OK, AT_EACCESS) != 0) throw CreateError(path_, errno);
}

// Opens the temporary file: unnamed where the file system allows it, else
// named; locked and marked as ours either way. False with errno set when
// the directory refuses.
bool AtomicFile::OpenTemp(mode_t mode) {
  if (g_unnamedTemps) {
    temp_.f = Fd(::open(ParentDir(target_).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode));
    if (temp_.f.fd >= 0) {
      temp_.marked = MarkTemp(temp_.f.fd);
      return true;
    }
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return false;
  }
  return OpenNamedTemp();
}

bool AtomicFile::OpenNamedTemp() {
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = TempPath(target_, kTempSuffixTemplate);
    Fd f(::mkostemp(name.data(), O_CLOEXEC));
    if (f.fd < 0) return false;
    const bool marked = MarkTemp(f.fd);
    // Another save may have taken it for stale before it was locked; then
    // the name is gone or names another file, and we start again.
    if (Names(name, f.fd)) {
      temp_.f = std::move(f);
      temp_.name = std::move(name);
      temp_.marked = marked;
      temp_.Record();
      return true;
    }
  }
  errno = EEXIST;
  return false;
}

// Gives an unnamed temporary file a name, just before the rename.
bool AtomicFile::NameTemp() {
  if (!temp_.name.empty()) return true;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = TempPath(target_, RandomTempSuffix());
    temp_.name = name;
    temp_.Record();  // before it has the name: a crash never leaves it unknown
    if (LinkOpenFile(temp_.f.fd, name)) return true;
    const int err = errno;
    temp_.Forget();
    temp_.name.clear();
    errno = err;
    if (err != EEXIST) return false;
  }
  return false;
}

bool AtomicFile::Write(std::string_view bytes) {
  if (failed_) return false;
  if (inPlace_) {
    inPlace_->Append(bytes);
    return true;
  }
  if (WriteAll(temp_.f.fd, bytes)) return true;
  failed_ = true;
  writeErr_ = errno;
  return false;
}

void AtomicFile::Fail() { failed_ = true; }

// Takes the mark off just before the file takes the target's name, so that
// the published file never carries it; a named temporary file is recorded
// first, so that a crash in between still leaves it known for ours.
void AtomicFile::Unmark() {
  if (!temp_.marked) return;
  temp_.marked = false;
  if (!temp_.name.empty()) temp_.Record();
  ::fremovexattr(temp_.f.fd, kTempMarkAttr);
}

// The single step that gives the new file the target's name.
void AtomicFile::Publish(const CommitFn& lastCheck) {
  if (mode_ == Mode::kReplace) {
    if (!NameTemp()) throw CreateError(path_, errno);
    // The last moment to decline: the content written must still stand
    // for what it was made from.
    if (lastCheck) lastCheck(false);
    Unmark();
    if (!ReplaceChecked()) throw CreateError(path_, errno);
    return;
  }
  if (lastCheck) lastCheck(false);
  Unmark();
  // Linking, unlike renaming, fails where something is already there.
  const bool linked = temp_.name.empty() ? LinkOpenFile(temp_.f.fd, target_)
                                         : ::link(temp_.name.c_str(), target_.c_str()) == 0;
  if (!linked) throw errno == EEXIST ? ExistsError(path_) : CreateError(path_, errno);
}

// Renames the temporary file over the target, and makes sure that what it
// replaced is the file the save began with: swapped with it, the old file is
// looked at under the temporary name and removed, or, when another writer
// had put a file there meanwhile, swapped back. False with errno set when
// renaming fails.
bool AtomicFile::ReplaceChecked() {
  const char* temp = temp_.name.c_str();
  if (!hadOld_) {
    if (::renameat2(AT_FDCWD, temp, AT_FDCWD, target_.c_str(), RENAME_NOREPLACE) == 0) {
      temp_.Forget();
      temp_.name.clear();
      return true;
    }
    if (errno == EEXIST) throw ChangedOnDiskError(path_);
    if (errno != EINVAL) return false;
  } else {
    // The old file is ours to remove should a crash leave it under the
    // temporary name.
    RecordTemp(old_.st_dev, old_.st_ino, temp_.name);
    if (::renameat2(AT_FDCWD, temp, AT_FDCWD, target_.c_str(), RENAME_EXCHANGE) == 0) {
      struct stat was;
      const bool same = ::lstat(temp, &was) == 0 && was.st_dev == old_.st_dev && was.st_ino == old_.st_ino &&
                        was.st_size == old_.st_size && was.st_mtim.tv_sec == old_.st_mtim.tv_sec &&
                        was.st_mtim.tv_nsec == old_.st_mtim.tv_nsec;
      if (!same) {
        ForgetTemp(old_.st_dev, old_.st_ino);
        // Where it cannot be swapped back, the other file stays under the
        // temporary name rather than be lost.
        if (::renameat2(AT_FDCWD, temp, AT_FDCWD, target_.c_str(), RENAME_EXCHANGE) != 0) temp_.name.clear();
        throw ChangedOnDiskError(path_);
      }
      if (::unlink(temp) == 0) ForgetTemp(old_.st_dev, old_.st_ino);
      temp_.Forget();
      temp_.name.clear();
      return true;
    }
    ForgetTemp(old_.st_dev, old_.st_ino);
    if (errno != EINVAL) return false;
  }
  // A file system that cannot swap names: the plain rename.
  if (::rename(temp, target_.c_str()) != 0) return false;
  temp_.Forget();
  temp_.name.clear();
  return true;
}

FileStamp AtomicFile::Commit(const CommitFn& lastCheck) {
  if (failed_) throw WriteError(path_, writeErr_);
  if (inPlace_) {
    return inPlace_->Commit([&] {
      if (lastCheck) lastCheck(true);
    });
  }
  if (hadOld_) {
    ::fchmod(temp_.f.fd, old_.st_mode & 07777);  // writing may have taken set-id bits off
  } else if (!temp_.name.empty()) {
    ::fchmod(temp_.f.fd, NewFileMode());  // a named temporary file starts private
  }
  // Bytes and what the file has besides them reach the disk together.
  if (Sync(temp_.f.fd, SyncOf::kNewFile) != 0) throw WriteError(path_, errno);
  Publish(lastCheck);
  // A temporary name still there (a link made a new file) goes first.
  if (!temp_.name.empty() && ::unlink(std::exchange(temp_.name, {}).c_str()) == 0) temp_.Forget();
  const FileStamp stamp = StampOfOpenFile(temp_.f.fd);
  // Make the publishing step itself durable.
  if (!SyncDir(ParentDir(target_), SyncOf::kDirectory)) throw WriteError(path_, errno);
  RemoveStaleTemps(target_);
  return stamp;
}

namespace {

FileStamp WriteThrough(AtomicFile& file, const ProduceFn& produce, const CommitFn& commit) {
  if (!produce([&file](std::string_view bytes) { return file.Write(bytes); })) file.Fail();
  return file.Commit(commit);
}

}  // namespace

FileStamp WriteFileAtomic(const std::string& path, std::string_view data) {
  return WriteFileAtomic(path, [data](const WriteFn& write) { return write(data); });
}

FileStamp WriteFileAtomic(const std::string& path, const ProduceFn& produce, const CommitFn& commit) {
  AtomicFile file(path, AtomicFile::Mode::kReplace);
  return WriteThrough(file, produce, commit);
}

FileStamp WriteNewFile(const std::string& path, const ProduceFn& produce) {
  AtomicFile file(path, AtomicFile::Mode::kCreateOnly);
  return WriteThrough(file, produce, {});
}

bool AllowUnnamedTemporaries(bool allow) { return std::exchange(g_unnamedTemps, allow); }

}  // namespace vz
