#pragma once
// What to do with a word file that another copy of the program has open: its
// answers are saved there, so this copy may never write the file.
#include <string>

namespace vz {

class BusyPolicy {
 public:
  enum class Choice {
    WithoutSaving,  // open it, but never save progress into it
    Cancel,         // leave it
  };

  virtual ~BusyPolicy() = default;
  // Asked once for the file at `path` (file-system bytes).
  virtual Choice AskAboutBusy(const std::string& path) = 0;
};

}  // namespace vz
