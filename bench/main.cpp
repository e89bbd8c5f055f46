// vevez_bench [benchmark flags] [word file]
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "BenchFiles.h"

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);  // takes away the --benchmark_* flags
  std::string path;
  if (const char* env = std::getenv("VEVEZ_BENCH_WORDS")) path = env;
  if (argc > 1) path = argv[1];
  if (argc > 2) {
    std::fprintf(stderr, "usage: %s [benchmark flags] [word file]\n", argv[0]);
    return 2;
  }
  if (path.empty()) std::fprintf(stderr, "%s\n", vz::bench::NoWordFileMessage());
  vz::bench::SetWordFilePath(path);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
