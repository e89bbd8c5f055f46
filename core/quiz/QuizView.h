#pragma once
// What the quiz engine asks of the window it lives in: drawing on the board,
// the state of the controls, the timer, sound cues and the end-of-pass box.
// The main window implements it; tests implement it with a recorder.
#include <string>

namespace vz {

// The board rows (y of the text cell's top) of the question and the answer.
inline constexpr int kQuestionRow = 18;
inline constexpr int kAnswerRow = 48;
// What QuizView::WakeIn is told when nothing will change until a command.
inline constexpr int kNoWake = -1;

class QuizView {
 public:
  virtual ~QuizView() = default;

  // Board drawing.
  virtual void DrawBoard() = 0;
  virtual void DrawCentered(int y, const std::string& text) = 0;
  virtual void DrawTimeBar() = 0;
  virtual void DrawHistory() = 0;
  virtual void DrawTimeoutCross() = 0;
  virtual void DrawCorrectCircle() = 0;

  // Controls: SkipBtn, AnsBtn and AnsEdit are enabled and disabled together.
  virtual void SetControlsEnabled(bool enabled) = 0;
  virtual void FocusAnswer() = 0;
  virtual void ClearAnswer() = 0;
  virtual void SetTimerEnabled(bool enabled) = 0;
  // While the timer is enabled: fire it once, `ms` milliseconds from now
  // (never before), or with kNoWake not at all until asked again.
  virtual void WakeIn(int ms) = 0;

  // A sound cue by bare file name ("yes.wav"); returns at once.
  virtual void PlayCue(const char* file) = 0;
  // The modal "情報" box at the end of a pass; returns when it is closed.
  virtual void ShowEndOfPass() = 0;
};

}  // namespace vz
