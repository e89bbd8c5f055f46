#pragma once
// A QuizView that ignores every call, for tests that drive the engine or the
// board themselves.
#include "app/QuizView.h"

namespace vz::testing {

class NullQuizView : public QuizView {
 public:
  void DrawBoard() override {}
  void DrawCentered(int, const std::string&) override {}
  void DrawTimeBar() override {}
  void DrawHistory() override {}
  void DrawTimeoutCross() override {}
  void DrawCorrectCircle() override {}
  void SetControlsEnabled(bool) override {}
  void FocusAnswer() override {}
  void ClearAnswer() override {}
  void SetTimerEnabled(bool) override {}
  void PlayCue(const char*) override {}
  void ShowEndOfPass() override {}
};

}  // namespace vz::testing
