// What the counting layer adds to one allocation.
//
// This executable links the layer, so ::operator new/delete are the counting
// forms. The same pair without the layer is reached through dlsym(RTLD_NEXT),
// which finds the definitions the layer replaces (libstdc++'s); malloc/free
// is the floor both pass their requests to.

#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <cstdlib>
#include <new>

#include "leakcheck/MemCheck.h"

namespace {

using NewFn = void* (*)(std::size_t);
using DeleteFn = void (*)(void*);

NewFn libraryNew = nullptr;
DeleteFn libraryDelete = nullptr;

bool FindLibraryAllocator() {
  libraryNew = reinterpret_cast<NewFn>(dlsym(RTLD_NEXT, "_Znwm"));
  libraryDelete = reinterpret_cast<DeleteFn>(dlsym(RTLD_NEXT, "_ZdlPv"));
  return libraryNew && libraryDelete;
}

void BM_CountedNewDelete(benchmark::State& state) {
  const auto size = static_cast<std::size_t>(state.range(0));
  for (auto _ : state) {
    void* p = ::operator new(size);
    benchmark::DoNotOptimize(p);
    ::operator delete(p);
  }
}

void BM_LibraryNewDelete(benchmark::State& state) {
  if (!libraryNew) {
    state.SkipWithError("libstdc++'s operator new not found");
    return;
  }
  const auto size = static_cast<std::size_t>(state.range(0));
  for (auto _ : state) {
    void* p = libraryNew(size);
    benchmark::DoNotOptimize(p);
    libraryDelete(p);
  }
}

void BM_MallocFree(benchmark::State& state) {
  const auto size = static_cast<std::size_t>(state.range(0));
  for (auto _ : state) {
    void* p = std::malloc(size);
    benchmark::DoNotOptimize(p);
    std::free(p);
  }
}

// Aligned and array forms take other paths through the layer.
void BM_CountedAlignedArray(benchmark::State& state) {
  for (auto _ : state) {
    void* p = ::operator new[](64, std::align_val_t{64});
    benchmark::DoNotOptimize(p);
    ::operator delete[](p, std::align_val_t{64});
  }
}

// Every release once blocks are set aside for good (a graphics driver's on
// native Wayland, about 2,100): each one looks its block up in the table.
void BM_CountedNewDeleteWithBlocksSetAside(benchmark::State& state) {
  static const bool setAside = [] {
    vz::memcheck::SetAside aside;
    for (int i = 0; i < 2200; ++i) benchmark::DoNotOptimize(::operator new(32));
    return true;
  }();
  (void)setAside;
  for (auto _ : state) {
    void* p = ::operator new(16);
    benchmark::DoNotOptimize(p);
    ::operator delete(p);
  }
}

BENCHMARK(BM_CountedNewDelete)->Arg(16)->Arg(256);
BENCHMARK(BM_LibraryNewDelete)->Arg(16)->Arg(256);
BENCHMARK(BM_MallocFree)->Arg(16)->Arg(256);
BENCHMARK(BM_CountedAlignedArray);
BENCHMARK(BM_CountedNewDeleteWithBlocksSetAside);
// Two threads changing the one shared counter.
BENCHMARK(BM_CountedNewDelete)->Arg(16)->Threads(2);
BENCHMARK(BM_LibraryNewDelete)->Arg(16)->Threads(2);

}  // namespace

int main(int argc, char** argv) {
  FindLibraryAllocator();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
