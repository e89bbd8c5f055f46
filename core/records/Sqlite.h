#pragma once
// A thin owner of one SQLite connection and its statements. Every failure
// raises RecordsError, whose message names the records file and says why in
// the user's words.
#include <cstdint>
#include <string>
#include <string_view>

#include "core/files/Error.h"

struct sqlite3;
struct sqlite3_stmt;

namespace vz::records {

class RecordsError : public Error {
 public:
  using Error::Error;
};

// "学習の記録 <path> を使えません\n<why>".
RecordsError Unusable(const std::string& path, const std::string& why);

class Statement;

class Db {
 public:
  enum class Mode { ReadOnly, ReadWrite };
  // Opens (ReadWrite: creates when missing) the database at `path`, waiting
  // up to `busyMs` for a lock another connection holds.
  Db(const std::string& path, Mode mode, int busyMs);
  ~Db();
  Db(const Db&) = delete;
  Db& operator=(const Db&) = delete;

  const std::string& Path() const { return path_; }
  // Runs statements that return no rows.
  void Exec(const char* sql);
  Statement Prepare(std::string_view sql);
  std::int64_t IntOf(const char* sql);  // the first column of the first row
  std::int64_t LastId() const;
  // The error of the last call, raised.
  [[noreturn]] void Fail(int rc) const;
  // Raises Fail(rc) unless rc is one of the codes of success.
  void Check(int rc) const;

 private:
  std::string path_;
  sqlite3* db_ = nullptr;
};

// One prepared statement; Bind* take parameters from 1.
class Statement {
 public:
  Statement(Db& db, sqlite3_stmt* stmt) : db_(&db), stmt_(stmt) {}
  Statement(Statement&& other) noexcept : db_(other.db_), stmt_(other.stmt_) { other.stmt_ = nullptr; }
  Statement& operator=(Statement&&) = delete;
  ~Statement();

  Statement& Bind(int i, std::int64_t value);
  Statement& Bind(int i, std::string_view blob);
  Statement& BindText(int i, std::string_view text);
  Statement& BindNull(int i);
  // Steps once: true while a row is there.
  bool Step();
  // Steps to the end (a statement that returns no rows), then resets.
  void Run();
  // Ready for new parameters.
  void Reset();

  std::int64_t Int(int col) const;
  std::string_view Blob(int col) const;
  bool IsNull(int col) const;

 private:
  Db* db_;
  sqlite3_stmt* stmt_;
};

// Runs `body` inside BEGIN IMMEDIATE ... COMMIT, rolling back if it throws.
template <class F>
void InTransaction(Db& db, F&& body) {
  db.Exec("BEGIN IMMEDIATE");
  try {
    body();
  } catch (...) {
    try {
      db.Exec("ROLLBACK");
    } catch (const RecordsError&) {
      // The failed statement may have ended the transaction already.
    }
    throw;
  }
  db.Exec("COMMIT");
}

}  // namespace vz::records
