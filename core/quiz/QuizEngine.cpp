#include "core/quiz/QuizEngine.h"

#include <algorithm>
#include <climits>
#include <cstdint>

#include "core/wordlist/WordLine.h"

namespace vz {

void QuizEngine::Reset() {
  Running = AnsShown = Answered = timerOn_ = false;
  Ticks = 0;
  ScrollOfs = 4;
  History.fill(HistoryEntry{});
  Rng.SeedFromClock();
}

void QuizEngine::ApplyOptions(const QuizOptions& options) {
  CountDueTicks();
  NoSound = options.NoSound;
  TimeLimit = options.TimeLimit;
  Ticks = 0;
  ScheduleWake();
}

bool QuizEngine::NextQuestion() {
  CountDueTicks();
  const bool picked = PickQuestion();
  ScheduleWake();
  return picked;
}

bool QuizEngine::PickQuestion() {
  const int n = list_.Count();
  // An empty list (the zero-length file a first run leaves) has no question.
  if (n == 0) return false;
  const int start = static_cast<int>(Rng.Next(static_cast<std::uint32_t>(n)));
  // Walks back from `start`, from the first line on to the last, and looks
  // at every line at most once.
  int i = start;
  for (int looked = 1; !Askable(list_.Get(i)); ++looked) {
    if (looked == n) return false;
    i = i > 0 ? i - 1 : n - 1;
  }
  CurLine = i;
  TextEncoding = list_.TextEncoding();
  SplitLine parts = Split(list_.Get(i), TextEncoding);
  QuesText = std::move(parts.question);
  AnsText = std::move(parts.answers);
  Ticks = 0;
  view_.DrawCentered(kQuestionRow, QuesText);
  view_.ClearAnswer();
  if (observer_) observer_->Asked();
  return true;
}

void QuizEngine::S1Click() {
  Running = true;
  view_.SetControlsEnabled(true);
  view_.FocusAnswer();
  EnableTimer(true);
}

void QuizEngine::N3Click() {
  Running = false;
  EnableTimer(false);
  view_.SetControlsEnabled(false);
}

void QuizEngine::EnableTimer(bool on) {
  if (on && !timerOn_) {
    timerOn_ = true;
    lastTick_ = clock_();
  }
  CountDueTicks();
  timerOn_ = on;
  view_.SetTimerEnabled(on);
  ScheduleWake();
}

void QuizEngine::SkipBtnClick() {
  CountDueTicks();
  if (!Answered) Tell(Outcome::Skipped);
  AnsShown = false;
  Answered = false;
  Ticks = 0;
  PickQuestion();
  view_.DrawBoard();
  ScheduleWake();
}

void QuizEngine::AnsBtnClick() {
  CountDueTicks();
  if (!AnsShown && !Answered) Tell(Outcome::AnswerShown);
  AnsShown = true;
  view_.DrawCentered(kAnswerRow, AnsText);
  ScheduleWake();
}

void QuizEngine::Judgment(const std::string& typed, bool representable) {
  CountDueTicks();
  if (Answered) {
    if (PickQuestion()) {
      AnsShown = false;
      Answered = false;
      Ticks = 0;
      view_.DrawBoard();
    } else {
      // End of the pass: every line becomes askable again; the finished
      // question stays on the board until the next Enter.
      Cue("allok.wav");
      ScheduleWake();  // the history goes on sliding while the box is up
      view_.ShowEndOfPass();
      list_.ResetPass();
    }
  } else if (representable && IsOneOfAnswers(AnsText, typed)) {
    AnsShown = false;
    Cue("yes.wav");
    PushHistory(HistoryEntry::Correct(typed, TextEncoding));
    view_.DrawCorrectCircle();
    MarkCurrentLine();
    Answered = true;
    Tell(Outcome::Correct);
  } else {
    PushHistory(HistoryEntry::Wrong(typed, TextEncoding));
    Cue("no.wav");
    Tell(Outcome::Wrong);
  }
  view_.ClearAnswer();
  ScheduleWake();
}

void QuizEngine::MarkCurrentLine() {
  // The list may have been replaced since the question was picked (word
  // editor, another file): mark the line only while it is still this
  // question's line, never some other line or a comment.
  if (CurLine < 0 || CurLine >= list_.Count()) return;
  const std::string_view line = list_.Get(CurLine);
  if (line.empty() || IsComment(line)) return;
  const SplitLine parts = Split(line, list_.TextEncoding());
  if (parts.question != QuesText || parts.answers != AnsText) return;
  list_.MarkAnswered(CurLine);
}

void QuizEngine::Timer1Timer() {
  CountDueTicks();
  ScheduleWake();
}

void QuizEngine::CountDueTicks() {
  if (!timerOn_) return;
  const std::int64_t due = (clock_() - lastTick_) / kTick;
  if (due <= 0) return;
  lastTick_ += due * kTick;
  RunTicks(due);
}

// Does what `n` ticks in a row do, one after another, drawing each part of
// the board once at the end: the history slides on every tick, and the
// ticks of an open question count until the one that closes it.
void QuizEngine::RunTicks(std::int64_t n) {
  auto slide = [&](std::int64_t ticks) {
    if (ScrollOfs <= 0 || ticks <= 0) return;
    ScrollOfs -= static_cast<int>(std::min<std::int64_t>(ticks, ScrollOfs));
    view_.DrawHistory();
  };
  if (Answered) return slide(n);
  const std::int64_t open = std::min(n, std::max<std::int64_t>(std::int64_t(TimeLimit) - Ticks, 1));
  slide(open);
  Ticks += static_cast<int>(open);
  // On the time-out's own tick the bar is not drawn; an earlier tick of the
  // same run drew it, full and red.
  if (Ticks < TimeLimit || open > 1) view_.DrawTimeBar();
  if (Ticks < TimeLimit) return;
  Cue("timeup.wav");
  view_.DrawTimeoutCross();
  PushHistory(HistoryEntry::TimeOut(QuesText, TextEncoding));
  view_.DrawCentered(kAnswerRow, AnsText);
  Answered = true;
  Tell(Outcome::TimeOut);
  slide(n - open);
}

std::int64_t QuizEngine::TicksToNextChange() const {
  if (ScrollOfs > 0) return 1;
  if (Answered) return kNoWake;
  const std::int64_t limit = std::max(TimeLimit, 1);
  const std::int64_t toTimeOut = std::max<std::int64_t>(limit - Ticks, 1);
  // The first tick count at which the bar is a column wider, and the first
  // at which its colour steps: the bar of tick count T is drawn from T + 1.
  const TimeBarLook bar = TimeBar();
  auto firstReaching = [&](std::int64_t value, std::int64_t full) {
    return (value * limit + full - 1) / full - 1;
  };
  const std::int64_t change = std::min(firstReaching(bar.width + 1, 400), firstReaching(bar.red + 1, 255));
  return std::min(std::max<std::int64_t>(change - Ticks, 1), toTimeOut);
}

void QuizEngine::ScheduleWake() {
  if (!timerOn_) return;
  const std::int64_t ticks = TicksToNextChange();
  if (ticks == kNoWake) return view_.WakeIn(kNoWake);
  const auto wait = std::max(lastTick_ + ticks * kTick - clock_(), std::chrono::nanoseconds(0));
  // Whole milliseconds, rounded up, so that the timer never fires before the tick.
  const auto ms = std::chrono::ceil<std::chrono::milliseconds>(wait).count();
  view_.WakeIn(static_cast<int>(std::min<std::int64_t>(ms, INT_MAX)));
}

void QuizEngine::AddHistory(HistoryEntry entry) {
  CountDueTicks();
  PushHistory(std::move(entry));
  ScheduleWake();
}

void QuizEngine::PushHistory(HistoryEntry entry) {
  std::move(History.begin() + 1, History.end(), History.begin());
  History[6] = std::move(entry);
  ScrollOfs = kHistorySlide;
  view_.DrawHistory();
}

TimeBarLook QuizEngine::TimeBar() const {
  const std::int64_t limit = std::max(TimeLimit, 1);
  const std::int64_t ticks = std::clamp<std::int64_t>(std::int64_t(Ticks) + 1, 0, limit);
  return {static_cast<int>(ticks * 400 / limit), static_cast<int>(ticks * 255 / limit)};
}

void QuizEngine::Tell(Outcome outcome) {
  if (observer_) observer_->Happened({outcome, QuesText, AnsText, TextEncoding, Ticks, TimeLimit});
}

void QuizEngine::Cue(const char* file) {
  if (!NoSound) view_.PlayCue(file);
}

}  // namespace vz
