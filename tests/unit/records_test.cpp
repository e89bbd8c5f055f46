#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "core/files/AtomicFile.h"
#include "core/files/ReadFile.h"
#include "core/quiz/QuizEngine.h"
#include "core/records/Calendar.h"
#include "core/records/Export.h"
#include "core/records/FileIdentity.h"
#include "core/records/Recorder.h"
#include "core/records/Schema.h"
#include "core/records/Stats.h"
#include "core/records/StatsCommand.h"
#include "support/Files.h"
#include "support/QuizAccess.h"
#include "support/RecordingView.h"
#include "support/Records.h"

namespace vz::records {
namespace {

using namespace std::chrono_literals;

constexpr int kDay = 20000;  // 2024-10-04
const WallClock::time_point kNoon = WallClock::time_point(std::chrono::hours(24 * kDay + 12));

// The word file "w.txt" of five lines in `dir`.
std::string WordFile(const test::TempDir& dir) {
  test::WriteBytes(dir / "w.txt", "0q,a\r\n0r,b\r\n0s,c\r\n0t,d\r\n0u,e\r\n");
  return dir / "w.txt";
}

// A running quiz over the word file `words` that records into `db`, on a
// clock the test moves.
struct RecordedQuiz {
  RecordedQuiz(const std::string& wordFile, const std::string& db)
      : words(wordFile),
        recorder(
            db, [this] { ++faultCalls; }, [] { return kNoon; }) {
    list.Load(words);
    recorder.SetWordFile(words);
    quiz.SetObserver(&recorder);
    quiz.ApplyOptions({true, 100});
    test::StateOf(quiz).Rng.seed = 0;
    quiz.NextQuestion();
    quiz.S1Click();
  }
  // Answers the question on the board right and moves on, or answers wrong.
  void Answer(bool right) {
    quiz.Judgment(right ? quiz.State().AnsText : "x");
    if (right) quiz.Judgment("");
  }
  // What the quiz did: the history's kinds and the state marks.
  std::string Trace() const {
    std::string trace;
    for (const HistoryEntry& e : quiz.State().History) trace += " CWT"[int(e.kind)];
    for (int i = 0; i < list.Count(); ++i) trace += list.Get(i)[0];
    return trace;
  }
  std::string words;
  int faultCalls = 0;
  Recorder recorder;
  WordList list;
  test::RecordingView view{false};
  std::chrono::nanoseconds now{};
  QuizEngine quiz{list, view, [this] { return now; }};
};

// Each outcome the quiz reaches is written with its line, ticks and limit,
// and read back in the day's counts, the time buckets and the export.
TEST(Records, EachOutcomeIsWrittenAndReadBack) {
  struct Case {
    const char* name;
    std::function<void(RecordedQuiz&)> act;
    Counts counts;
    int bucket;  // -1: none
    int ticks;
  };
  const Case cases[] = {
      {"correct", [](RecordedQuiz& q) { q.now += 25 * kTick, q.Answer(true); }, {1, 0, 0, 0, 0}, 2, 25},
      {"wrong", [](RecordedQuiz& q) { q.now += 99 * kTick, q.Answer(false); }, {0, 1, 0, 0, 0}, 9, 99},
      {"time-out",
       [](RecordedQuiz& q) { q.now += 100 * kTick, q.quiz.Timer1Timer(); },
       {0, 0, 1, 0, 0},
       10,
       100},
      {"answer shown",
       [](RecordedQuiz& q) { q.quiz.AnsBtnClick(), q.quiz.AnsBtnClick(); },
       {0, 0, 0, 1, 0},
       -1,
       0},
      {"skipped", [](RecordedQuiz& q) { q.quiz.SkipBtnClick(); }, {0, 0, 0, 0, 1}, -1, 0},
  };
  for (const Case& c : cases) {
    const test::TempDir dir("vevez-records");
    const std::string db = dir / kRecordsFile;
    RecordedQuiz q(WordFile(dir), db);
    const std::string question = q.quiz.State().QuesText, answers = q.quiz.State().AnsText;
    c.act(q);
    q.recorder.Flush();
    StatsReader r(db);
    EXPECT_EQ(r.Days({}, kDay, kDay)[0].counts, c.counts) << c.name;
    const auto buckets = r.Timings({});
    for (int b = 0; b < kTimeBuckets; ++b) {
      const auto& t = buckets[static_cast<std::size_t>(b)];
      EXPECT_EQ(t.correct + t.missed, b == c.bucket) << c.name << " bucket " << b;
    }
    std::vector<std::string> rows;
    r.ForEachRecord({}, [&](const RecordRow& row) {
      rows.push_back(std::string(row.file) + "|" + std::string(row.question) + "|" +
                     std::string(row.answers) + "|" + std::to_string(row.ticks) + "/" +
                     std::to_string(row.timeLimit) + "|" + std::to_string(static_cast<int>(row.encoding)));
    });
    EXPECT_EQ(rows, std::vector<std::string>{q.words + "|" + question + "|" + answers + "|" +
                                             std::to_string(c.ticks) + "/100|0"})  // code page 932
        << c.name;
    // Stored databases are told ours by this mark ("VZR1"): it never changes.
    EXPECT_EQ(test::SqliteShell(db, "PRAGMA application_id"), "1448759857\n");
  }
}

// A line is mastered after three passes in a row answered right at the
// first try; any other outcome spoils its pass and ends the mastery. Each
// outcome falls on a day of its own; `mastered` is the count at each day's end.
TEST(Records, MasteredLinesOverTime) {
  const std::pair<const char*, const char*> cases[] = {
      {"CCC", "001"},   {"CC", "00"},     {"WCCCC", "00001"}, {"CWCCC", "00000"},       {"CCCW", "0010"},
      {"CCCT", "0010"}, {"CCCS", "0010"}, {"CCHC", "0000"},   {"CCCCWCCC", "00110000"},
  };
  auto of = [](char c) { return Outcome(std::string_view("CWTHS").find(c)); };
  for (const auto& [outcomes, mastered] : cases) {
    const test::TempDir dir("vevez-records");
    std::vector<Judgement> js;
    for (int i = 0; outcomes[i]; ++i) js.push_back(test::JudgementOn("/w", kDay + i, 1, of(outcomes[i])));
    RecordWriter(dir / "r.sqlite").Write(js);
    // From the first day, and from the fourth on (the count before it included).
    for (const std::size_t from : {std::size_t(0), std::min<std::size_t>(3, js.size())}) {
      std::string got;
      for (auto n : StatsReader(dir / "r.sqlite").Mastered({}, kDay + int(from), kDay + int(js.size()) - 1))
        got += char('0' + n);
      EXPECT_EQ(got, std::string(mastered).substr(from)) << outcomes;
    }
    // Week by week: weeks 7 days apart, each right answer counted once.
    const auto weeks = StatsReader(dir / "r.sqlite").Weeks({}, kDay, kDay + int(js.size()) - 1);
    int correct = 0;
    for (std::size_t w = 0; w < weeks.size(); ++w) {
      EXPECT_EQ(weeks[w].day, weeks[0].day + 7 * int(w));
      correct += weeks[w].counts.correct;
    }
    EXPECT_EQ(correct, std::ranges::count(std::string_view(outcomes), 'C')) << outcomes;
  }
}

// Whatever is wrong with the database, the quiz goes on exactly as without
// records, the word file is never touched, a file that is not ours keeps
// its bytes, and the fault is told once, naming the file and why.
TEST(Records, FaultsNeverStopTheQuiz) {
  struct Case {
    const char* name;
    std::function<std::string(const test::TempDir&)> prepare;  // returns the database's path
    const char* why;                                           // "": no fault
  };
  auto recordOnce = [](const std::string& db) {
    RecordWriter(db).Write(std::vector{test::JudgementOn("/w", 1, 1, {})});
    return db;
  };
  const Case cases[] = {
      {"none", [](auto& d) { return d / "r.sqlite"; }, ""},
      {"read-only folder", [](auto& d) { return ::mkdir((d / "ro").c_str(), 0555), d / "ro/r.sqlite"; },
       "許可がありません"},
      {"full disk", [](auto& d) { return ::mkdir((d / "full").c_str(), 0700), d / "full/r.sqlite"; },
       "空き領域がありません"},
      {"file-size limit", [](auto& d) { return d / "r.sqlite"; }, "ファイルが大きすぎます"},
      {"locked", [&](auto& d) { return recordOnce(d / "r.sqlite"); }, "ロックされています"},
      {"corrupt",
       [&](auto& d) {
         std::string bytes = test::ReadBytes(recordOnce(d / "r.sqlite"));
         test::WriteBytes(d / "r.sqlite", bytes.replace(100, 3000, 3000, '\xA5'));
         return d / "r.sqlite";
       },
       "壊れています"},
      {"text file",
       [](auto& d) { return test::WriteBytes(d / "r.sqlite", std::string(5000, 'x')), d / "r.sqlite"; },
       "SQLite のデータベースではありません"},
      {"another program's database",
       [](auto& d) { return test::SqliteShell(d / "r.sqlite", "CREATE TABLE t(x)"), d / "r.sqlite"; },
       "VeveZ の学習の記録ではありません"},
  };
  std::string unrecorded;  // the quiz's trace without faults
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const test::TempDir dir("vevez-records");
    ::chmod(dir.path().c_str(), 0755);
    const std::string name = c.name, words = WordFile(dir), db = c.prepare(dir);
    const std::string dbBefore = StampOf(db).exists ? test::ReadBytes(db) : "";
    // The lock is held by another process: the sqlite3 shell, until its
    // input ends.
    std::FILE* locker = nullptr;
    if (name == "locked") {
      locker = ::popen(("sqlite3 '" + db + "' >/dev/null").c_str(), "w");
      std::fputs(("BEGIN EXCLUSIVE;\n.shell touch " + dir / "held" + "\n").c_str(), locker);
      std::fflush(locker);
      for (int i = 0; i < 500 && !StampOf(dir / "held").exists; ++i) std::this_thread::sleep_for(10ms);
    }
    auto drill = [&]() -> std::string {
      if (name == "full disk" &&
          (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
           ::mount("tmpfs", (dir / "full").c_str(), "tmpfs", 0, "size=16k") != 0))
        return "(no tmpfs)";
      const rlimit small{4096, RLIM_INFINITY};
      if (name == "file-size limit" && ::setrlimit(RLIMIT_FSIZE, &small) != 0) return "(no limit)";
      RecordedQuiz q(words, db);
      const FileStamp before = StampOf(words);
      for (int i = 0; i < 6; ++i) q.Answer(i % 3 != 1);
      q.recorder.Close();
      const auto fault = q.recorder.TakeFault();
      return q.Trace() + "|" + std::to_string(q.faultCalls) +
             (StampOf(words) == before ? "|kept|" : "|touched|") +
             (fault && !q.recorder.TakeFault() ? *fault : "");
    };
    const std::string report =
        name == "read-only folder" ? test::AsUnprivileged(drill) : test::InChild(drill);
    if (locker) ::pclose(locker);
    const std::string trace = report.substr(0, report.find('|'));
    if (!*c.why) {
      unrecorded = trace;
      EXPECT_EQ(report, trace + "|0|kept|");
      EXPECT_EQ(test::SqliteShell(db, "SELECT count(*) FROM judgements"), "6\n");
      continue;
    }
    EXPECT_EQ(trace, unrecorded) << report;
    EXPECT_EQ(report.substr(trace.size(), 8), "|1|kept|") << report;
    EXPECT_NE(report.find("学習の記録 " + db + " を使えません\n"), std::string::npos) << report;
    EXPECT_NE(report.find(c.why), std::string::npos) << report;
    EXPECT_EQ(dbBefore.empty() ? "" : test::ReadBytes(db), dbBefore) << "a file not ours is left as it was";
  }
}

// A program killed at any moment leaves a sound database whose totals
// agree with its judgements; two copies record side by side.
TEST(Records, KilledAndSharedDatabasesStaySound) {
  const test::TempDir dir("vevez-records");
  const std::string db = dir / "r.sqlite";
  auto pump = [&](int n, int count) {
    Recorder r(db);
    r.SetWordFile("/w" + std::to_string(n));
    r.Asked();
    for (int i = 0; i < count; ++i) {
      r.Happened({Outcome(i % 5), "q" + std::to_string(i % 50), "a", {}, i, 1000});
      std::this_thread::sleep_for(50us);
    }
    r.Close();
    return r.TakeFault().value_or("");
  };
  for (int round = 0; round < 8; ++round) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      pump(0, 1000000);
      ::_exit(0);
    }
    // Killed while it writes: once its first judgement is in, however
    // slowly a busy machine gets it there.
    for (int i = 0; i < 500 && test::SqliteShell(db, "SELECT count(*) > 0 FROM judgements") != "1\n"; ++i)
      std::this_thread::sleep_for(10ms);
    std::this_thread::sleep_for(std::chrono::milliseconds(10 + 23 * round));
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    EXPECT_EQ(test::SqliteShell(db, "PRAGMA integrity_check"), "ok\n") << "round " << round;
    EXPECT_EQ(
        test::SqliteShell(db,
                          "SELECT (SELECT count(*) FROM judgements) = (SELECT sum(correct + wrong + timeouts"
                          " + shown + skipped) FROM days)"),
        "1\n");
  }
  const std::string before = test::SqliteShell(db, "SELECT count(*) FROM judgements");
  EXPECT_GT(std::stoi(before), 0);
  pid_t copies[2];
  for (int n = 0; n < 2; ++n) {
    if ((copies[n] = ::fork()) == 0) ::_exit(pump(n + 1, 300).empty() ? 0 : 1);
  }
  for (const pid_t pid : copies) {
    int status = -1;
    ::waitpid(pid, &status, 0);
    EXPECT_EQ(status, 0) << "a copy could not record";
  }
  EXPECT_EQ(
      test::SqliteShell(db,
                        "SELECT count(*) FROM judgements WHERE line IN (SELECT l.id FROM lines l JOIN files f"
                        " ON f.id = l.file WHERE f.path IN (CAST(\"/w1\" AS BLOB), CAST(\"/w2\" AS BLOB)))"),
      "600\n");
}

