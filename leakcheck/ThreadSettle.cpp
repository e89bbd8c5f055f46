// Lets the threads that are ending finish before the libraries' own clean-up.
//
// Qt stops its worker threads from exit handlers of its own (the D-Bus
// connection thread that the accessibility bridge starts, for one): the
// handler tells the thread to quit and waits until it has left its run
// loop, but the thread's last step, releasing its per-thread data, comes a
// moment later, from a thread-specific-data destructor. Qt Core deletes that
// key in one of its last exit handlers. When the main thread gets there
// first, the ending thread never releases its data and the block is lost,
// a leak of the library that the report would show in one run out of a few.
//
// So between the two, the process waits until it is down to its main thread
// again, for a short while at most: a thread that does not end (one that a
// library keeps for the life of the process) only delays the exit, and
// whatever it still holds is reported as usual. By then every window is
// gone, so the wait is invisible to the user.
//
// The handler is registered from the executable's own start-up code, which
// runs after every library it links has been set up and before main. Exit
// handlers run in reverse order of registration, so it runs after every
// handler registered during the run (Qt's lazily created globals, which stop
// the threads) and before those that the libraries registered when they were
// loaded (Qt Core's, which deletes the key).

#include <fcntl.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

extern "C" int __cxa_atexit(void (*fn)(void*), void* arg, void* dso) noexcept;

namespace vz::memcheck {
namespace {

constexpr int kMaxWaitMs = 500;

// The number of threads of this process (field 20 of /proc/self/stat), or 0
// when it cannot be read. No allocation: the C++ runtime may be half gone.
int ThreadCount() {
  char buf[1024];
  int fd = open("/proc/self/stat", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  ssize_t n = read(fd, buf, sizeof buf - 1);
  close(fd);
  if (n <= 0) return 0;
  buf[n] = '\0';
  // The command name (field 2) is in parentheses and may hold blanks.
  const char* p = strrchr(buf, ')');
  if (!p) return 0;
  for (int field = 2; field < 20; ++field) {
    p = strchr(p + 1, ' ');
    if (!p) return 0;
  }
  int count = 0;
  for (++p; *p >= '0' && *p <= '9'; ++p) count = count * 10 + (*p - '0');
  return count;
}

void AwaitEndingThreads(void*) {
  const timespec step{0, 1000 * 1000};  // 1 ms
  for (int waited = 0; waited < kMaxWaitMs && ThreadCount() > 1; ++waited) nanosleep(&step, nullptr);
}

__attribute__((constructor)) void InstallThreadSettle() {
  __cxa_atexit(&AwaitEndingThreads, nullptr, nullptr);
}

}  // namespace
}  // namespace vz::memcheck
