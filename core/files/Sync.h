#pragma once
// The one step that flushes anything to disk, so that tests can watch when
// it runs or make it fail.
#include <string>

namespace vz {

// What each sync makes durable.
enum class SyncOf {
  kNewFile,          // a new file's bytes, before it takes the old one's place
  kDirectory,        // the directory of the file, after the rename
  kBackup,           // the backup of a file about to be rewritten in place
  kBackupDirectory,  // the backup directory, after a backup or journal entry
  kJournal,          // the journal entry of a rewrite in place
  kFileInPlace,      // a file rewritten in place (or put back from its backup)
};

// Replaces the step (fsync by default); returns the step it replaced.
using SyncFn = int (*)(int fd, SyncOf what);
SyncFn ReplaceSyncStep(SyncFn sync);
// Flushes `fd` through that step: 0 when done, as fsync.
int Sync(int fd, SyncOf what);
// Flushes the entries of the directory `dir` through that step; true when
// done, or when the user may not read the directory (nothing to open).
bool SyncDir(const std::string& dir, SyncOf what);

}  // namespace vz