// Records follow a word file through its saves and a rename; outcomes of a
// question asked before the current file was set belong to no file.
TEST(Records, WordFileIdentitySurvivesSaveAndRename) {
  const test::TempDir dir("vevez-records");
  const std::string db = dir / "r.sqlite", a = dir / "a.txt", b = dir / "b.txt";
  test::WriteBytes(a, "0q,a\r\n");
  Recorder r(db);
  const QuizEvent e{Outcome::Wrong, "q", "a", {}, 5, 100};
  r.SetWordFile(a);
  r.Happened(e);  // not asked from this file yet
  r.Asked();
  r.Happened(e);
  r.Flush();
  WriteFileAtomic(a, "1q,a\r\n");  // a save: a new inode
  r.WordFileSaved();
  r.Flush();
  ASSERT_EQ(::rename(a.c_str(), b.c_str()), 0);
  r.SetWordFile(b);
  r.Happened(e);  // the question on the board came from before
  r.Asked();
  r.Happened(e);
  r.Close();
  StatsReader stats(db);
  EXPECT_EQ(stats.FileOf(a), std::nullopt);
  ASSERT_NE(stats.FileOf(b), std::nullopt);
  EXPECT_EQ(stats.Summarize({stats.FileOf(b)}, kDay).counts.wrong, 2);
  EXPECT_EQ(stats.Summarize({}, kDay).counts.wrong, 2);
  // A second name of the same file, while the first still is there, is
  // another word file to the records.
  ASSERT_EQ(::link(b.c_str(), (dir / "c.txt").c_str()), 0);
  Recorder again(db);
  again.SetWordFile(dir / "c.txt");
  again.Asked();
  again.Happened(e);
  again.Close();
  StatsReader after(db);
  EXPECT_EQ(after.FileOf(b), stats.FileOf(b));
  EXPECT_NE(after.FileOf(dir / "c.txt"), stats.FileOf(b));
  // A save before this run has written anything still takes the history along.
  const auto fileOfB = after.FileOf(b);
  Recorder third(db);
  third.SetWordFile(b);
  WriteFileAtomic(b, "1q,a\r\n");
  third.WordFileSaved();
  third.Flush();
  ASSERT_EQ(::rename(b.c_str(), (dir / "d.txt").c_str()), 0);
  third.SetWordFile(dir / "d.txt");
  third.Asked();
  third.Happened(e);
  third.Close();
  EXPECT_EQ(StatsReader(db).FileOf(dir / "d.txt"), fileOfB);
  // The birth time is stored in nanoseconds, as databases already hold it.
  struct statx sx {};
  ASSERT_EQ(::statx(AT_FDCWD, (dir / "d.txt").c_str(), 0, STATX_BTIME, &sx), 0);
  EXPECT_EQ(IdentityOf(dir / "d.txt")->born,
            sx.stx_mask & STATX_BTIME ? sx.stx_btime.tv_sec * 1000000000LL + sx.stx_btime.tv_nsec : 0);
}

