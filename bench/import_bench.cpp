// Converting the EDICT word list's pairs, exported as a UTF-8 tab-separated
// file (as KWordQuiz writes them), into a new word file: both passes over the
// source, the code page 932 check and the written file.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <string>

#include "BenchFiles.h"
#include "core/files/AtomicFile.h"
#include "core/files/ReadFile.h"
#include "core/import/Import.h"
#include "core/wordlist/WordLine.h"
#include "support/Cp932.h"

namespace {

void BM_ImportEdictTsv(benchmark::State& state) {
  if (vz::bench::WordFilePath().empty()) return state.SkipWithError(vz::bench::NoWordFileMessage());
  const std::string source = vz::bench::ScratchDir() + "/edict-pairs.tsv";
  const std::string target = vz::bench::ScratchDir() + "/edict-imported.txt";
  std::string tsv;
  vz::ForEachLine(vz::ReadRegularFile(vz::bench::WordFilePath()), nullptr, [&](std::string_view line) {
    const vz::SplitView s = vz::SplitInPlace(line);
    tsv.append(vz::codec::Cp932ToUtf8(s.question)).append("\t").append(vz::codec::Cp932ToUtf8(s.answers));
    tsv += '\n';
  });
  vz::WriteFileAtomic(source, tsv);
  std::size_t pairs = 0;
  for (auto _ : state) {
    ::unlink(target.c_str());
    pairs = vz::import::ImportFile(source, target, {}, [](const vz::import::Skipped&) {}).pairs;
  }
  state.counters["pairs"] = static_cast<double>(pairs);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * tsv.size()));
}
BENCHMARK(BM_ImportEdictTsv)->Unit(benchmark::kMillisecond);

}  // namespace
