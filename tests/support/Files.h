#pragma once
// A scratch directory per test, removed with everything in it afterwards,
// and small helpers to put bytes into files and read them back without going
// through the code under test.
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/files/Error.h"

namespace vz::test {

// TMPDIR, or /tmp without it.
inline std::string TempBase() {
  const char* base = std::getenv("TMPDIR");
  return base && *base ? base : "/tmp";
}

class TempDir {
 public:
  // A new directory <base>/<prefix>-XXXXXX.
  explicit TempDir(std::string_view prefix = "vevez-test", const std::string& base = TempBase()) {
    std::string tmpl = base + "/" + std::string(prefix) + "-XXXXXX";
    if (!::mkdtemp(tmpl.data())) throw std::runtime_error("cannot make " + tmpl);
    path_ = tmpl;
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // The path ending in "/", as the program's directories are given.
  std::string dir() const { return path_ + "/"; }
  std::string operator/(std::string_view name) const { return path_ + "/" + std::string(name); }

  // Names in the directory, sorted, without "." and "..".
  std::vector<std::string> List() const { return ListDir(path_); }

  static std::vector<std::string> ListDir(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = ::opendir(dir.c_str())) {
      while (dirent* e = ::readdir(d)) {
        std::string n = e->d_name;
        if (n != "." && n != "..") names.push_back(n);
      }
      ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::string path_;
};

inline void WriteBytes(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The messages of a file that cannot be opened or created.
inline std::string OpenMessage(const std::string& path) { return "ファイル " + path + " は開けません"; }
inline std::string CreateMessage(const std::string& path) { return "ファイル " + path + " を作成できません"; }
inline const std::string kWriteMessage = "ストリームへの書き込みエラー";
// A message's fixed first line, without the reason that may follow.
inline std::string FirstLine(const std::string& message) { return message.substr(0, message.find('\n')); }

using Names = std::vector<std::string>;

// Gives `path` the access and modification times of `st`, the latter moved
// `seconds` into the past, as a copy that keeps times (cp -p, rsync) would.
inline bool SetTimes(const std::string& path, const struct stat& st, int seconds = 0) {
  struct timespec times[2] = {st.st_atim, st.st_mtim};
  times[1].tv_sec -= seconds;
  return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}
inline bool Backdate(const std::string& path, int seconds) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && SetTimes(path, st, seconds);
}

inline mode_t ModeOf(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return 0;
  return st.st_mode;
}

// The message of the vz::Error `f` raises, or a note that it raised none.
template <class F>
std::string ErrorOf(F&& f) {
  try {
    f();
  } catch (const Error& e) {
    return e.what();
  }
  return "(no error)";
}

// Runs `f` in a child process and returns the text it returns, or a note of
// how the child ended otherwise; gtest checks belong in the parent.
template <class F>
std::string InChild(F&& f) {
  int fds[2];
  if (::pipe(fds) != 0) return "(pipe failed)";
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    // A child that hangs fails its test instead (SIGALRM), well inside the
    // test's own bound (tests/support/Watchdog.cpp), which a hang would reach.
    const char* bound = std::getenv("VEVEZ_TEST_BOUND");
    ::signal(SIGALRM, SIG_DFL);
    ::alarm(bound ? static_cast<unsigned>(std::clamp(std::atoi(bound) / 3, 2, 20)) : 20);
    const std::string report = f();
    (void)!::write(fds[1], report.data(), report.size());
    ::_exit(0);
  }
  ::close(fds[1]);
  std::string report;
  char buf[512];
  for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) report.append(buf, static_cast<size_t>(n));
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (WIFSIGNALED(status)) return "(child killed by signal " + std::to_string(WTERMSIG(status)) + ")";
  return report;
}

// Runs `f` in a child process whose files may not grow beyond `limit` bytes
// (writes past it fail with EFBIG, as on a full disk) and returns what the
// child reports: the error message, or a note of how it ended otherwise.
template <class F>
std::string InChildWithFileSizeLimit(rlim_t limit, F&& f) {
  return InChild([&] {
    struct rlimit rl {};
    ::getrlimit(RLIMIT_FSIZE, &rl);
    rl.rlim_cur = limit;
    std::string report = ::setrlimit(RLIMIT_FSIZE, &rl) != 0 ? "(setrlimit failed)" : f();
    // The program's own handling of SIGXFSZ must not outlive the write.
    struct sigaction now {};
    ::sigaction(SIGXFSZ, nullptr, &now);
    if (now.sa_handler != SIG_DFL) report += " (SIGXFSZ handler left changed)";
    return report;
  });
}

// Lifts the file size limit InChildWithFileSizeLimit set.
inline void LiftFileSizeLimit() {
  struct rlimit rl {};
  ::getrlimit(RLIMIT_FSIZE, &rl);
  rl.rlim_cur = rl.rlim_max;
  ::setrlimit(RLIMIT_FSIZE, &rl);
}

// From now on each of `calls` (a system call number and an errno) fails in
// this process with its errno, as a file system that lacks the operation
// would answer (a seccomp filter, which no child can lift). For a child
// process only; false when the filter could not be installed.
using FailingCalls = std::vector<std::pair<long, int>>;
inline bool FailSystemCalls(const FailingCalls& calls) {
  std::vector<sock_filter> prog{BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr))};
  for (const auto& [nr, err] : calls) {
    prog.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<unsigned>(nr), 0, 1));
    prog.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | static_cast<unsigned>(err)));
  }
  prog.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
  const sock_fprog filter{static_cast<unsigned short>(prog.size()), prog.data()};
  return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
         ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &filter) == 0;
}

