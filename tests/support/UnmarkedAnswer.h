#pragma once
// A word-file session's unmarked-file policy that gives one answer every
// time, and keeps the files it was asked about.
#include <string>
#include <utility>
#include <vector>

#include "core/session/UnmarkedPolicy.h"

namespace vz::test {

class UnmarkedAnswer : public UnmarkedPolicy {
 public:
  explicit UnmarkedAnswer(Choice choice) : choice_(choice) {}

  Choice AskAboutUnmarked(const std::string& path) override {
    asked.push_back(path);
    return choice_;
  }

  std::vector<std::string> asked;

 private:
  Choice choice_;
};

}  // namespace vz::test
