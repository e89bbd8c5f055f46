#pragma once
// The one way tests (and the question-scan benchmark) change the quiz state
// directly, to set up states the commands would reach only slowly. Product
// code changes it only through the engine's commands.
#include "core/quiz/QuizEngine.h"

namespace vz {

struct QuizEngineTestAccess {
  static QuizState& State(QuizEngine& quiz) { return quiz; }
};

namespace test {

inline QuizState& StateOf(QuizEngine& quiz) { return QuizEngineTestAccess::State(quiz); }

}  // namespace test
}  // namespace vz
