#pragma once
// What a word-file session asks about a file that has lines but not one
// state mark (0, 1 or ;): quizzing it as it is would overwrite the first
// character of every line. The window's prompt implements it, the way the
// window implements QuizView; tests answer with a fixed choice.
#include <string>

namespace vz {

class UnmarkedPolicy {
 public:
  enum class Choice {
    Convert,  // convert it to a new word file beside it and open that
    AsIs,     // quiz it as it is
    Cancel,   // leave it: it is never written
  };

  virtual ~UnmarkedPolicy() = default;
  // Asked once for the file at `path` (file-system bytes).
  virtual Choice AskAboutUnmarked(const std::string& path) = 0;
};

}  // namespace vz
