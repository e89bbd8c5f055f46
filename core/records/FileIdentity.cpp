#include "core/records/FileIdentity.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace vz::records {
namespace {

std::optional<std::int64_t> ByPath(Db& db, const std::string& path) {
  Statement s = db.Prepare("SELECT id FROM files WHERE path = ?");
  if (s.Bind(1, path).Step()) return s.Int(0);
  return std::nullopt;
}

// The row that had this identity under a path where the file no longer is.
std::optional<std::int64_t> Renamed(Db& db, const DiskIdentity& id) {
  Statement s = db.Prepare("SELECT id, path FROM files WHERE dev = ? AND ino = ? AND born = ?");
  s.Bind(1, id.dev).Bind(2, id.ino).Bind(3, id.born);
  while (s.Step()) {
    if (!IdentityOf(std::string(s.Blob(1)))) return s.Int(0);
  }
  return std::nullopt;
}

void Store(Db& db, std::int64_t row, const std::string& path, const std::optional<DiskIdentity>& id) {
  // Another row holding this identity lost its file long ago.
  if (id) {
    db.Prepare("UPDATE files SET dev = NULL, ino = NULL, born = NULL WHERE dev = ? AND ino = ? AND id <> ?")
        .Bind(1, id->dev)
        .Bind(2, id->ino)
        .Bind(3, row)
        .Run();
  }
  Statement s = db.Prepare("UPDATE files SET path = ?, dev = ?, ino = ?, born = ? WHERE id = ?");
  s.Bind(1, path).Bind(5, row);
  if (id) s.Bind(2, id->dev).Bind(3, id->ino).Bind(4, id->born);
  s.Run();
}

}  // namespace

std::optional<DiskIdentity> IdentityOf(const std::string& path) {
  struct statx sx {};
  if (::statx(AT_FDCWD, path.c_str(), 0, STATX_INO | STATX_BTIME, &sx) != 0) return std::nullopt;
  DiskIdentity id;
  id.dev = static_cast<std::int64_t>(::makedev(sx.stx_dev_major, sx.stx_dev_minor));
  id.ino = static_cast<std::int64_t>(sx.stx_ino);
  if (sx.stx_mask & STATX_BTIME) id.born = sx.stx_btime.tv_sec * 1000000000LL + sx.stx_btime.tv_nsec;
  return id;
}

std::int64_t ResolveFile(Db& db, const std::string& path) {
  const std::optional<DiskIdentity> id = IdentityOf(path);
  std::optional<std::int64_t> row = ByPath(db, path);
  if (!row && id) row = Renamed(db, *id);
  if (!row) {
    db.Prepare("INSERT INTO files(path) VALUES (?)").Bind(1, path).Run();
    row = db.LastId();
  }
  Store(db, *row, path, id);
  return *row;
}

std::optional<std::int64_t> FindFile(Db& db, const std::string& path) {
  if (auto row = ByPath(db, path)) return row;
  if (const auto id = IdentityOf(path)) return Renamed(db, *id);
  return std::nullopt;
}

void RefreshIdentity(Db& db, const std::string& path) {
  // A file gone meanwhile (renamed) keeps the identity it had.
  const auto id = IdentityOf(path);
  const auto row = id ? ByPath(db, path) : std::nullopt;
  if (row) Store(db, *row, path, id);
}

}  // namespace vz::records
