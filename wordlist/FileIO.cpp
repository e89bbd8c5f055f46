#include "wordlist/FileIO.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>

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
  return s;
}

// Closes a descriptor on every path out of a function.
struct Fd {
  int fd = -1;
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

FileStamp WriteFileAtomic(const std::string& path, std::string_view data) {
  return WriteFileAtomic(path, [data](const WriteFn& write) { return write(data); });
}

FileStamp WriteFileAtomic(const std::string& path, const std::function<bool(const WriteFn&)>& produce) {
  const std::string target = ResolveLinks(path);
  struct stat old;
  // Still a link after resolving: a loop, or one that cannot be read. Renaming
  // over it would replace the link itself.
  if (::lstat(target.c_str(), &old) == 0 && S_ISLNK(old.st_mode)) throw CreateError(path);
  const bool hadOld = ::stat(target.c_str(), &old) == 0;
  if (hadOld && !S_ISREG(old.st_mode)) throw CreateError(path);

  const auto slash = target.rfind('/');
  // Shortened so that the temporary name stays within the 255-byte limit
  // even for the longest target names.
  const std::string base = (slash == std::string::npos ? target : target.substr(slash + 1)).substr(0, 200);
  std::string tmp = DirName(target) + "/." + base + ".vevez-XXXXXX";
  Fd f{::mkostemp(tmp.data(), O_CLOEXEC)};
  if (f.fd < 0) throw CreateError(path);

  // A file-size limit must fail the write, not kill the program.
  struct sigaction ignore {
  }, previous{};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGXFSZ, &ignore, &previous);
  const WriteFn write = [fd = f.fd](std::string_view piece) { return WriteAll(fd, piece); };
  bool written = produce(write) && ::fsync(f.fd) == 0;
  ::sigaction(SIGXFSZ, &previous, nullptr);

  auto fail = [&](Error e) -> Error {
    ::unlink(tmp.c_str());
    return e;
  };
  if (!written) throw fail(WriteError());
  if (hadOld && (old.st_uid != ::geteuid() || old.st_gid != ::getegid())) {
    // Keep the owner where we may (as root); otherwise the new file is ours.
    if (::fchown(f.fd, old.st_uid, old.st_gid) != 0) { /* not permitted: keep ours */
    }
  }
  if (::fchmod(f.fd, hadOld ? (old.st_mode & 07777) : NewFileMode()) != 0) throw fail(CreateError(path));
  if (::rename(tmp.c_str(), target.c_str()) != 0) throw fail(CreateError(path));
  struct stat now;
  if (::fstat(f.fd, &now) != 0) now = {};
  // Make the rename itself durable.
  Fd dir{::open(DirName(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
  if (dir.fd >= 0) ::fsync(dir.fd);
  return FromStat(now);
}

}  // namespace vz
