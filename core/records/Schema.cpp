#include "core/records/Schema.h"

#include <sys/stat.h>

#include <cerrno>

namespace vz::records {
namespace {

// Step 1: the records themselves.
constexpr const char* kRecords = R"sql(
CREATE TABLE files(
  id INTEGER PRIMARY KEY,
  path BLOB NOT NULL UNIQUE,
  dev INTEGER, ino INTEGER, born INTEGER);
CREATE INDEX files_identity ON files(dev, ino);
CREATE TABLE lines(
  id INTEGER PRIMARY KEY,
  file INTEGER NOT NULL REFERENCES files(id),
  key INTEGER NOT NULL,
  question BLOB NOT NULL,
  answers BLOB NOT NULL,
  encoding TEXT NOT NULL,
  cut INTEGER NOT NULL DEFAULT 0,
  UNIQUE(file, key));
CREATE TABLE judgements(
  id INTEGER PRIMARY KEY,
  at INTEGER NOT NULL,
  day INTEGER NOT NULL,
  line INTEGER NOT NULL REFERENCES lines(id),
  outcome INTEGER NOT NULL,
  ticks INTEGER NOT NULL,
  time_limit INTEGER NOT NULL);
)sql";

// Step 2: the totals the statistics read, so that opening them costs the
// same with a million judgements as with ten. A line's streak counts its
// passes in a row answered right at the first try: a pass ends with a right
// answer, and any other outcome spoils the pass it falls in. Three in a row
// make the line mastered. The judgements recorded before are replayed
// through the triggers.
constexpr const char* kTotals = R"sql(
ALTER TABLE lines ADD COLUMN correct INTEGER NOT NULL DEFAULT 0;
ALTER TABLE lines ADD COLUMN wrong INTEGER NOT NULL DEFAULT 0;
ALTER TABLE lines ADD COLUMN timeouts INTEGER NOT NULL DEFAULT 0;
ALTER TABLE lines ADD COLUMN shown INTEGER NOT NULL DEFAULT 0;
ALTER TABLE lines ADD COLUMN skipped INTEGER NOT NULL DEFAULT 0;
ALTER TABLE lines ADD COLUMN streak INTEGER NOT NULL DEFAULT 0;
ALTER TABLE lines ADD COLUMN clean INTEGER NOT NULL DEFAULT 1;
ALTER TABLE lines ADD COLUMN last_day INTEGER NOT NULL DEFAULT 0;
ALTER TABLE lines ADD COLUMN last_at INTEGER NOT NULL DEFAULT 0;
CREATE INDEX lines_hardest_in_file ON lines(file, wrong + timeouts DESC);
CREATE INDEX lines_hardest ON lines(wrong + timeouts DESC);
CREATE TABLE days(
  file INTEGER NOT NULL, day INTEGER NOT NULL,
  correct INTEGER NOT NULL, wrong INTEGER NOT NULL, timeouts INTEGER NOT NULL,
  shown INTEGER NOT NULL, skipped INTEGER NOT NULL,
  PRIMARY KEY(file, day)) WITHOUT ROWID;
CREATE TABLE timings(
  file INTEGER NOT NULL, bucket INTEGER NOT NULL,
  correct INTEGER NOT NULL, missed INTEGER NOT NULL,
  PRIMARY KEY(file, bucket)) WITHOUT ROWID;
CREATE TABLE mastery(
  file INTEGER NOT NULL, day INTEGER NOT NULL, delta INTEGER NOT NULL,
  PRIMARY KEY(file, day)) WITHOUT ROWID;
CREATE TRIGGER judgement_added AFTER INSERT ON judgements BEGIN
  INSERT INTO days(file, day, correct, wrong, timeouts, shown, skipped)
    SELECT file, NEW.day, NEW.outcome = 0, NEW.outcome = 1, NEW.outcome = 2, NEW.outcome = 3, NEW.outcome = 4
    FROM lines WHERE id = NEW.line
    ON CONFLICT(file, day) DO UPDATE SET correct = correct + excluded.correct, wrong = wrong + excluded.wrong,
      timeouts = timeouts + excluded.timeouts, shown = shown + excluded.shown, skipped = skipped + excluded.skipped;
  INSERT INTO timings(file, bucket, correct, missed)
    SELECT file, CASE WHEN NEW.outcome = 2 THEN 10
                      ELSE min(9, max(0, NEW.ticks * 10 / max(NEW.time_limit, 1))) END,
           NEW.outcome = 0, NEW.outcome <> 0
    FROM lines WHERE id = NEW.line AND NEW.outcome IN (0, 1, 2)
    ON CONFLICT(file, bucket) DO UPDATE SET correct = correct + excluded.correct, missed = missed + excluded.missed;
  UPDATE lines SET
    correct = correct + (NEW.outcome = 0), wrong = wrong + (NEW.outcome = 1),
    timeouts = timeouts + (NEW.outcome = 2), shown = shown + (NEW.outcome = 3),
    skipped = skipped + (NEW.outcome = 4),
    streak = CASE WHEN NEW.outcome = 0 AND clean THEN streak + 1 ELSE 0 END,
    clean = NEW.outcome = 0, last_day = NEW.day, last_at = NEW.at
  WHERE id = NEW.line;
END;
CREATE TRIGGER mastery_changed AFTER UPDATE OF streak ON lines
WHEN (OLD.streak >= 3) <> (NEW.streak >= 3) BEGIN
  INSERT INTO mastery(file, day, delta)
    VALUES (NEW.file, NEW.last_day, CASE WHEN NEW.streak >= 3 THEN 1 ELSE -1 END)
    ON CONFLICT(file, day) DO UPDATE SET delta = delta + excluded.delta;
END;
CREATE TEMP TABLE replay AS SELECT * FROM judgements;
DELETE FROM judgements;
INSERT INTO judgements SELECT * FROM replay ORDER BY id;
DROP TABLE replay;
)sql";

