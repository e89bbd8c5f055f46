// The least a process can spend waking every 10 ms on this machine: it only
// sleeps in poll() for the given number of seconds (default 10) and prints
// the CPU time it took and the time that passed, both in nanoseconds.
// bench/tick_cpu.sh runs it beside each run of the program, so that a run's
// figure can be read against what the machine itself charges for a 100 Hz
// timer at that moment.
#include <poll.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 10;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < static_cast<int>(seconds * 100); ++i) poll(nullptr, 0, 10);
  const auto passed = std::chrono::steady_clock::now() - start;
  rusage use{};
  getrusage(RUSAGE_SELF, &use);
  const long long us =
      (use.ru_utime.tv_sec + use.ru_stime.tv_sec) * 1000000LL + use.ru_utime.tv_usec + use.ru_stime.tv_usec;
  std::printf("%lld %lld\n", us * 1000,
              static_cast<long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(passed).count()));
}