// A database of the first version (judgements only) is brought forward: its
// totals are built from the judgements it holds.
TEST(Records, OlderDatabaseMigratesForward) {
  const test::TempDir dir("vevez-records");
  std::vector<Judgement> js;
  for (int i = 0; i < 40; ++i)
    js.push_back(test::JudgementOn("/w", kDay + i % 9, i % 6, Outcome(i % 4), 10 * i));
  RecordWriter(dir / "now.sqlite").Write(js);
  {
    auto old = OpenForWriting(dir / "old.sqlite", 1);
    old->Exec("INSERT INTO files(path) VALUES ('/w')");
    for (const Judgement& j : js) {
      old->Prepare(
             "INSERT OR IGNORE INTO lines(file, key, question, answers, encoding) VALUES (1, ?, ?, ?, "
             "'cp932')")
          .Bind(1, j.question[1] - '0')
          .Bind(2, j.question)
          .Bind(3, j.answers)
          .Run();
      old->Prepare(
             "INSERT INTO judgements(at, day, line, outcome, ticks, time_limit) VALUES (?, ?, ?, ?, ?, ?)")
          .Bind(1, j.atMs)
          .Bind(2, j.day)
          .Bind(3, j.question[1] - '0' + 1)
          .Bind(4, int(j.outcome))
          .Bind(5, j.ticks)
          .Bind(6, j.timeLimit)
          .Run();
    }
  }
  StatsReader now(dir / "now.sqlite"), old(dir / "old.sqlite");
  EXPECT_EQ(test::SqliteShell(dir / "old.sqlite", "PRAGMA user_version"), "2\n");
  // Written ahead of a log, so that the statistics window reads while the quiz writes.
  EXPECT_EQ(test::SqliteShell(dir / "now.sqlite", "PRAGMA journal_mode"), "wal\n");
  // The key of the first line, q0: FNV-1a of "q0", NUL, "a0" and the length "4", as every
  // database holds it.
  EXPECT_EQ(test::SqliteShell(dir / "now.sqlite", "SELECT key FROM lines ORDER BY rowid LIMIT 1"),
            "-4609239216223428861\n");
  EXPECT_EQ(old.Summarize({}, kDay + 8).counts, now.Summarize({}, kDay + 8).counts);
  EXPECT_EQ(old.Mastered({}, kDay, kDay + 8), now.Mastered({}, kDay, kDay + 8));
  ASSERT_EQ(old.Hardest({}, 9).size(), now.Hardest({}, 9).size());
  for (std::size_t i = 0; i < now.Hardest({}, 9).size(); ++i)
    EXPECT_EQ(old.Hardest({}, 9)[i].question, now.Hardest({}, 9)[i].question);
}

