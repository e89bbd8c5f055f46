#pragma once
// Undoing rewrites in place that a crash cut short, at the next start.
#include <string>
#include <vector>

namespace vz {

// A rewrite in place that did not finish (the program died during it).
struct InterruptedRewrite {
  std::string file;    // the file that was being rewritten
  std::string backup;  // its old content, kept when it could not be put back
  bool restored = false;
};

// Puts back from their backups the files whose rewrite in place did not
// finish, and removes backups of ours with no journal entry that are older
// than a week. Rewrites still under way in another copy of the program are
// left alone. Returns what it found, for the user to be told once.
std::vector<InterruptedRewrite> RecoverInterruptedRewrites();

}  // namespace vz
