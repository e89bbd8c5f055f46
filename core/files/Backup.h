#pragma once
// The backup of a file rewritten in place: its old content, in the folder
// BackupDir() gives, made before the file changes and put back when the
// rewrite does not finish. A backup "<name>-XXXXXX.backup" has the journal
// entry of its rewrite beside it ("<name>-XXXXXX.journal"); both are locked
// for as long as their rewrite runs. A backup that could not be put back is
// kept as "<name>-XXXXXX.kept" for a week.
#include <string>
#include <string_view>

namespace vz {

inline constexpr std::string_view kBackupEnd = ".backup", kJournalEnd = ".journal", kKeptEnd = ".kept";

// The name a backup of `target` gets in `dir`, with the six X that mkstemps
// fills in.
std::string BackupTemplate(const std::string& dir, const std::string& target);
// The journal entry beside `backup`, and the name it is kept under.
std::string JournalOf(const std::string& backup);
// The backup beside the journal entry `journal`.
std::string BackupOf(const std::string& journal);
std::string KeptOf(const std::string& backup);
// True when the file name `name` ends in `end` and has more before it.
bool HasEnd(std::string_view name, std::string_view end);

// Copies the whole content of the open file `from` to the end of `to`;
// false with errno set when reading or writing fails.
bool CopyAll(int from, int to);

// Puts the content of the open backup `backupFd` back into the file `fd`,
// cut to its length, and syncs it; false with errno set when a step fails.
bool PutBack(int backupFd, int fd);

}  // namespace vz
