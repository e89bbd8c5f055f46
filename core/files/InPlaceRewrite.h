#pragma once
// Rewriting a file in place, for a file with more than one name (hard links)
// or one the user may write in a directory that refuses new files. Nothing
// in the file changes until its old content is in a synced backup in the
// user's cache folder (BackupDir), the space the new content needs is
// reserved and a synced journal entry names both; a failure after that puts
// the old content back, or leaves the journal entry for the next start to do
// it (RecoverInterruptedRewrites). The publishing writer (AtomicFile) takes
// this way by itself where it must.
#include <sys/stat.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "core/files/Fd.h"
#include "core/files/ReadFile.h"

namespace vz {

class InPlaceRewrite {
 public:
  // Opens `target` (the file `path` names, links resolved) to be rewritten.
  // Raises CreateError(path) when it cannot be opened or is not a file.
  InPlaceRewrite(std::string path, const std::string& target);
  // Removes the backup and the journal entry unless the backup must stay.
  ~InPlaceRewrite();
  InPlaceRewrite(const InPlaceRewrite&) = delete;
  InPlaceRewrite& operator=(const InPlaceRewrite&) = delete;

  // Takes more of the new content; all of it is held until Commit.
  void Append(std::string_view bytes) { data_.append(bytes); }

  // Backs the file up, runs `afterBackup` (the last moment to decline: an
  // exception from it leaves the file as it was) and rewrites the file.
  // Raises BackupError when no backup can be made, CreateError before the
  // file changed and WriteError after, naming the backup when the old
  // content could not be put back. Returns the stamp of the rewritten file.
  FileStamp Commit(const std::function<void()>& afterBackup);

 private:
  void MakeBackup();
  void WriteJournal(const std::string& absolute, std::uint64_t backupSum);
  void Rewrite();

  std::string path_, target_;
  std::string dir_;  // where the backup and the journal entry go
  std::string data_;
  struct stat start_ {};  // the file when the rewrite began
  Fd file_, backupFd_, journalFd_;
  std::string backup_, journal_;  // removed at the end unless kept
  bool keep_ = false;
};

}  // namespace vz
