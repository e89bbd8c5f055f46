// The leak report: the last thing the process does before it ends.
//
// A function in the executable's .preinit_array runs before any library
// constructor and before main's own set-up. It registers the report with
// __cxa_atexit and no DSO handle. Exit handlers run in reverse order of
// registration, and the dynamic loader registers the one that runs every
// library's destructors (Qt's, libstdc++'s, libc's) later than that, so the
// report sees the count after everybody else has cleaned up.
//
// By then Qt and Xlib can no longer be used in this process, so the warning
// box is shown by a small helper program, vevez-leakbox, that lives beside
// the executable. It is started with the count as its only argument, and the
// process waits until the user has closed the box. If the box cannot be
// shown (no helper, no display) the figure goes to standard error instead, so
// a leak is never silently dropped. After a shutdown that a signal or the
// session manager started, the figure goes straight to standard error: a box
// that nobody may be there to close would keep the process from ending.

#include "leakcheck/MemCheck.h"

#include <errno.h>
#include <limits.h>
#include <signal.h>
#include <spawn.h>
#include <stdio.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

extern "C" int __cxa_atexit(void (*fn)(void*), void* arg, void* dso) noexcept;
extern char** environ;

namespace vz::memcheck {
namespace {

constexpr char kHelperName[] = "vevez-leakbox";

// Fixed buffers: the report runs after the C++ runtime has been torn down.
constexpr char kInstalledHelper[] = "../libexec/vevez/vevez-leakbox";
char helperPath[PATH_MAX + sizeof kInstalledHelper];
volatile sig_atomic_t toStderr = 0;

void ReportOnStderr(int count) {
  char line[160];
  int n = snprintf(line, sizeof line, "メモリーリークエラー: %d 回メモリーを解放し忘れています\n", count);
  if (n > 0) {
    ssize_t ignored = write(STDERR_FILENO, line, static_cast<size_t>(n));
    (void)ignored;
  }
}

// The helper's path: beside the running executable (the build tree, a
// portable folder), else where an installation puts it,
// <prefix>/libexec/vevez/ for <prefix>/bin/vevez.
bool FindHelper() {
  ssize_t n = readlink("/proc/self/exe", helperPath, PATH_MAX);
  if (n <= 0 || n >= PATH_MAX) return false;
  helperPath[n] = '\0';
  char* slash = strrchr(helperPath, '/');
  if (!slash) return false;
  memcpy(slash + 1, kHelperName, sizeof kHelperName);
  if (access(helperPath, X_OK) == 0) return true;
  memcpy(slash + 1, kInstalledHelper, sizeof kInstalledHelper);
  return true;
}

// Starts the helper and waits for it. True when it showed the box and the
// user closed it.
bool ShowBox(int count) {
  if (!FindHelper()) return false;
  char digits[16];
  snprintf(digits, sizeof digits, "%d", count);
  char name[sizeof kHelperName];
  memcpy(name, kHelperName, sizeof kHelperName);
  char* argv[] = {name, digits, nullptr};

  // Whatever the program did with SIGCHLD, we want to reap our own child.
  signal(SIGCHLD, SIG_DFL);
  fflush(nullptr);  // keep the program's buffered output ahead of the helper's

  pid_t pid;
  if (posix_spawn(&pid, helperPath, nullptr, nullptr, argv, environ) != 0) return false;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return false;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void ReportLeaks(void*) {
  // Nothing allocated from here on may change the figure.
  const int count = Stop();
  if (count <= 0) return;
  if (toStderr || !ShowBox(count)) ReportOnStderr(count);
}

void InstallReport(int, char**, char**) { __cxa_atexit(&ReportLeaks, nullptr, nullptr); }

}  // namespace

void ReportOnStandardError() noexcept { toStderr = 1; }

}  // namespace vz::memcheck

// Only an executable has a .preinit_array; linking these objects into a
// shared library fails at link time, which is what we want.
__attribute__((section(".preinit_array"),
               used)) static void (*installLeakReport)(int, char**, char**) = &vz::memcheck::InstallReport;
