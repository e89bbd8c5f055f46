#pragma once
// What the quiz tells whoever keeps a record of it: each question it asks and
// how each asking went. The engine calls it on its own thread, between its
// own steps; a listener returns at once and never throws.
#include <string_view>

#include "core/text/Encoding.h"

namespace vz {

// How one attempt at a question ended. The values are stored: never renumber.
enum class Outcome {
  Correct = 0,
  Wrong = 1,
  TimeOut = 2,
  AnswerShown = 3,  // "答えを見る" on an open question
  Skipped = 4,      // "次の問題へ" on an open question
};

struct QuizEvent {
  Outcome outcome = Outcome::Correct;
  std::string_view question;  // QuesText
  std::string_view answers;   // AnsText, which marking the line leaves as it is
  codec::Encoding encoding = codec::Encoding::Cp932;
  int ticks = 0;      // Ticks at that moment
  int timeLimit = 0;  // TimeLimit at that moment
};

class QuizObserver {
 public:
  virtual ~QuizObserver() = default;
  // A question of the current word list was put on the board.
  virtual void Asked() noexcept = 0;
  virtual void Happened(const QuizEvent& event) noexcept = 0;
};

}  // namespace vz
