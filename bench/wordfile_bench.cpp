// Loading and saving the word file, against plain reading and writing of the
// same bytes. The save fsyncs its temporary file and the directory, so the
// plain write is measured both with and without fsync.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <string_view>

#include "BenchFiles.h"
#include "core/files/ReadFile.h"
#include "core/wordlist/WordLine.h"
#include "core/wordlist/WordList.h"

namespace {

using vz::bench::ScratchDir;
using vz::bench::WordFilePath;

std::string PlainRead(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st {};
  if (fd < 0 || ::fstat(fd, &st) != 0) throw std::runtime_error("cannot read " + path);
  std::string data(static_cast<size_t>(st.st_size), '\0');
  size_t got = 0;
  while (got < data.size()) {
    const ssize_t n = ::read(fd, data.data() + got, data.size() - got);
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  ::close(fd);
  data.resize(got);
  return data;
}

void PlainWrite(const std::string& path, std::string_view data, bool sync) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) throw std::runtime_error("cannot write " + path);
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n <= 0) break;
    data.remove_prefix(static_cast<size_t>(n));
  }
  if (sync) ::fsync(fd);
  ::close(fd);
}

// A copy of the word file in the scratch directory, so that saving never
// touches the original. Empty when there is no word file.
const std::string& WorkCopy() {
  static const std::string copy = [] {
    if (WordFilePath().empty() || !vz::IsRegularFile(WordFilePath())) return std::string();
    const std::string path = ScratchDir() + "/words.txt";
    PlainWrite(path, PlainRead(WordFilePath()), false);
    return path;
  }();
  return copy;
}

bool Ready(benchmark::State& state) {
  if (WordFilePath().empty()) {
    state.SkipWithError(vz::bench::NoWordFileMessage());
    return false;
  }
  if (WorkCopy().empty()) {
    state.SkipWithError(("cannot read the word file " + WordFilePath()).c_str());
    return false;
  }
  return true;
}

void SetFileBytes(benchmark::State& state) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(vz::StampOf(WorkCopy()).size));
}

// ---- baselines ---------------------------------------------------------------

void BM_PlainRead(benchmark::State& state) {
  if (!Ready(state)) return;
  for (auto _ : state) benchmark::DoNotOptimize(PlainRead(WorkCopy()));
  SetFileBytes(state);
}

void BM_PlainWrite(benchmark::State& state) {
  if (!Ready(state)) return;
  const std::string data = PlainRead(WorkCopy());
  const std::string out = ScratchDir() + "/plain.txt";
  for (auto _ : state) PlainWrite(out, data, state.range(0) != 0);
  SetFileBytes(state);
}

void BM_PlainReadWrite(benchmark::State& state) {
  if (!Ready(state)) return;
  const std::string out = ScratchDir() + "/plain.txt";
  for (auto _ : state) PlainWrite(out, PlainRead(WorkCopy()), state.range(0) != 0);
  SetFileBytes(state);
}

// ---- the word list -------------------------------------------------------------

void BM_Load(benchmark::State& state) {
  if (!Ready(state)) return;
  size_t lines = 0;
  for (auto _ : state) {
    vz::WordList list;
    list.Load(WorkCopy());
    lines = static_cast<size_t>(list.Count());
    benchmark::DoNotOptimize(list);
  }
  state.counters["lines"] = static_cast<double>(lines);
  SetFileBytes(state);
}

// Saves the list over its file; with `reload`, every round loads it into a
// fresh list first, as a session from start to exit does.
void SaveRounds(benchmark::State& state, bool reload) {
  if (!Ready(state)) return;
  vz::WordList list;
  list.Load(WorkCopy());
  for (auto _ : state) {
    if (reload) {
      list = vz::WordList();
      list.Load(WorkCopy());
    }
    if (list.Save(WorkCopy()) != vz::WordList::SaveResult::Saved) {
      state.SkipWithError("the save was declined");
      break;
    }
  }
  SetFileBytes(state);
}
void BM_Save(benchmark::State& state) { SaveRounds(state, false); }
void BM_LoadSave(benchmark::State& state) { SaveRounds(state, true); }
// The file has a second name, so every save rewrites it in place: a synced
// backup, the journal entry, then the file itself.
void BM_SaveInPlace(benchmark::State& state) {
  if (!Ready(state)) return;
  const std::string second = ScratchDir() + "/second-name";
  ::setenv("XDG_CACHE_HOME", ScratchDir().c_str(), 1);
  if (::link(WorkCopy().c_str(), second.c_str()) != 0) {
    state.SkipWithError("cannot give the word file a second name");
    return;
  }
  SaveRounds(state, false);
  ::unlink(second.c_str());
}

// The parts without the file system.
// Finding the lines of a file's text, as a load does.
void BM_ForEachLine(benchmark::State& state) {
  if (!Ready(state)) return;
  const std::string text = PlainRead(WorkCopy());
  for (auto _ : state) {
    std::size_t count = 0;
    vz::ForEachLine(text, nullptr, [&](std::string_view) { ++count; });
    benchmark::DoNotOptimize(count);
  }
  SetFileBytes(state);
}

}  // namespace

BENCHMARK(BM_PlainRead)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainWrite)->ArgName("fsync")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainReadWrite)->ArgName("fsync")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Save)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoadSave)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveInPlace)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ForEachLine)->Unit(benchmark::kMillisecond);
