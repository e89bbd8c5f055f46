#pragma once
// Shared by the fuzz targets (tests/fuzz/).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/files/Sync.h"

namespace vz::test {

// Ends the run when `ok` is false; libFuzzer keeps the input that did it.
inline void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "fuzz: %s\n", what);
  std::abort();
}

// Scratch files go to memory (/dev/shm) unless TMPDIR says otherwise, and
// saves there skip the sync to disk, so a target runs thousands of inputs a
// second. libFuzzer ends without atexit handlers: each input removes its own
// directory, and one left behind belongs to an input that failed.
inline std::string FuzzScratchBase() {
  [[maybe_unused]] static const SyncFn kept = ReplaceSyncStep([](int, SyncOf) { return 0; });
  if (const char* t = std::getenv("TMPDIR"); t && *t) return t;
  return ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
}

}  // namespace vz::test
