#pragma once
// Which word file records belong to. A word file is known by its absolute
// path and, where the file system tells them, by its device, inode and birth
// time, which a rename keeps: a file renamed or moved within its file system
// keeps its records. Saving gives the file a new inode, so the identity is
// taken again after every save the program makes.
#include <cstdint>
#include <optional>
#include <string>

#include "core/records/Sqlite.h"

namespace vz::records {

struct DiskIdentity {
  std::int64_t dev = 0, ino = 0;
  std::int64_t born = 0;  // birth time in ns; 0 where the file system keeps none
};

// The identity of the file at `path` now; nullopt when nothing is there.
std::optional<DiskIdentity> IdentityOf(const std::string& path);

// The records' id of the word file at `path` (absolute): the row with this
// path, else the row with its identity whose path no longer exists (the file
// was renamed: the row takes the new path), else a new row. The row's
// identity is brought up to date.
std::int64_t ResolveFile(Db& db, const std::string& path);

// The id of the word file at `path` without changing anything; nullopt when
// the records know no such file.
std::optional<std::int64_t> FindFile(Db& db, const std::string& path);

// Takes the identity of the file at `path` again (after the program saved
// it), when the records know the path.
void RefreshIdentity(Db& db, const std::string& path);

}  // namespace vz::records