// Every extended-attribute call, failing as on a file system without them.
inline FailingCalls NoXattrs() {
  FailingCalls calls;
  for (const long nr :
       {SYS_setxattr, SYS_lsetxattr, SYS_fsetxattr, SYS_getxattr, SYS_lgetxattr, SYS_fgetxattr, SYS_listxattr,
        SYS_llistxattr, SYS_flistxattr, SYS_removexattr, SYS_lremovexattr, SYS_fremovexattr}) {
    calls.emplace_back(nr, EOPNOTSUPP);
  }
  return calls;
}

// The unprivileged user that permission tests act as when they run as root
// (as they do in CI); a test run by an ordinary user acts as that user.
inline const passwd* Unprivileged() { return ::geteuid() == 0 ? ::getpwnam("nobody") : nullptr; }

// Hands `path` to the unprivileged user (when running as root).
inline void GiveToUnprivileged(const std::string& path) {
  if (const passwd* pw = Unprivileged()) {
    if (::chown(path.c_str(), pw->pw_uid, pw->pw_gid) != 0) throw std::runtime_error("chown " + path);
  }
}

// Runs `f` in a child process as user `uid` with group `gid` and the
// supplementary `groups` (none need a passwd entry), where file permissions
// hold; returns what InChild returns.
template <class F>
std::string AsUser(uid_t uid, gid_t gid, const std::vector<gid_t>& groups, F&& f) {
  return InChild([&]() -> std::string {
    if (::setgroups(groups.size(), groups.data()) != 0 || ::setresgid(gid, gid, gid) != 0 ||
        ::setresuid(uid, uid, uid) != 0) {
      return "(could not become user " + std::to_string(uid) + ")";
    }
    return f();
  });
}

// Runs `f` in a child process as the unprivileged user, where file
// permissions hold; returns what InChild returns.
template <class F>
std::string AsUnprivileged(F&& f) {
  if (const passwd* pw = Unprivileged()) return AsUser(pw->pw_uid, pw->pw_gid, {}, std::forward<F>(f));
  return ::geteuid() == 0 ? "(still root)" : InChild(std::forward<F>(f));
}

}  // namespace vz::test
