#pragma once
// Shared by the fuzz targets (tests/fuzz/).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "wordlist/FileIO.h"

namespace vz::test {

// Ends the run when `ok` is false; libFuzzer keeps the input that did it.
inline void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "fuzz: %s\n", what);
    std::abort();
  }
}

// Scratch files go to memory (/dev/shm) unless TMPDIR says otherwise, and
// saves there skip the sync to disk: a target then runs thousands of inputs
// a second. libFuzzer ends a run without running atexit handlers, so each
// input removes its own directory when it is done; one left behind belongs
// to an input that failed.
inline std::string FuzzScratchBase() {
  static const SyncFn kept = ReplaceSyncStep([](int) { return 0; });
  (void)kept;
  if (const char* t = std::getenv("TMPDIR"); t && *t) return t;
  return ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
}

}  // namespace vz::test