constexpr const char* kSteps[] = {kRecords, kTotals};
static_assert(std::size(kSteps) == kSchemaVersion);

// Brings the open database from its version to `upTo`, one step at a time,
// in one transaction: another copy of the program sees either version.
void Migrate(Db& db, int upTo) {
  InTransaction(db, [&] {
    const auto from = db.IntOf("PRAGMA user_version");
    if (from > kSchemaVersion) throw Unusable(db.Path(), "新しい版の VeveZ が作った記録です");
    for (auto v = from; v < upTo; ++v) db.Exec(kSteps[v]);
    if (from < upTo) db.Exec(("PRAGMA user_version = " + std::to_string(upTo)).c_str());
  });
}

bool Exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 || errno != ENOENT;
}

// Ours, or empty and free to take. Reading the header is the first thing
// that touches the file, so a file of another kind fails here unchanged.
bool Ours(Db& db) {
  const auto id = db.IntOf("PRAGMA application_id");
  if (id == kApplicationId) return true;
  if (id == 0 && db.IntOf("SELECT count(*) FROM sqlite_schema") == 0) return false;
  throw Unusable(db.Path(), "VeveZ の学習の記録ではありません");
}

}  // namespace

std::unique_ptr<Db> OpenForWriting(const std::string& path, int upTo) {
  auto db = std::make_unique<Db>(path, Db::Mode::ReadWrite, kBusyMs);
  if (!Ours(*db)) {
    // New: WAL first (it cannot change inside a transaction), then the
    // mark, both before any table exists.
    db->Exec("PRAGMA journal_mode = WAL");
    db->Exec(("PRAGMA application_id = " + std::to_string(kApplicationId)).c_str());
  }
  db->Exec("PRAGMA synchronous = NORMAL");
  Migrate(*db, upTo);
  return db;
}

std::unique_ptr<Db> OpenForReading(const std::string& path) {
  if (!Exists(path)) return nullptr;
  auto db = std::make_unique<Db>(path, Db::Mode::ReadOnly, kBusyMs);
  if (!Ours(*db)) return nullptr;  // empty: nothing recorded yet
  const auto version = db->IntOf("PRAGMA user_version");
  if (version > kSchemaVersion) throw Unusable(path, "新しい版の VeveZ が作った記録です");
  if (version == kSchemaVersion) return db;
  db.reset();
  OpenForWriting(path);
  return std::make_unique<Db>(path, Db::Mode::ReadOnly, kBusyMs);
}

}  // namespace vz::records