// A line longer than what is kept is recorded by its beginning, marked as
// cut, and left out when the hardest words are written to a word file.
TEST(Records, LongLinesAreCutAndLeftOutOfTheExport) {
  const test::TempDir dir("vevez-records");
  const std::string longAnswer(kKeptBytes + 1, 'x');
  std::vector<Judgement> js = {JudgementOf({Outcome::Wrong, "q", longAnswer}, "/w", kNoon),
                               JudgementOf({Outcome::Wrong, "r", "b"}, "/w", kNoon),
                               JudgementOf({Outcome::Wrong, "r", "b"}, "/w", kNoon),
                               JudgementOf({Outcome::Wrong, "r", "c"}, "/w", kNoon),  // another line
                               JudgementOf({Outcome::Wrong, "s", std::string(4096, 'y')}, "/w", kNoon)};
  RecordWriter(dir / "r.sqlite").Write(js);
  const auto words = StatsReader(dir / "r.sqlite").Hardest({}, 10);
  ASSERT_EQ(words.size(), 4u);
  EXPECT_EQ(words[0].cut + words[1].cut + words[2].cut + words[3].cut, 1) << "4 KiB are kept whole";
  const import::Summary s = ExportWords(words, dir / "hard.txt");
  EXPECT_EQ(s.skipped, 1u);
  EXPECT_EQ(s.pairs, 3u);
  EXPECT_EQ(test::ReadBytes(dir / "hard.txt").substr(0, 6), "0r,b\r\n");  // two misses first
}

