// What the learning records cost, each figure from a fresh process (see
// bench/records.sh, which runs the steps):
//   records_bench judge N        the quiz thread's time to hand over each of
//                                N judgements (a new database, the writer
//                                thread busy meanwhile): first, mean, p99, max
//   records_bench make DB COUNT  a generated history of COUNT judgements
//   records_bench open DB        the statistics window on DB: constructed,
//                                and drawn (every chart of the first page)
#include <time.h>
#include <QApplication>
#include <QLabel>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "core/records/Calendar.h"
#include "core/records/Recorder.h"
#include "gui/kit/Fonts.h"
#include "gui/stats/RecordsWindow.h"
#include "support/Files.h"
#include "support/Records.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// The process's CPU time in ms: on a busy machine the wall time also counts
// the waits for a core.
double CpuMs() {
  timespec t{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

int Judge(int n) {
  const vz::test::TempDir dir("vevez-bench");
  vz::records::Recorder recorder(dir / vz::records::kRecordsFile);
  recorder.SetWordFile(dir / "w.txt");
  std::vector<double> us;
  for (int i = 0; i < n; ++i) {
    const std::string q = "question " + std::to_string(i % 500), a = "answer;other " + std::to_string(i);
    const auto t0 = Clock::now();
    recorder.Asked();
    recorder.Happened({vz::Outcome(i % 5), q, a, vz::codec::Encoding::Utf8, i % 1000, 1000});
    us.push_back(Ms(Clock::now() - t0) * 1000);
    // A judgement every 2 ms: far faster than anyone types, and the writer
    // thread competes for the core meanwhile.
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  const double first = us.front();
  recorder.Close();
  std::sort(us.begin(), us.end());
  double sum = 0;
  for (double u : us) sum += u;
  std::printf(
      "judgements %d: quiz thread per judgement first %.1f us, mean %.1f us, p99 %.1f us, max %.1f us%s\n", n,
      first, sum / n, us[std::size_t(n * 99 / 100)], us.back(), recorder.TakeFault() ? " (FAULT)" : "");
  return 0;
}

int Make(const std::string& db, long long count) {
  const auto t0 = Clock::now();
  vz::test::GenerateHistory(db, "/bench/words.txt", count, 20000,
                            vz::records::LocalDay(vz::records::WallClock::now()), 730);
  std::printf("made %lld judgements in %.0f ms\n", count, Ms(Clock::now() - t0));
  return 0;
}

int Open(const std::string& db, int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
  vz::InstallFontSubstitutes();
  QApplication app(argc, argv);
  if (std::getenv("VEVEZ_BENCH_WARM")) {
    // As the program meets it: the main window is up, its fonts loaded.
    QLabel label(QStringLiteral("ネコ cat 学習の記録"));
    label.setFont(vz::UiFont(12));
    label.show();
    QApplication::processEvents();
    label.grab();
  }
  const auto t0 = Clock::now();
  const double cpu0 = CpuMs();
  vz::stats::RecordsWindow window(nullptr, db, "/bench/words.txt",
                                  vz::records::LocalDay(vz::records::WallClock::now()));
  const auto built = Clock::now();
  window.show();
  QApplication::processEvents();
  window.grab();
  const auto drawn = Clock::now();
  // VEVEZ_BENCH_GRAB=FILE.png keeps what was drawn, to look at (try QT_SCALE_FACTOR=2).
  if (const char* grab = std::getenv("VEVEZ_BENCH_GRAB")) window.grab().save(QString::fromLocal8Bit(grab));
  std::printf("statistics window: constructed %.1f ms, shown and drawn %.1f ms (CPU %.1f ms)\n",
              Ms(built - t0), Ms(drawn - t0), CpuMs() - cpu0);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "judge") return Judge(argc > 2 ? std::atoi(argv[2]) : 2000);
  if (mode == "make" && argc > 3) return Make(argv[2], std::atoll(argv[3]));
  if (mode == "open" && argc > 2) return Open(argv[2], argc, argv);
  std::fprintf(stderr, "usage: records_bench judge [N] | make DB COUNT | open DB\n");
  return 2;
}
