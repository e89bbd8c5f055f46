#pragma once
// One writer at a time for a file of the user's. The lock is a file in the
// user's cache folder ("vevez/locks"), named after the file's path with
// links resolved, that its holder keeps locked (flock) and removes when it
// lets go; a lock file whose holder died is simply locked anew. Copies of
// the program run by the same user see each other's locks; the
// changed-on-disk check covers everyone else.
#include <string>

#include "core/files/Fd.h"

namespace vz {

class WriterLock {
 public:
  enum class Wait {
    kNever,      // taken only if free at once
    kUntilFree,  // waits for the holder to let go (a few seconds at most)
  };

  // Takes the lock of `path`. Where no lock file can be made (no cache
  // folder), the lock counts as held: nobody else could take it either.
  WriterLock(const std::string& path, Wait wait);
  ~WriterLock();
  WriterLock(const WriterLock&) = delete;
  WriterLock& operator=(const WriterLock&) = delete;

  // False when another copy of the program holds the lock.
  bool Held() const { return held_; }
  // True when this lock, held, is the one of `path`.
  bool Guards(const std::string& path) const;

 private:
  std::string name_;  // the lock file, while this one holds it
  Fd f_;
  bool held_ = true;
};

}  // namespace vz
