#pragma once
// Records databases for tests and benchmarks: judgements made without a
// quiz, a generated history of any size, what the sqlite3 shell says of a
// database, and what a command prints to a FILE*.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/records/RecordWriter.h"

namespace vz::test {

// A judgement of the line "q<n>,a<n>" of `file`, at noon (UTC) of `day`.
inline records::Judgement JudgementOn(const std::string& file, int day, int n, Outcome outcome,
                                      int ticks = 300, int limit = 1000) {
  records::Judgement j;
  j.atMs = (std::int64_t(day) * 86400 + 43200) * 1000;
  j.day = day;
  j.file = file;
  j.outcome = outcome;
  j.question = "q" + std::to_string(n);
  j.answers = "a" + std::to_string(n);
  j.fullBytes = j.question.size() + j.answers.size();
  j.ticks = ticks;
  j.timeLimit = limit;
  return j;
}

// `count` judgements of `lines` lines of `file`, spread evenly over the
// `days` days up to `lastDay`, written in batches. The same arguments give
// the same history: line n is missed once in every (n % 7 + 2) askings, and
// takes ticks by its number.
inline void GenerateHistory(const std::string& db, const std::string& file, std::int64_t count, int lines,
                            int lastDay, int days) {
  records::RecordWriter writer(db);
  std::vector<records::Judgement> batch;
  for (std::int64_t i = 0; i < count; ++i) {
    const int n = static_cast<int>(i * 7919 % lines);
    const int day = lastDay - days + 1 + static_cast<int>(i * days / count);
    const Outcome o = i % (n % 7 + 2) == 0 ? (i % 3 ? Outcome::Wrong : Outcome::TimeOut) : Outcome::Correct;
    batch.push_back(JudgementOn(file, day, n, o, o == Outcome::TimeOut ? 1000 : 100 + n % 900));
    if (batch.size() == 50000 || i + 1 == count) {
      writer.Write(batch);
      batch.clear();
    }
  }
}

// What `sqlite3 DB SQL` prints (the SQL must hold no single quote).
inline std::string SqliteShell(const std::string& db, const std::string& sql) {
  std::string out;
  if (std::FILE* p = ::popen(("sqlite3 -batch '" + db + "' '" + sql + "' 2>&1").c_str(), "r")) {
    char buf[256];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    ::pclose(p);
  }
  return out;
}

// What `f(FILE*)` writes to the stream it is given.
template <class F>
std::string Printed(F&& f) {
  char* data = nullptr;
  std::size_t size = 0;
  std::FILE* s = ::open_memstream(&data, &size);
  f(s);
  std::fclose(s);
  std::string text(data, size);
  std::free(data);
  return text;
}

}  // namespace vz::test
