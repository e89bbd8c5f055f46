#include "wordlist/FileIO.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <random>
#include <utility>

#include "wordlist/Error.h"
#include "wordlist/HugePages.h"

namespace vz {
namespace {

FileStamp FromStat(const struct stat& st) {
  FileStamp s;
  s.exists = true;
  s.dev = st.st_dev;
  s.ino = st.st_ino;
  s.size = static_cast<std::uint64_t>(st.st_size);
  s.mtimeNs = std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  s.ctimeNs = std::int64_t(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
  return s;
}

SyncFn g_sync = ::fsync;

// Closes a descriptor on every path out of a function.
struct Fd {
  int fd = -1;
  Fd() = default;
  explicit Fd(int f) : fd(f) {}
  Fd(Fd&& o) noexcept : fd(std::exchange(o.fd, -1)) {}
  Fd& operator=(Fd&& o) noexcept {
    std::swap(fd, o.fd);
    return *this;
  }
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
};

std::string DirName(const std::string& path) {
  auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Follows symbolic links (also dangling ones) so that the file they point to
// is the one replaced, and the link itself stays.
std::string ResolveLinks(std::string path) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    std::string target(PATH_MAX, '\0');
    ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
    if (n <= 0) return path;
    target.resize(static_cast<size_t>(n));
    path = target[0] == '/' ? target : DirName(path) + "/" + target;
  }
  return path;
}

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// What open(O_CREAT, 0666) would give a new file under the current umask.
mode_t NewFileMode() {
  mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

}  // namespace

FileStamp StampOf(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return {};
  return FromStat(st);
}

FileStamp StampOfOpenFile(int fd) {
  struct stat st;
  if (::fstat(fd, &st) != 0) return {};
  return FromStat(st);
}

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string ReadRegularFile(const std::string& path, FileStamp* stamp) {
  // O_NONBLOCK keeps open() from waiting for a writer on a FIFO; the file
  // type is checked on the descriptor before anything is read.
  Fd f{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY)};
  struct stat st;
  if (f.fd < 0 || ::fstat(f.fd, &st) != 0 || !S_ISREG(st.st_mode)) throw OpenError(path);
  std::string data;
  data.reserve(static_cast<size_t>(st.st_size));
  AdviseHugePages(data.data(), data.capacity());
  data.resize(static_cast<size_t>(st.st_size));
  size_t got = 0;
  for (;;) {
    ssize_t n;
    if (got < data.size()) {
      n = ::read(f.fd, data.data() + got, data.size() - got);
      if (n > 0) got += static_cast<size_t>(n);
    } else {
      // All the bytes fstat promised are in. Look for more (the file grew
      // meanwhile) through a small buffer: growing the whole string just to
      // meet the end of the file would copy all of it.
      char more[16384];
      n = ::read(f.fd, more, sizeof more);
      if (n > 0) got = data.append(more, static_cast<size_t>(n)).size();
    }
    if (n > 0) continue;
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw OpenError(path);
    break;
  }
  data.resize(got);
  if (stamp) *stamp = FromStat(st);
  return data;
}

namespace {

// A file-size limit must fail a write, not kill the program.
class IgnoreFileSizeSignal {
 public:
  IgnoreFileSizeSignal() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGXFSZ, &ignore, &previous_);
  }
  ~IgnoreFileSizeSignal() { ::sigaction(SIGXFSZ, &previous_, nullptr); }

 private:
  struct sigaction previous_ {};
};

bool Produce(int fd, const std::function<bool(const WriteFn&)>& produce) {
  IgnoreFileSizeSignal guard;
  const WriteFn write = [fd](std::string_view piece) { return WriteAll(fd, piece); };
  return produce(write) && g_sync(fd) == 0;
}

