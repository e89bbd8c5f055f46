#pragma once
// What the records say, for the statistics window and `vevez --stats`: both
// read the same numbers here. Everything but the CSV export reads the totals
// the database keeps, so it costs the same with a million judgements as
// with ten.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/quiz/QuizObserver.h"
#include "core/records/Sqlite.h"
#include "core/text/Encoding.h"

namespace vz::records {

// Which records: one word file's (its id in the records), or every file's.
struct Scope {
  std::optional<std::int64_t> file;
};

struct Counts {
  std::int64_t correct = 0, wrong = 0, timeouts = 0, shown = 0, skipped = 0;
  std::int64_t Judged() const { return correct + wrong + timeouts; }
  bool operator==(const Counts&) const = default;
};

struct DayCounts {
  int day = 0;
  Counts counts;
};

// Answers given within each tenth of the time limit (buckets 0 to 9), and
// the time-outs (bucket 10).
inline constexpr int kTimeBuckets = 11;
struct TimeBucket {
  std::int64_t correct = 0, missed = 0;
};

struct HardWord {
  std::string question, answers;  // in `encoding`, as recorded
  codec::Encoding encoding = codec::Encoding::Cp932;
  bool cut = false;  // longer than what was kept (RecordWriter.h)
  std::int64_t wrong = 0, timeouts = 0, correct = 0;
  int lastDay = 0;
};

struct Summary {
  Counts counts;
  std::int64_t daysPractised = 0;
  int streak = 0;  // days in a row with an outcome, up to today (or yesterday)
};

// One record of the CSV export.
struct RecordRow {
  std::int64_t atMs = 0;
  std::string_view file, question, answers;
  codec::Encoding encoding = codec::Encoding::Cp932;
  Outcome outcome = Outcome::Correct;
  int ticks = 0, timeLimit = 0;
};

class StatsReader {
 public:
  // The records at `dbPath`, read only; with no file there, no records.
  // Raises RecordsError for a file that cannot be read or is not ours.
  explicit StatsReader(const std::string& dbPath);
  ~StatsReader();

  bool Empty() const { return !db_; }
  // The records' id of the word file at `path`; nullopt when none.
  std::optional<std::int64_t> FileOf(const std::string& path);

  // Every day from `from` to `to`, days without records included.
  std::vector<DayCounts> Days(Scope scope, int from, int to);
  // Every week (by its Monday) from the week of `from` to that of `to`.
  std::vector<DayCounts> Weeks(Scope scope, int from, int to);
  std::array<TimeBucket, kTimeBuckets> Timings(Scope scope);
  // The lines mastered at the end of each day from `from` to `to`.
  std::vector<std::int64_t> Mastered(Scope scope, int from, int to);
  // The `limit` lines with the most wrong answers and time-outs.
  std::vector<HardWord> Hardest(Scope scope, int limit);
  Summary Summarize(Scope scope, int today);
  // Every record, oldest first.
  void ForEachRecord(Scope scope, const std::function<void(const RecordRow&)>& onRow);

 private:
  std::unique_ptr<Db> db_;
};

}  // namespace vz::records
