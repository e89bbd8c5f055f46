#include "core/records/Stats.h"

#include "core/records/Calendar.h"
#include "core/records/FileIdentity.h"
#include "core/records/RecordWriter.h"
#include "core/records/Schema.h"

namespace vz::records {
namespace {

// The condition for the scope's rows (`column` names the file), as SQL:
// the id is a number, so it goes into the text itself, which lets SQLite
// pick the index of that file's rows.
std::string Where(const Scope& scope, const char* column = "file") {
  return scope.file ? std::string(" AND ") + column + " = " + std::to_string(*scope.file) : std::string();
}

constexpr const char* kSums = "sum(correct), sum(wrong), sum(timeouts), sum(shown), sum(skipped)";

Counts CountsAt(const Statement& s, int first) {
  return {s.Int(first), s.Int(first + 1), s.Int(first + 2), s.Int(first + 3), s.Int(first + 4)};
}

}  // namespace

StatsReader::StatsReader(const std::string& dbPath) : db_(OpenForReading(dbPath)) {}
StatsReader::~StatsReader() = default;

std::optional<std::int64_t> StatsReader::FileOf(const std::string& path) {
  return db_ ? FindFile(*db_, path) : std::nullopt;
}

std::vector<DayCounts> StatsReader::Days(Scope scope, int from, int to) {
  std::vector<DayCounts> days;
  for (int d = from; d <= to; ++d) days.push_back({d, {}});
  if (!db_ || days.empty()) return days;
  Statement s = db_->Prepare(std::string("SELECT day, ") + kSums + " FROM days WHERE day BETWEEN ? AND ?" +
                             Where(scope) + " GROUP BY day");
  s.Bind(1, from).Bind(2, to);
  while (s.Step()) days[static_cast<std::size_t>(s.Int(0) - from)].counts = CountsAt(s, 1);
  return days;
}

std::vector<DayCounts> StatsReader::Weeks(Scope scope, int from, int to) {
  std::vector<DayCounts> weeks;
  for (int w = WeekStart(from); w <= to; w += 7) weeks.push_back({w, {}});
  for (const DayCounts& d : Days(scope, WeekStart(from), to)) {
    Counts& c = weeks[static_cast<std::size_t>((d.day - weeks.front().day) / 7)].counts;
    c.correct += d.counts.correct;
    c.wrong += d.counts.wrong;
    c.timeouts += d.counts.timeouts;
    c.shown += d.counts.shown;
    c.skipped += d.counts.skipped;
  }
  return weeks;
}

std::array<TimeBucket, kTimeBuckets> StatsReader::Timings(Scope scope) {
  std::array<TimeBucket, kTimeBuckets> buckets{};
  if (!db_) return buckets;
  Statement s =
      db_->Prepare("SELECT bucket, sum(correct), sum(missed) FROM timings WHERE bucket BETWEEN 0 AND 10" +
                   Where(scope) + " GROUP BY bucket");
  while (s.Step()) buckets[static_cast<std::size_t>(s.Int(0))] = {s.Int(1), s.Int(2)};
  return buckets;
}

std::vector<std::int64_t> StatsReader::Mastered(Scope scope, int from, int to) {
  std::vector<std::int64_t> lines(static_cast<std::size_t>(std::max(to - from + 1, 0)));
  if (!db_ || lines.empty()) return lines;
  std::int64_t level = 0;
  Statement before = db_->Prepare("SELECT coalesce(sum(delta), 0) FROM mastery WHERE day < ?" + Where(scope));
  if (before.Bind(1, from).Step()) level = before.Int(0);
  Statement s = db_->Prepare("SELECT day, sum(delta) FROM mastery WHERE day BETWEEN ? AND ?" + Where(scope) +
                             " GROUP BY day ORDER BY day");
  s.Bind(1, from).Bind(2, to);
  int day = from;
  auto fillTo = [&](int end) {
    for (; day < end; ++day) lines[static_cast<std::size_t>(day - from)] = level;
  };
  while (s.Step()) {
    fillTo(static_cast<int>(s.Int(0)));
    level += s.Int(1);
  }
  fillTo(to + 1);
  return lines;
}

std::vector<HardWord> StatsReader::Hardest(Scope scope, int limit) {
  std::vector<HardWord> words;
  if (!db_) return words;
  Statement s = db_->Prepare(
      "SELECT question, answers, encoding, cut, wrong, timeouts, correct, last_day FROM lines"
      " WHERE wrong + timeouts > 0" +
      Where(scope) + " ORDER BY wrong + timeouts DESC, last_at DESC LIMIT ?");
  s.Bind(1, limit);
  while (s.Step()) {
    words.push_back({std::string(s.Blob(0)), std::string(s.Blob(1)), EncodingFromKey(s.Blob(2)),
                     s.Int(3) != 0, s.Int(4), s.Int(5), s.Int(6), static_cast<int>(s.Int(7))});
  }
  return words;
}

Summary StatsReader::Summarize(Scope scope, int today) {
  Summary sum;
  if (!db_) return sum;
  Statement s = db_->Prepare(std::string("SELECT day, ") + kSums + " FROM days WHERE 1" + Where(scope) +
                             " GROUP BY day ORDER BY day DESC");
  int expected = today;  // the next day back that continues the streak
  bool inStreak = true;
  while (s.Step()) {
    const Counts c = CountsAt(s, 1);
    const int day = static_cast<int>(s.Int(0));
    ++sum.daysPractised;
    sum.counts.correct += c.correct;
    sum.counts.wrong += c.wrong;
    sum.counts.timeouts += c.timeouts;
    sum.counts.shown += c.shown;
    sum.counts.skipped += c.skipped;
    // A day not practised yet today does not break the streak.
    if (inStreak && day == today - 1 && expected == today) expected = day;
    inStreak = inStreak && day == expected;
    if (inStreak) {
      ++sum.streak;
      --expected;
    }
  }
  return sum;
}

void StatsReader::ForEachRecord(Scope scope, const std::function<void(const RecordRow&)>& onRow) {
  if (!db_) return;
  Statement s = db_->Prepare(
      "SELECT j.at, f.path, l.question, l.answers, l.encoding, j.outcome, j.ticks, j.time_limit"
      " FROM judgements j JOIN lines l ON l.id = j.line JOIN files f ON f.id = l.file WHERE 1" +
      Where(scope, "l.file") + " ORDER BY j.id");
  while (s.Step()) {
    onRow({s.Int(0), s.Blob(1), s.Blob(2), s.Blob(3), EncodingFromKey(s.Blob(4)),
           static_cast<Outcome>(s.Int(5)), static_cast<int>(s.Int(6)), static_cast<int>(s.Int(7))});
  }
}

}  // namespace vz::records
