// A test that runs on past its bound ends its test program at once, naming
// itself, with the exit status of timeout(1), 124: well before CTest's own
// TIMEOUT, so that a test that hangs fails instead of waiting that out, and
// says which it was. VEVEZ_TEST_BOUND sets the bound in seconds (55).
// Linked into every gtest program; it registers itself.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

char gMessage[512];

void OnAlarm(int) {
  (void)!::write(STDERR_FILENO, gMessage, std::strlen(gMessage));
  ::_exit(124);
}

class Watchdog : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo& test) override {
    const char* bound = std::getenv("VEVEZ_TEST_BOUND");
    const unsigned seconds = bound && std::atoi(bound) > 0 ? static_cast<unsigned>(std::atoi(bound)) : 55;
    std::snprintf(gMessage, sizeof gMessage, "\n[  HUNG    ] %s.%s ran past %u s\n", test.test_suite_name(),
                  test.name(), seconds);
    ::signal(SIGALRM, OnAlarm);
    ::alarm(seconds);
  }
  void OnTestEnd(const ::testing::TestInfo&) override { ::alarm(0); }
};

const bool gRegistered = (::testing::UnitTest::GetInstance()->listeners().Append(new Watchdog), true);

}  // namespace
