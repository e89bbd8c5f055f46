#pragma once
// Undoing rewrites in place that a crash cut short, at the next start.
// Recovery never harms: it writes only into the same file (same device and
// inode, opened without following a link) in a state the rewrite could have
// left, and only from a backup whose length and checksum its journal entry
// records. Anything else writes nothing: the backup is kept and the user is
// told what was found.
#include <string>
#include <vector>

namespace vz {

// A rewrite in place that did not finish (the program died during it), or a
// journal entry that was not obeyed.
struct InterruptedRewrite {
  enum class Outcome {
    kRestored,   // the old content was put back
    kUnchanged,  // the file still had its old content: nothing was written
    kFinished,   // the new content was complete: it stays
    kKept,       // nothing was written; the backup is kept (see `why`)
    kIgnored,    // the journal entry is not one to obey (`file` names it)
  };
  std::string file;    // the file that was being rewritten (kIgnored: the entry)
  std::string backup;  // its old content, when kept; empty when there is none
  Outcome outcome = Outcome::kKept;
  std::string why;  // what was found, for kKept and kIgnored
};

// Puts back from their backups the files whose rewrite in place did not
// finish, and removes backups of ours with no journal entry that are older
// than a week. Rewrites still under way in another copy of the program are
// left alone; so are entries another user wrote. Returns what it found, for
// the user to be told once.
std::vector<InterruptedRewrite> RecoverInterruptedRewrites();

}  // namespace vz
