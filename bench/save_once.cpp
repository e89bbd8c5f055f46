// Loads one word file, marks its first question answered and saves it over
// itself, in this fresh process, as a run of the program does. Prints
// "file_mib peak_growth_mib ratio": the peak resident set over the load and
// the save (file pages mapped in included) against the file's size.
// Usage: vevez_save_once WORDFILE
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "core/wordlist/WordList.h"

namespace {

long StatusKib(const char* key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + std::string(key).size());
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  struct stat st {};
  if (argc != 2 || ::stat(argv[1], &st) != 0) {
    std::fprintf(stderr, "usage: %s WORDFILE\n", argv[0]);
    return 2;
  }
  const long before = StatusKib("VmRSS:");
  auto* list = new vz::WordList;  // never freed: the figure is for a live list
  try {
    list->Load(argv[1]);
    if (list->Count() > 0) list->MarkAnswered(0);
    if (list->Save(argv[1]) != vz::WordList::SaveResult::Saved) {
      std::fprintf(stderr, "save declined\n");
      return 1;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  const double file = static_cast<double>(st.st_size) / (1 << 20);
  const double peak = static_cast<double>(StatusKib("VmHWM:") - before) / 1024;
  std::printf("%.1f %.1f %.2f\n", file, peak, peak / file);
  return 0;
}