std::string BaseName(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Temporary files are named ".<target>.vevez-<6 characters>"; the target's
// name is shortened so that the whole stays within the 255-byte limit.
constexpr std::string_view kTempMark = ".vevez-";
std::string TempPrefix(const std::string& target) {
  return DirName(target) + "/." + BaseName(target).substr(0, 200) + std::string(kTempMark);
}

bool IsTempName(std::string_view name) {
  const auto mark = name.rfind(kTempMark);
  return name.size() > 1 && name[0] == '.' && mark != std::string_view::npos && mark > 1 &&
         name.size() == mark + kTempMark.size() + 6;
}

std::string RandomSuffix() {
  static std::mt19937_64 rng{std::random_device{}()};
  static constexpr char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::string s(6, 'x');
  for (char& c : s) c = kChars[rng() % (sizeof kChars - 1)];
  return s;
}

// The temporary file being written. A writer holds an exclusive lock on it
// from before it has a name until it is gone, so that another save can tell
// a live temporary file from one whose writer died.
struct TempFile {
  Fd f;
  std::string name;  // empty while the file has no name
  ~TempFile() {
    if (!name.empty()) ::unlink(name.c_str());
  }
};

// Opens the temporary file: unnamed where the file system allows it, else
// named and locked. Returns false with errno set when the directory refuses.
bool OpenTemp(const std::string& target, mode_t mode, TempFile& tmp) {
  tmp.f = Fd(::open(DirName(target).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode));
  if (tmp.f.fd >= 0) {
    ::flock(tmp.f.fd, LOCK_EX);
    return true;
  }
  if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return false;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = TempPrefix(target) + "XXXXXX";
    Fd f(::mkostemp(name.data(), O_CLOEXEC));
    if (f.fd < 0) return false;
    ::flock(f.fd, LOCK_EX);
    // Another save may have taken it for stale before it was locked; then
    // the name is gone or names another file, and we start again.
    struct stat byName, byFd;
    if (::stat(name.c_str(), &byName) == 0 && ::fstat(f.fd, &byFd) == 0 && byName.st_ino == byFd.st_ino &&
        byName.st_dev == byFd.st_dev) {
      tmp.f = std::move(f);
      tmp.name = std::move(name);
      return true;
    }
  }
  errno = EEXIST;
  return false;
}

