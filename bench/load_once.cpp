// Loads one word file in this fresh process, as the program does at start-up,
// and prints what that cost: "load_ms lines rss_growth_kib encoding cpu_ms". Memory is the
// growth of the resident set over the load, file pages mapped in included.
// Usage: vevez_load_once WORDFILE
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>

#include "core/wordlist/WordList.h"

namespace {

long RssKib() {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s WORDFILE\n", argv[0]);
    return 2;
  }
  auto* list = new vz::WordList;  // never freed: the figure is for a live list
  const long before = RssKib();
  const auto t0 = std::chrono::steady_clock::now();
  const std::clock_t c0 = std::clock();
  try {
    list->Load(argv[1]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  // The processor time too: on a busy machine the wall time is mostly waiting.
  const double cpuMs = 1000.0 * static_cast<double>(std::clock() - c0) / CLOCKS_PER_SEC;
  static const char* const kNames[] = {"cp932", "utf-8", "euc-jp", "utf-16le", "utf-16be"};
  std::printf("%.2f %d %ld %s %.2f\n", ms, list->Count(), RssKib() - before,
              kNames[static_cast<int>(list->FileEncoding())], cpuMs);
  return 0;
}