// `vevez --stats` on a small database: the summary, one file's, and every
// record as CSV; usage errors.
TEST(Records, StatsCommandPrintsSummaryAndCsv) {
  const test::TempDir dir("vevez-records");
  const std::string db = dir / "r.sqlite", w = dir / "w.txt";
  test::WriteBytes(w, "");
  std::vector<Judgement> js = {test::JudgementOn(w, kDay - 1, 1, Outcome::Correct),
                               test::JudgementOn(w, kDay, 2, Outcome::Wrong, 700),
                               test::JudgementOn(w, kDay, 2, Outcome::TimeOut, 1000),
                               test::JudgementOn("/other", kDay, 3, Outcome::Skipped)};
  for (Judgement* j : {&js[1], &js[2]}) {
    j->answers = "a2,\"x\"";  // what a CSV field must quote
    j->encoding = codec::Encoding::Utf8;
  }
  RecordWriter(db).Write(js);
  auto run = [&](std::vector<std::string> args, int status) {
    std::string err;
    const std::string out = test::Printed([&](std::FILE* o) {
      err = test::Printed([&](std::FILE* e) { EXPECT_EQ(StatsCommand(args, db, kDay, o, e), status); });
    });
    return out + err;
  };
  const std::string counts =
      "練習した日数: 2\n連続日数: 2\n解答数: 3 (正解 1、不正解 1、時間切れ 1)\n正答率: 33.3%\n"
      "答えを見た回数: 0\n飛ばした回数: ";
  const std::string hardest = "間違いの多い単語:\n  1. q2,a2,\"x\"  (不正解 1、時間切れ 1、正解 0)\n";
  EXPECT_EQ(run({"--stats"}, 0),
            "学習の記録: " + db + "\n対象: 全ての単語ファイル\n" + counts + "1\n" + hardest);
  EXPECT_EQ(StatsReader(db).Summarize({}, kDay + 1).streak, 2) << "a day not practised yet keeps the streak";
  EXPECT_EQ(StatsReader(db).Summarize({}, kDay + 2).streak, 0);
  EXPECT_EQ(run({"--stats", w}, 0),
            "学習の記録: " + db + "\n単語ファイル: " + w + "\n" + counts + "0\n" + hardest);
  EXPECT_EQ(run({"--stats", "--csv", w}, 0),
            "time,file,question,answers,outcome,ticks,time_limit\r\n"
            "2024-10-03T12:00:00.000Z," +
                w +
                ",q1,a1,correct,300,1000\r\n"
                "2024-10-04T12:00:00.000Z," +
                w +
                ",q2,\"a2,\"\"x\"\"\",wrong,700,1000\r\n"
                "2024-10-04T12:00:00.000Z," +
                w + ",q2,\"a2,\"\"x\"\"\",timeout,1000,1000\r\n");
  EXPECT_EQ(run({"--stats", dir / "none.txt"}, 1),
            "vevez: 単語ファイル " + dir / "none.txt" + " の記録はありません\n");
  EXPECT_EQ(test::FirstLine(run({"--stats", "--bad"}, 2)), "vevez: 不明なオプション --bad");
}

}  // namespace
}  // namespace vz::records
