// Picking a question on the real word file when a single askable line is
// left: the backward scan then walks the whole list.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "BenchFiles.h"
#include "core/files/ReadFile.h"
#include "core/quiz/QuizEngine.h"
#include "core/wordlist/WordList.h"
#include "support/QuizAccess.h"
#include "support/RecordingView.h"

namespace {

// The seed whose next draw over n lines is `start` (see QuizRandom).
std::uint32_t SeedFor(std::uint32_t start, std::uint32_t n) {
  constexpr std::uint32_t mul = 134775813u;
  const std::uint64_t s = ((std::uint64_t(start) << 32) + n - 1) / n;
  std::uint32_t inv = mul;
  for (int i = 0; i < 5; ++i) inv *= 2u - mul * inv;
  return (static_cast<std::uint32_t>(s) - 1u) * inv;
}

// The word file with every line answered but the one in the middle.
bool LoadOneAskable(benchmark::State& state, vz::WordList& list, int& askable) {
  const std::string& path = vz::bench::WordFilePath();
  if (path.empty()) {
    state.SkipWithError(vz::bench::NoWordFileMessage());
    return false;
  }
  if (!vz::IsRegularFile(path)) {
    state.SkipWithError(("cannot read the word file " + path).c_str());
    return false;
  }
  list.Load(path);
  if (list.Count() < 2) {
    state.SkipWithError("the word file has fewer than two lines");
    return false;
  }
  for (int i = 0; i < list.Count(); ++i) list.MarkAnswered(i);
  askable = list.Count() / 2;
  std::string line(list.Get(askable));
  line[0] = '0';
  list.Put(askable, line);
  return true;
}

// A word file with one askable line, and an engine over it that draws nothing.
struct OneAskableQuiz {
  vz::WordList list;
  int askable = 0;
  vz::test::RecordingView view{false};
  vz::QuizEngine quiz{list, view};
  vz::QuizState& st = vz::test::StateOf(quiz);
};

// Start just before the askable line: the scan goes down to line 0, wraps,
// and comes back down to it, looking at every line once.
void BM_NextQuestion_OneAskable_Worst(benchmark::State& state) {
  OneAskableQuiz q;
  if (!LoadOneAskable(state, q.list, q.askable)) return;
  const auto n = static_cast<std::uint32_t>(q.list.Count());
  const std::uint32_t seed = SeedFor(static_cast<std::uint32_t>(q.askable - 1), n);
  for (auto _ : state) {
    q.st.Rng.seed = seed;
    if (!q.quiz.NextQuestion() || q.st.CurLine != q.askable) {
      state.SkipWithError("picked the wrong line");
      break;
    }
  }
  state.counters["lines"] = static_cast<double>(n);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * n);  // lines looked at
}

// Random starts, as in use: on average half the list is scanned.
void BM_NextQuestion_OneAskable_Random(benchmark::State& state) {
  OneAskableQuiz q;
  if (!LoadOneAskable(state, q.list, q.askable)) return;
  q.st.Rng.seed = 12345;
  for (auto _ : state) benchmark::DoNotOptimize(q.quiz.NextQuestion());
}

}  // namespace

BENCHMARK(BM_NextQuestion_OneAskable_Worst)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NextQuestion_OneAskable_Random)->Unit(benchmark::kMicrosecond);