// Gives an unnamed temporary file a name, just before the rename.
bool NameTemp(const std::string& target, TempFile& tmp) {
  if (!tmp.name.empty()) return true;
  const std::string viaProc = "/proc/self/fd/" + std::to_string(tmp.f.fd);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = TempPrefix(target) + RandomSuffix();
    if (::linkat(AT_FDCWD, viaProc.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
        ::linkat(tmp.f.fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0) {
      tmp.name = std::move(name);
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

// Removes temporary files of ours in `dir` whose writer is gone: no lock on
// them. Files of other users and anything not named like ours stay.
void RemoveStaleTemps(const std::string& dir) {
  DIR* d = ::opendir(dir.c_str());
  if (!d) return;
  while (dirent* e = ::readdir(d)) {
    if (!IsTempName(e->d_name)) continue;
    const std::string name = dir + "/" + e->d_name;
    Fd f(::open(name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    struct stat byFd, byName;
    if (f.fd < 0 || ::fstat(f.fd, &byFd) != 0 || !S_ISREG(byFd.st_mode) || byFd.st_uid != ::geteuid()) {
      continue;
    }
    if (::flock(f.fd, LOCK_EX | LOCK_NB) != 0) continue;  // its writer is still at work
    if (::lstat(name.c_str(), &byName) == 0 && byName.st_ino == byFd.st_ino && byName.st_dev == byFd.st_dev) {
      ::unlink(name.c_str());
    }
  }
  ::closedir(d);
}

bool CopyAll(int from, int to) {
  char buf[65536];
  for (off_t at = 0;;) {
    const ssize_t n = ::pread(from, buf, sizeof buf, at);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    if (!WriteAll(to, std::string_view(buf, static_cast<size_t>(n)))) return false;
    at += n;
  }
}

// Rewrites `target` in place, for a file the user may write in a directory
// that refuses new files. The old content goes to a synced backup first,
// which is removed only once the new content is on disk.
FileStamp RewriteInPlace(const std::string& path, const std::string& target,
                         const std::function<bool(const WriteFn&)>& produce, const CommitFn& commit) {
  Fd file(::open(target.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  struct stat st;
  if (file.fd < 0 || ::fstat(file.fd, &st) != 0 || !S_ISREG(st.st_mode)) throw CreateError(path);
  const std::string dir = BackupDir();
  std::string backup = dir + "/" + BaseName(target).substr(0, 200) + ".XXXXXX";
  Fd copy;
  if (!dir.empty() && MakeDirs(dir)) copy = Fd(::mkostemp(backup.data(), O_CLOEXEC));
  if (copy.fd < 0) throw CreateError(path);  // no backup: the file stays untouched
  Fd backupDir(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!CopyAll(file.fd, copy.fd) || g_sync(copy.fd) != 0 || backupDir.fd < 0 || ::fsync(backupDir.fd) != 0) {
    ::unlink(backup.c_str());
    throw CreateError(path);
  }
  if (commit) {
    try {
      commit(true);
    } catch (...) {
      ::unlink(backup.c_str());
      throw;
    }
  }
  // Written over the old bytes from the start and cut to length afterwards:
  // content no longer than before then needs no new space on the disk.
  off_t length = 0;
  bool written = Produce(file.fd, [&](const WriteFn& write) {
    return produce([&](std::string_view piece) {
      length += static_cast<off_t>(piece.size());
      return write(piece);
    });
  });
  if (written) written = ::ftruncate(file.fd, length) == 0 && g_sync(file.fd) == 0;
  if (!written) throw WriteError(backup);
  ::unlink(backup.c_str());
  struct stat now;
  if (::fstat(file.fd, &now) != 0) now = {};
  return FromStat(now);
}

}  // namespace

bool IsDirectory(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool MakeDirs(const std::string& dir) {
  for (std::size_t at = 1; at <= dir.size(); ++at) {
    if (at == dir.size() || dir[at] == '/') {
      const std::string part = dir.substr(0, at);
      if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
  }
  return IsDirectory(dir);
}

std::string XdgDir(const GetEnv& getEnv, const char* var, const char* fallback) {
  if (const char* value = getEnv(var); value && value[0] == '/') {
    std::string dir = value;
    if (dir.back() != '/') dir += '/';
    return dir;
  }
  const char* home = getEnv("HOME");
  if (!home || home[0] != '/') {
    const passwd* pw = ::getpwuid(::geteuid());
    home = pw && pw->pw_dir && pw->pw_dir[0] == '/' ? pw->pw_dir : "/";
  }
  std::string dir = home;
  if (dir.back() != '/') dir += '/';
  return dir + fallback;
}

std::string BackupDir() { return XdgDir(SystemEnv, "XDG_CACHE_HOME", ".cache/") + "vevez"; }

SyncFn ReplaceSyncStep(SyncFn sync) { return std::exchange(g_sync, sync); }

FileStamp WriteFileAtomic(const std::string& path, std::string_view data) {
  return WriteFileAtomic(path, [data](const WriteFn& write) { return write(data); });
}

FileStamp WriteFileAtomic(const std::string& path, const std::function<bool(const WriteFn&)>& produce,
                          const CommitFn& commit) {
  const std::string target = ResolveLinks(path);
  struct stat old;
  // Still a link after resolving: a loop, or one that cannot be read. Renaming
  // over it would replace the link itself.
  if (::lstat(target.c_str(), &old) == 0 && S_ISLNK(old.st_mode)) throw CreateError(path);
  const bool hadOld = ::stat(target.c_str(), &old) == 0;
  if (hadOld && !S_ISREG(old.st_mode)) throw CreateError(path);
  // Renaming over a file needs only the directory's permission; the file's
  // own says whether the user may change it.
  if (hadOld && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) throw CreateError(path);

  const mode_t mode = hadOld ? (old.st_mode & 07777) : NewFileMode();
  TempFile tmp;
  if (!OpenTemp(target, mode, tmp)) {
    if (hadOld && (errno == EACCES || errno == EPERM)) return RewriteInPlace(path, target, produce, commit);
    throw CreateError(path);
  }
  if (!Produce(tmp.f.fd, produce)) throw WriteError();
  if (hadOld && (old.st_uid != ::geteuid() || old.st_gid != ::getegid())) {
    // Keep the owner where we may (as root); otherwise the new file is ours.
    if (::fchown(tmp.f.fd, old.st_uid, old.st_gid) != 0) { /* not permitted: keep ours */
    }
  }
  if (::fchmod(tmp.f.fd, mode) != 0 || !NameTemp(target, tmp)) throw CreateError(path);
  if (commit) commit(false);
  if (::rename(tmp.name.c_str(), target.c_str()) != 0) throw CreateError(path);
  tmp.name.clear();
  struct stat now;
  if (::fstat(tmp.f.fd, &now) != 0) now = {};
  // Make the rename itself durable.
  const std::string dir = DirName(target);
  Fd dirFd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dirFd.fd >= 0) ::fsync(dirFd.fd);
  RemoveStaleTemps(dir);
  return FromStat(now);
}

}  // namespace vz
