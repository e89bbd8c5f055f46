#pragma once
// The records database: its tables, its version, and how a database of an
// older version is brought forward. A file that is not ours (another
// program's database, a text file, a database of a newer VeveZ) is never
// written: opening it raises RecordsError.
//
//   files       one row per word file: its absolute path and its identity
//               on disk (device, inode, birth time), which a rename keeps
//   lines       one row per line of a word file, known by its question and
//               answers (which marking does not change), with its totals
//   judgements  one row per outcome: when, which line, what, ticks, limit
//   days, timings, mastery
//               totals per file and day, per file and share of the limit,
//               and the change in mastered lines per file and day, kept by
//               triggers as judgements are added
#include <memory>
#include <string>

#include "core/records/Sqlite.h"

namespace vz::records {

// "VZR1": what PRAGMA application_id holds in a records database.
inline constexpr int kApplicationId = 0x565A5231;
// The version this program writes; each step of the migration adds one.
inline constexpr int kSchemaVersion = 2;
// How long a copy of the program waits for another that is writing.
inline constexpr int kBusyMs = 3000;

// Opens the database at `path` for recording: creates it when missing
// (WAL journal), or brings an older version of ours forward. `upTo` stops the
// migration at that version (tests make old databases with it).
std::unique_ptr<Db> OpenForWriting(const std::string& path, int upTo = kSchemaVersion);

// Opens an existing database for reading; nullptr when there is no file.
// One that is not ours, or not yet of this version, raises RecordsError.
std::unique_ptr<Db> OpenForReading(const std::string& path);

}  // namespace vz::records
