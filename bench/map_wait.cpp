// Starts a program and prints the milliseconds from its start to the first
// map of one of its top-level windows, as the X server reports it (an event
// wait on the root window, no polling), then its resident memory, and ends it.
// Usage: vevez_map_wait [--settle MS] PROGRAM [ARGS...]
// Prints "ms rss_kib hwm_kib cpu_ms" (memory and CPU time read after the
// settle time); exits 1 when no window came within 20 s.
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>

extern char** environ;

namespace {

long StatusKib(pid_t pid, const char* key) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + std::strlen(key));
  }
  return -1;
}

// User and system CPU time of a process so far, in milliseconds.
double CpuMs(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto paren = stat.rfind(')');
  if (paren == std::string::npos) return -1;
  std::istringstream fields(stat.substr(paren + 2));
  std::string f;
  double ticks = 0;
  for (int i = 3; i <= 15 && fields >> f; ++i) {
    if (i == 14 || i == 15) ticks += std::atof(f.c_str());  // utime, stime
  }
  return ticks * 1000.0 / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

}  // namespace

int main(int argc, char** argv) {
  int first = 1, settleMs = 0;
  if (argc > 2 && std::strcmp(argv[1], "--settle") == 0) {
    settleMs = std::atoi(argv[2]);
    first = 3;
  }
  if (first >= argc) {
    std::fprintf(stderr, "usage: %s [--settle MS] PROGRAM [ARGS...]\n", argv[0]);
    return 2;
  }
  xcb_connection_t* c = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(c)) {
    std::fprintf(stderr, "cannot reach the X server\n");
    return 2;
  }
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
  const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
  // Checked, so the event mask is in place before the program starts.
  if (std::unique_ptr<xcb_generic_error_t, decltype(&std::free)> err{
          xcb_request_check(c, xcb_change_window_attributes_checked(c, root, XCB_CW_EVENT_MASK, &mask)),
          &std::free}) {
    std::fprintf(stderr, "cannot watch the root window\n");
    return 2;
  }

  const auto t0 = std::chrono::steady_clock::now();
  pid_t pid;
  if (posix_spawn(&pid, argv[first], nullptr, nullptr, argv + first, environ) != 0) {
    std::perror(argv[first]);
    return 2;
  }
  double ms = -1;
  const auto deadline = t0 + std::chrono::seconds(20);
  while (ms < 0) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p{xcb_get_file_descriptor(c), POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
    while (xcb_generic_event_t* e = xcb_poll_for_event(c)) {
      if ((e->response_type & 0x7f) == XCB_MAP_NOTIFY &&
          !reinterpret_cast<xcb_map_notify_event_t*>(e)->override_redirect && ms < 0) {
        ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
      }
      std::free(e);
    }
    if (xcb_connection_has_error(c)) break;
  }
  if (ms >= 0 && settleMs > 0) ::usleep(static_cast<useconds_t>(settleMs) * 1000);
  const long rss = StatusKib(pid, "VmRSS:"), hwm = StatusKib(pid, "VmHWM:");
  const double cpu = CpuMs(pid);
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
  xcb_disconnect(c);
  if (ms < 0) {
    std::fprintf(stderr, "no window was mapped\n");
    return 1;
  }
  std::printf("%.1f %ld %ld %.0f\n", ms, rss, hwm, cpu);
  return 0;
}
