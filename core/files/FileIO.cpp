#include "core/files/FileIO.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <utility>

#include "core/files/Error.h"
#include "core/files/HugePages.h"

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

int SystemSync(int fd, SyncOf) { return ::fsync(fd); }
SyncFn g_sync = SystemSync;
bool g_unnamedTemps = true;

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
  return produce(write);
}

std::string BaseName(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Temporary files are named ".<target>.vevez-<6 characters>"; the target's
// name is shortened so that the whole stays within the 255-byte limit.
constexpr std::string_view kTempMark = ".vevez-";
constexpr std::size_t kSuffixLength = 6;
std::string TempPrefix(const std::string& target) {
  return "." + BaseName(target).substr(0, 200) + std::string(kTempMark);
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

std::string RandomSuffix() {
  static std::mt19937_64 rng{std::random_device{}()};
  static constexpr char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::string s(kSuffixLength, 'x');
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
// named, locked and marked as ours. Returns false with errno set when the
// directory refuses.
bool OpenTemp(const std::string& target, mode_t mode, TempFile& tmp) {
  if (g_unnamedTemps) {
    tmp.f = Fd(::open(DirName(target).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode));
    if (tmp.f.fd >= 0) {
      ::flock(tmp.f.fd, LOCK_EX);
      ::fsetxattr(tmp.f.fd, kTempMarkAttr, "1", 1, 0);
      return true;
    }
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return false;
  }
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = DirName(target) + "/" + TempPrefix(target) + "XXXXXX";
    Fd f(::mkostemp(name.data(), O_CLOEXEC));
    if (f.fd < 0) return false;
    ::flock(f.fd, LOCK_EX);
    ::fsetxattr(f.fd, kTempMarkAttr, "1", 1, 0);
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
    std::string name = DirName(target) + "/" + TempPrefix(target) + RandomSuffix();
    if (::linkat(AT_FDCWD, viaProc.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
        ::linkat(tmp.f.fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0) {
      tmp.name = std::move(name);
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

// Removes temporary files of ours in the directory of `target` whose writer
// is gone. A file is ours only when it is a regular file of the user's, not
// locked, named as a save makes them, and carries our mark; where the file
// system keeps no extended attributes, only the exact name of this target's
// temporaries stands for the mark. Anything else stays.
void RemoveStaleTemps(const std::string& target) {
  const std::string dir = DirName(target), ownPrefix = TempPrefix(target);
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
    char mark[8];
    if (::fgetxattr(f.fd, kTempMarkAttr, mark, sizeof mark) < 0 &&
        (errno != EOPNOTSUPP || !HasOurSuffix(e->d_name, ownPrefix))) {
      continue;
    }
    if (::flock(f.fd, LOCK_EX | LOCK_NB) != 0) continue;  // its writer is still at work
    if (::lstat(name.c_str(), &byName) == 0 && byName.st_ino == byFd.st_ino && byName.st_dev == byFd.st_dev) {
      ::unlink(name.c_str());
    }
  }
  ::closedir(d);
}

// Gives the new file `fd` what the old file `target` has besides its bytes:
// owner and group where the user may set them, mode, the extended attributes
// the user may set and the ACL. What cannot be kept never leaves the new
// file more open than the old one.
void CopyMetadata(const std::string& target, const struct stat& old, int fd) {
  mode_t mode = old.st_mode & 07777;
  bool groupKept = true;
  if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
    // The owner can be kept only by root; the group by its members.
    if (::fchown(fd, old.st_uid, old.st_gid) != 0 && ::fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0) {
      // Our group instead: its members get no more than others had, and
      // the ACL's entry for the owning group would now grant them more.
      groupKept = false;
      mode = (mode & ~(S_IRWXG | S_ISGID)) | (mode & S_IRWXG & ((mode & S_IRWXO) << 3));
    }
  }
  ::fchmod(fd, mode);
  std::string names(4096, '\0');
  ssize_t listed = ::llistxattr(target.c_str(), names.data(), names.size());
  if (listed < 0 && errno == ERANGE) {
    names.resize(static_cast<size_t>(std::max<ssize_t>(::llistxattr(target.c_str(), nullptr, 0), 0)));
    listed = ::llistxattr(target.c_str(), names.data(), names.size());
  }
  std::string value;
  for (std::size_t at = 0; listed > 0 && at < static_cast<size_t>(listed); at = names.find('\0', at) + 1) {
    const std::string name = names.c_str() + at;
    const bool isAcl = name == "system.posix_acl_access";
    if (name == kTempMarkAttr || (!isAcl && name.rfind("user.", 0) != 0 && name.rfind("security.", 0) != 0)) {
      continue;
    }
    const ssize_t size = ::lgetxattr(target.c_str(), name.c_str(), nullptr, 0);
    value.resize(static_cast<size_t>(std::max<ssize_t>(size, 0)));
    const bool copied = (groupKept || !isAcl) && size >= 0 &&
                        ::lgetxattr(target.c_str(), name.c_str(), value.data(), value.size()) == size &&
                        ::fsetxattr(fd, name.c_str(), value.data(), value.size(), 0) == 0;
    // The old file's group bits are its ACL's mask; without the ACL they
    // would open the file to the owning group as far as the mask allowed
    // anyone named in it.
    if (isAcl && !copied) ::fchmod(fd, mode & ~S_IRWXG);
  }
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

// Puts the content of `backup` back into the file `fd` and syncs it.
bool PutBack(const std::string& backup, int fd) {
  Fd from(::open(backup.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
  struct stat st;
  return from.fd >= 0 && ::fstat(from.fd, &st) == 0 && ::lseek(fd, 0, SEEK_SET) == 0 &&
         CopyAll(from.fd, fd) && ::ftruncate(fd, st.st_size) == 0 && g_sync(fd, SyncOf::kFileInPlace) == 0;
}

// A journal entry says that a file is being rewritten in place: which file,
// which backup holds its old content, and the new length. It sits beside
// the backup ("<name>-XXXXXX.backup" and "<name>-XXXXXX.journal"); both are
// locked for as long as their rewrite runs. A backup that could not be put
// back is kept as "<name>-XXXXXX.kept" for a week.
constexpr std::string_view kBackupEnd = ".backup", kJournalEnd = ".journal", kKeptEnd = ".kept",
                           kJournalHead = "vevez rewrite 1";
constexpr std::time_t kKeptLifetime = 7 * 24 * 60 * 60;

std::string WithEnd(const std::string& name, std::string_view from, std::string_view to) {
  return name.substr(0, name.size() - from.size()) + std::string(to);
}
std::string JournalOf(const std::string& backup) { return WithEnd(backup, kBackupEnd, kJournalEnd); }

bool EndsWith(std::string_view s, std::string_view end) {
  return s.size() > end.size() && s.substr(s.size() - end.size()) == end;
}

// Removes the backup and the journal entry of a rewrite unless kept.
struct RewriteFiles {
  std::string backup, journal;
  Fd journalFd;
  bool keep = false;
  ~RewriteFiles() {
    if (keep) return;
    if (!journal.empty()) ::unlink(journal.c_str());
    if (!backup.empty()) ::unlink(backup.c_str());
  }
};

// Rewrites `target` in place, for a file with several names or one the user
// may write in a directory that refuses new files. Nothing in the file
// changes until its old content is in a synced backup, the space for the new
// content is reserved and a synced journal entry names both; a failure after
// that puts the old content back, or leaves the journal entry for the next
// start to do it.
FileStamp RewriteInPlace(const std::string& path, const std::string& target,
                         const std::function<bool(const WriteFn&)>& produce, const CommitFn& commit) {
  Fd file(::open(target.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  struct stat st;
  if (file.fd < 0 || ::fstat(file.fd, &st) != 0) throw CreateError(path, errno);
  if (!S_ISREG(st.st_mode)) throw CreateError(path);
  // The whole new content first: its length is reserved before anything of
  // the file changes.
  std::string data;
  {
    IgnoreFileSizeSignal guard;
    if (!produce([&](std::string_view piece) {
          data.append(piece);
          return true;
        })) {
      throw WriteError(path, 0);
    }
  }
  char* real = ::realpath(target.c_str(), nullptr);
  if (!real) throw CreateError(path, errno);
  const std::string absolute = real;
  std::free(real);

  const std::string dir = BackupDir();
  RewriteFiles files;
  files.backup = dir + "/" + BaseName(target).substr(0, 200) + "-XXXXXX" + std::string(kBackupEnd);
  Fd copy;
  if (!MakeDirs(dir) ||
      (copy = Fd(::mkostemps(files.backup.data(), static_cast<int>(kBackupEnd.size()), O_CLOEXEC))).fd < 0) {
    const int err = errno;
    files.backup.clear();
    throw BackupError(path, dir, err);  // no backup: the file stays untouched
  }
  ::flock(copy.fd, LOCK_EX);
  if (!CopyAll(file.fd, copy.fd) || g_sync(copy.fd, SyncOf::kBackup) != 0 ||
      !SyncDir(dir, SyncOf::kBackupDirectory)) {
    throw CreateError(path, errno);
  }
  // The content was taken from the lines before the backup was made: it
  // must still stand for what they were read from.
  if (commit) commit(true);
  if (!data.empty() && ::fallocate(file.fd, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(data.size())) != 0) {
    throw CreateError(path, errno);
  }
  files.journal = JournalOf(files.backup);
  files.journalFd =
      Fd(::open(files.journal.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
  std::string entry = std::string(kJournalHead) + '\0' + absolute + '\0' + files.backup + '\0' +
                      std::to_string(data.size()) + '\0';
  if (files.journalFd.fd < 0 || ::flock(files.journalFd.fd, LOCK_EX) != 0 ||
      !WriteAll(files.journalFd.fd, entry) || g_sync(files.journalFd.fd, SyncOf::kJournal) != 0 ||
      !SyncDir(dir, SyncOf::kBackupDirectory)) {
    throw CreateError(path, errno);
  }

  bool written;
  {
    IgnoreFileSizeSignal guard;
    written = ::lseek(file.fd, 0, SEEK_SET) == 0 && WriteAll(file.fd, data) &&
              ::ftruncate(file.fd, static_cast<off_t>(data.size())) == 0 &&
              g_sync(file.fd, SyncOf::kFileInPlace) == 0;
  }
  if (!written) {
    const int err = errno;
    files.keep = !PutBack(files.backup, file.fd);
    throw WriteError(path, err, files.keep ? files.backup : std::string());
  }
  // Once the entry is gone for good, a crash can no longer put the old
  // content back over the new.
  ::unlink(files.journal.c_str());
  if (!SyncDir(dir, SyncOf::kBackupDirectory)) throw WriteError(path, errno);
  struct stat now;
  if (::fstat(file.fd, &now) != 0) now = {};
  return FromStat(now);
}

// Reads a journal entry: the file, its backup; false when it is not one.
bool ReadJournal(int fd, std::string& file, std::string& backup) {
  std::string entry(8192, '\0');
  const ssize_t n = ::pread(fd, entry.data(), entry.size(), 0);
  if (n <= 0) return false;
  entry.resize(static_cast<size_t>(n));
  std::vector<std::string> fields;
  for (std::size_t at = 0, end; (end = entry.find('\0', at)) != std::string::npos; at = end + 1) {
    fields.push_back(entry.substr(at, end - at));
  }
  if (fields.size() != 4 || fields[0] != kJournalHead || fields[1].empty() || fields[1][0] != '/')
    return false;
  file = fields[1];
  backup = fields[2];
  return true;
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

std::vector<InterruptedRewrite> RecoverInterruptedRewrites() {
  std::vector<InterruptedRewrite> found;
  const std::string dir = BackupDir();
  DIR* d = ::opendir(dir.c_str());
  if (!d) return found;
  std::vector<std::string> names;
  while (dirent* e = ::readdir(d)) names.emplace_back(e->d_name);
  ::closedir(d);
  for (const std::string& name : names) {
    if (!EndsWith(name, kJournalEnd)) continue;
    const std::string journal = dir + "/" + name;
    Fd j(::open(journal.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st;
    if (j.fd < 0 || ::fstat(j.fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) continue;
    if (::flock(j.fd, LOCK_EX | LOCK_NB) != 0) continue;  // its rewrite is still running
    InterruptedRewrite r;
    // An entry cut short was never synced: its rewrite had not begun.
    const bool whole = ReadJournal(j.fd, r.file, r.backup) && JournalOf(r.backup) == journal;
    if (whole) {
      Fd file(::open(r.file.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
      struct stat fst;
      r.restored =
          file.fd >= 0 && ::fstat(file.fd, &fst) == 0 && S_ISREG(fst.st_mode) && PutBack(r.backup, file.fd);
      const std::string kept = WithEnd(r.backup, kBackupEnd, kKeptEnd);
      if (!r.restored && ::rename(r.backup.c_str(), kept.c_str()) == 0) r.backup = kept;
      found.push_back(std::move(r));
    }
    ::unlink(journal.c_str());
  }
  // Backups no journal entry names: of a rewrite that never began or that
  // ended (unless their writer still holds them), and kept ones after a week.
  const std::time_t now = std::time(nullptr);
  for (const std::string& name : names) {
    const bool kept = EndsWith(name, kKeptEnd);
    if (!kept && !EndsWith(name, kBackupEnd)) continue;
    const std::string backup = dir + "/" + name;
    Fd b(::open(backup.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st, js;
    if (b.fd >= 0 && ::fstat(b.fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
        (kept ? st.st_mtime < now - kKeptLifetime
              : ::lstat(JournalOf(backup).c_str(), &js) != 0 && ::flock(b.fd, LOCK_EX | LOCK_NB) == 0)) {
      ::unlink(backup.c_str());
    }
  }
  return found;
}

Error WriteRefusal(const std::string& path) {
  const std::string target = ResolveLinks(path);
  struct stat st;
  const bool exists = ::stat(target.c_str(), &st) == 0;
  if (!exists && errno != ENOENT) return CreateError(path, errno);
  if (exists && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return ReadOnlyError(path);
  // A missing file needs a directory it may be added to.
  const std::string asked = exists ? target : DirName(target);
  return CreateError(path, ::faccessat(AT_FDCWD, asked.c_str(), W_OK, AT_EACCESS) == 0 ? 0 : errno);
}

SyncFn ReplaceSyncStep(SyncFn sync) { return std::exchange(g_sync, sync); }

int Sync(int fd, SyncOf what) { return g_sync(fd, what); }

// A directory the user may write to but not read cannot be opened to be
// synced; its entries are then left to the file system.
bool SyncDir(const std::string& dir, SyncOf what) {
  Fd d(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return d.fd < 0 ? errno == EACCES : g_sync(d.fd, what) == 0;
}

bool AllowUnnamedTemporaries(bool allow) { return std::exchange(g_unnamedTemps, allow); }

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
  // own says whether the user may change it. Root may write anything, but a
  // file with no write bit for anyone is read-only by choice.
  if (hadOld && (old.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) throw ReadOnlyError(path);
  if (hadOld && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) throw CreateError(path, errno);
  // Every name of a file with several must see the new content.
  if (hadOld && old.st_nlink > 1) return RewriteInPlace(path, target, produce, commit);

  TempFile tmp;
  if (!OpenTemp(target, hadOld ? (old.st_mode & 0777) : NewFileMode(), tmp)) {
    if (hadOld && (errno == EACCES || errno == EPERM)) return RewriteInPlace(path, target, produce, commit);
    throw CreateError(path, errno);
  }
  if (!Produce(tmp.f.fd, produce)) throw WriteError(path, errno);
  if (hadOld) {
    CopyMetadata(target, old, tmp.f.fd);
  } else if (!tmp.name.empty()) {
    ::fchmod(tmp.f.fd, NewFileMode());  // a named temporary file starts private
  }
  // Bytes and what the file has besides them reach the disk together.
  if (g_sync(tmp.f.fd, SyncOf::kNewFile) != 0) throw WriteError(path, errno);
  if (!NameTemp(target, tmp)) throw CreateError(path, errno);
  // The last moment to decline: the lines written must still stand for
  // what they were read from.
  if (commit) commit(false);
  if (::rename(tmp.name.c_str(), target.c_str()) != 0) throw CreateError(path, errno);
  tmp.name.clear();
  // Taken off only now: a temporary file left by a crash just before the
  // rename is still known for ours. On the target the mark means nothing
  // (only temporary names are looked at) and is never copied.
  ::fremovexattr(tmp.f.fd, kTempMarkAttr);
  struct stat now;
  if (::fstat(tmp.f.fd, &now) != 0) now = {};
  // Make the rename itself durable.
  if (!SyncDir(DirName(target), SyncOf::kDirectory)) throw WriteError(path, errno);
  RemoveStaleTemps(target);
  return FromStat(now);
}

FileStamp WriteNewFile(const std::string& path, const std::function<bool(const WriteFn&)>& produce) {
  TempFile tmp;
  if (!OpenTemp(path, NewFileMode(), tmp)) throw CreateError(path);
  if (!Produce(tmp.f.fd, produce)) throw WriteError();
  if (!tmp.name.empty()) ::fchmod(tmp.f.fd, NewFileMode());  // a named temporary file starts private
  if (g_sync(tmp.f.fd, SyncOf::kNewFile) != 0) throw WriteError();
  // Linking, unlike renaming, fails where a file is already there.
  const std::string viaProc = "/proc/self/fd/" + std::to_string(tmp.f.fd);
  const int linked = tmp.name.empty()
                         ? ::linkat(AT_FDCWD, viaProc.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW)
                         : ::link(tmp.name.c_str(), path.c_str());
  if (linked != 0) throw errno == EEXIST ? ExistsError(path) : CreateError(path);
  ::fremovexattr(tmp.f.fd, kTempMarkAttr);
  struct stat now;
  if (::fstat(tmp.f.fd, &now) != 0) now = {};
  if (!SyncDir(DirName(path), SyncOf::kDirectory)) throw WriteError(path, errno);
  return FromStat(now);
}

}  // namespace vz
