// Plays cues through vz::SoundPlayer in the order given, for the sound test
// to record and measure.
//
//   sound_probe [--exe-dir DIR/] STEP...
//
// Steps: "play:NAME" plays NAME and prints "play NAME started|silent MS" with
// the time the call took; "sleep:MS" waits; "stop" cuts the cue off;
// "wait:FILE" waits (at most 20 s) until FILE exists, so the test can change
// the world at a known point. At the end the player is destroyed, and the
// probe fails when more threads run than before it was made. It prints the
// thread counts before, at most while playing, and after.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

#include "gui/window/SoundPlayer.h"

namespace {

int ThreadCount() {
  int n = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/task")) ++n;
  return n;
}

bool Starts(const char* arg, const char* prefix, const char** rest) {
  size_t len = std::strlen(prefix);
  if (std::strncmp(arg, prefix, len) != 0) return false;
  *rest = arg + len;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string exeDir;
  int first = 1;
  if (argc > 2 && !std::strcmp(argv[1], "--exe-dir")) {
    exeDir = argv[2];
    first = 3;
  }
  const int threadsBefore = ThreadCount();
  int threadsMost = threadsBefore;
  {
    vz::SoundPlayer player({exeDir});
    for (int i = first; i < argc; ++i) {
      const char* rest = nullptr;
      if (Starts(argv[i], "play:", &rest)) {
        auto t0 = std::chrono::steady_clock::now();
        bool started = player.Play(rest);
        std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - t0;
        std::printf("play %s %s %.1f\n", rest, started ? "started" : "silent", took.count());
      } else if (Starts(argv[i], "sleep:", &rest)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(rest)));
      } else if (!std::strcmp(argv[i], "stop")) {
        player.Stop();
      } else if (Starts(argv[i], "wait:", &rest)) {
        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!std::filesystem::exists(rest)) {
          if (std::chrono::steady_clock::now() > end) {
            std::fprintf(stderr, "sound_probe: %s never appeared\n", rest);
            return 2;
          }
          std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
      } else {
        std::fprintf(stderr, "sound_probe: unknown step %s\n", argv[i]);
        return 2;
      }
      threadsMost = std::max(threadsMost, ThreadCount());
      std::fflush(stdout);
    }
  }
  const int threadsAfter = ThreadCount();
  std::printf("threads before=%d most=%d after=%d\n", threadsBefore, threadsMost, threadsAfter);
  if (threadsAfter > threadsBefore) {
    std::fprintf(stderr, "sound_probe: %d thread(s) still running after the player was destroyed\n",
                 threadsAfter - threadsBefore);
    return 1;
  }
  return 0;
}
