#include "core/records/StatsCommand.h"

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <string_view>

#include "core/files/Locations.h"
#include "core/records/Calendar.h"
#include "core/records/Csv.h"
#include "core/records/Recorder.h"
#include "core/records/Stats.h"
#include "core/text/Convert.h"

namespace vz::records {
namespace {

constexpr char kStatsUsage[] =
    "使い方: vevez --stats [単語ファイル] [--csv]\n"
    "学習の記録の概要 (練習した日数、解答数、正答率、連続日数、間違いの多い単語) を表示して終了します。\n"
    "単語ファイルを指定するとそのファイルの記録だけを、--csv では全ての記録を CSV で出力します。\n";

void Print(std::FILE* out, const std::string& text) { std::fwrite(text.data(), 1, text.size(), out); }

std::string Percent(std::int64_t part, std::int64_t whole) {
  if (whole == 0) return "-";
  char text[16];
  std::snprintf(text, sizeof text, "%.1f%%", 100.0 * static_cast<double>(part) / static_cast<double>(whole));
  return text;
}

std::string SummaryText(StatsReader& reader, Scope scope, int today) {
  const Summary s = reader.Summarize(scope, today);
  const Counts& c = s.counts;
  auto n = [](std::int64_t v) { return std::to_string(v); };
  std::string text = "練習した日数: " + n(s.daysPractised) + "\n連続日数: " + n(s.streak) +
                     "\n解答数: " + n(c.Judged()) + " (正解 " + n(c.correct) + "、不正解 " + n(c.wrong) +
                     "、時間切れ " + n(c.timeouts) + ")\n正答率: " + Percent(c.correct, c.Judged()) +
                     "\n答えを見た回数: " + n(c.shown) + "\n飛ばした回数: " + n(c.skipped) + "\n";
  const std::vector<HardWord> words = reader.Hardest(scope, kSummaryWords);
  if (!words.empty()) text += "間違いの多い単語:\n";
  int rank = 0;
  for (const HardWord& w : words) {
    char head[16];
    std::snprintf(head, sizeof head, "%3d. ", ++rank);
    text += head + codec::ToUtf8(w.encoding, w.question) + "," + codec::ToUtf8(w.encoding, w.answers) +
            "  (不正解 " + n(w.wrong) + "、時間切れ " + n(w.timeouts) + "、正解 " + n(w.correct) + ")\n";
  }
  return text;
}

// The executable's directory, ending in "/".
std::string ExeDir() {
  char path[PATH_MAX];
  const ssize_t len = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (len <= 0) return "./";
  const std::string exe(path, static_cast<std::size_t>(len));
  return exe.substr(0, exe.rfind('/') + 1);
}

}  // namespace

int StatsCommand(const std::vector<std::string>& args, const std::string& dbPath, int today, std::FILE* out,
                 std::FILE* err) {
  bool csv = false;
  std::vector<std::string> files;
  for (const std::string& a : args) {
    if (a == "--stats") continue;
    if (a == "--csv") {
      csv = true;
    } else if (a.starts_with("-") && a != "-") {
      std::fprintf(err, "vevez: 不明なオプション %s\n%s", a.c_str(), kStatsUsage);
      return 2;
    } else {
      files.push_back(a);
    }
  }
  if (files.size() > 1) {
    std::fprintf(err, "vevez: 単語ファイルは一つだけ指定できます\n%s", kStatsUsage);
    return 2;
  }
  try {
    StatsReader reader(dbPath);
    Scope scope;
    if (!files.empty()) {
      scope.file = reader.FileOf(AbsolutePath(files[0]));
      if (!scope.file) throw Error("単語ファイル " + files[0] + " の記録はありません");
    }
    if (csv) {
      Print(out, CsvHeader());
      reader.ForEachRecord(scope, [&](const RecordRow& row) { Print(out, CsvRecord(row)); });
    } else {
      Print(out, "学習の記録: " + dbPath + "\n" +
                     (files.empty() ? "対象: 全ての単語ファイル" : "単語ファイル: " + files[0]) + "\n" +
                     SummaryText(reader, scope, today));
    }
    return std::fflush(out) == 0 ? 0 : 1;
  } catch (const std::exception& e) {
    std::fprintf(err, "vevez: %s\n", e.what());
    return 1;
  }
}

std::optional<int> RunStatsCommand(int argc, const char* const* argv, std::FILE* out, std::FILE* err) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (std::find(args.begin(), args.end(), "--stats") == args.end()) return std::nullopt;
  const Locations where = FindLocations(ExeDir());
  return StatsCommand(args, where.dataDir + kRecordsFile, LocalDay(WallClock::now()), out, err);
}

}  // namespace vz::records
