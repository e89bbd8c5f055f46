#include "core/records/Sqlite.h"

#include <sqlite3.h>
#include <unistd.h>

#include <cerrno>

namespace vz::records {
namespace {

// Why an SQLite call failed, in the user's words, with the system's reason
// where there is one.
std::string Why(int rc, int sysErr, const char* detail) {
  switch (rc & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return "別のプログラムが使用中です (ロックされています)";
    case SQLITE_CORRUPT:
      return "ファイルが壊れています";
    case SQLITE_NOTADB:
      return "SQLite のデータベースではありません";
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
      return "書き込みが許されていません" + (sysErr ? " (" + ReasonText(sysErr) + ")" : std::string());
    case SQLITE_CANTOPEN:
    case SQLITE_IOERR:
    case SQLITE_FULL:
      if (sysErr) return ReasonText(sysErr);
      if ((rc & 0xff) == SQLITE_FULL) return ReasonText(ENOSPC);
      break;
    default:
      break;
  }
  return std::string(detail ? detail : sqlite3_errstr(rc)) + " (SQLite " + std::to_string(rc) + ")";
}

}  // namespace

RecordsError Unusable(const std::string& path, const std::string& why) {
  return RecordsError("学習の記録 " + path + " を使えません\n" + why);
}

Db::Db(const std::string& path, Mode mode, int busyMs) : path_(path) {
  const int flags =
      SQLITE_OPEN_EXRESCODE | SQLITE_OPEN_NOMUTEX |
      (mode == Mode::ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
  const int rc = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
  if (rc != SQLITE_OK) {
    int sysErr = db_ ? sqlite3_system_errno(db_) : 0;
    // SQLite tries to open the file read-only after it could not create it,
    // and keeps that attempt's error: the folder's says why.
    const std::string dir = path.substr(0, path.rfind('/') + 1);
    if ((rc & 0xff) == SQLITE_CANTOPEN && ::access(dir.empty() ? "." : dir.c_str(), W_OK | X_OK) != 0)
      sysErr = errno;
    const std::string why = Why(rc, sysErr, db_ ? sqlite3_errmsg(db_) : nullptr);
    sqlite3_close(db_);
    db_ = nullptr;
    throw Unusable(path_, why);
  }
  sqlite3_busy_timeout(db_, busyMs);
}

Db::~Db() { sqlite3_close_v2(db_); }

void Db::Fail(int rc) const {
  throw Unusable(path_, Why(rc, sqlite3_system_errno(db_), sqlite3_errmsg(db_)));
}

void Db::Check(int rc) const {
  if (rc != SQLITE_OK && rc != SQLITE_ROW && rc != SQLITE_DONE) Fail(rc);
}

void Db::Exec(const char* sql) { Check(sqlite3_exec(db_, sql, nullptr, nullptr, nullptr)); }

Statement Db::Prepare(std::string_view sql) {
  sqlite3_stmt* stmt = nullptr;
  Check(sqlite3_prepare_v3(db_, sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &stmt,
                           nullptr));
  return Statement(*this, stmt);
}

std::int64_t Db::IntOf(const char* sql) {
  Statement s = Prepare(sql);
  return s.Step() ? s.Int(0) : 0;
}

std::int64_t Db::LastId() const { return sqlite3_last_insert_rowid(db_); }

Statement::~Statement() { sqlite3_finalize(stmt_); }

Statement& Statement::Bind(int i, std::int64_t value) {
  db_->Check(sqlite3_bind_int64(stmt_, i, value));
  return *this;
}

Statement& Statement::Bind(int i, std::string_view blob) {
  // An empty blob is still a blob, never NULL.
  db_->Check(sqlite3_bind_blob64(stmt_, i, blob.empty() ? "" : blob.data(), blob.size(), SQLITE_TRANSIENT));
  return *this;
}

Statement& Statement::BindText(int i, std::string_view text) {
  db_->Check(sqlite3_bind_text64(stmt_, i, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8));
  return *this;
}

Statement& Statement::BindNull(int i) {
  db_->Check(sqlite3_bind_null(stmt_, i));
  return *this;
}

bool Statement::Step() {
  const int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  sqlite3_reset(stmt_);
  db_->Fail(rc);
}

void Statement::Run() {
  while (Step()) {
  }
  Reset();
}

void Statement::Reset() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

std::int64_t Statement::Int(int col) const { return sqlite3_column_int64(stmt_, col); }

std::string_view Statement::Blob(int col) const {
  const void* p = sqlite3_column_blob(stmt_, col);
  const int n = sqlite3_column_bytes(stmt_, col);
  return p ? std::string_view(static_cast<const char*>(p), static_cast<std::size_t>(n)) : std::string_view();
}

bool Statement::IsNull(int col) const { return sqlite3_column_type(stmt_, col) == SQLITE_NULL; }

}  // namespace vz::records
