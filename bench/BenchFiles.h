#pragma once
// Where the benchmarks find their word file and put what they write.
#include <string>

namespace vz::bench {

// The word file named on the command line or in VEVEZ_BENCH_WORDS; empty
// when there is none.
const std::string& WordFilePath();
void SetWordFilePath(std::string path);

// The message a benchmark skips with when there is no word file.
const char* NoWordFileMessage();

// A scratch directory for files the benchmarks write (under TMPDIR or /tmp),
// created on first use and removed at exit.
const std::string& ScratchDir();

}  // namespace vz::bench
