#pragma once
// `vevez --stats [FILE] [--csv]`: the summary of the records (days practised,
// answers, accuracy, streak, the hardest words), or every record as CSV
// (RFC 4180), on standard output, before any window or display is needed.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace vz::records {

// How many hardest words the summary lists.
inline constexpr int kSummaryWords = 20;

// Runs the command when the command line asks for it and returns the exit
// status (0 done, 1 failure, 2 usage); nullopt when it does not ask for it.
// The records are those of the program at /proc/self/exe.
std::optional<int> RunStatsCommand(int argc, const char* const* argv, std::FILE* out, std::FILE* err);

// The same with the records at `dbPath`, on the local day `today`
// (Calendar.h); `args` without the program's name.
int StatsCommand(const std::vector<std::string>& args, const std::string& dbPath, int today, std::FILE* out,
                 std::FILE* err);

}  // namespace vz::records
