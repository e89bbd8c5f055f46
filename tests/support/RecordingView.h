#pragma once
// A QuizView that writes down every call in order, as short texts:
//   "board", "centered 18 <text>", "bar", "history", "cross", "circle",
//   "controls on|off", "focus", "clear", "timer on|off", "cue <file>", "endofpass";
// the timer's wakes go to `wakes` instead.
// `onCall`, when set, runs at each call after it is recorded, so a test can
// look at the engine or the list at that very moment. With `keep` false it
// writes nothing down: a view that ignores every call, for tests and
// benchmarks that drive the engine or the board themselves.
#include <functional>
#include <string>
#include <vector>

#include "core/quiz/QuizView.h"

namespace vz::test {

class RecordingView : public QuizView {
 public:
  explicit RecordingView(bool keepCalls = true) : keep(keepCalls) {}

  std::vector<std::string> calls;
  std::vector<int> wakes;
  std::function<void(const std::string&)> onCall;
  bool keep;

  // Returns the calls so far and forgets them.
  std::vector<std::string> Take() {
    std::vector<std::string> taken;
    taken.swap(calls);
    return taken;
  }

  void DrawBoard() override { Record("board"); }
  void DrawCentered(int y, const std::string& text) override {
    if (keep) Record("centered " + std::to_string(y) + " " + text);
  }
  void DrawTimeBar() override { Record("bar"); }
  void DrawHistory() override { Record("history"); }
  void DrawTimeoutCross() override { Record("cross"); }
  void DrawCorrectCircle() override { Record("circle"); }
  void SetControlsEnabled(bool enabled) override { Record(enabled ? "controls on" : "controls off"); }
  void FocusAnswer() override { Record("focus"); }
  void ClearAnswer() override { Record("clear"); }
  void SetTimerEnabled(bool enabled) override { Record(enabled ? "timer on" : "timer off"); }
  void WakeIn(int ms) override {
    if (keep) wakes.push_back(ms);
  }
  void PlayCue(const char* file) override { Record(std::string("cue ") + file); }
  void ShowEndOfPass() override { Record("endofpass"); }

 private:
  void Record(std::string call) {
    if (!keep) return;
    calls.push_back(call);
    if (onCall) onCall(call);
  }
};

}  // namespace vz::test
