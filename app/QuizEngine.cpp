#include "app/QuizEngine.h"

#include <algorithm>
#include <cstdint>

#include "wordlist/WordLine.h"

namespace vz {

void QuizEngine::Reset() {
  Running = AnsShown = Answered = false;
  Ticks = 0;
  ScrollOfs = 4;
  History.fill(HistoryEntry{});
  Rng.SeedFromClock();
}

void QuizEngine::ApplyOptions(const QuizOptions& options) {
  NoSound = options.NoSound;
  TimeLimit = options.TimeLimit;
  Ticks = 0;
}

bool QuizEngine::NextQuestion() {
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
  return true;
}

void QuizEngine::S1Click() {
  Running = true;
  view_.SetControlsEnabled(true);
  view_.FocusAnswer();
  view_.SetTimerEnabled(true);
}

void QuizEngine::N3Click() {
  Running = false;
  view_.SetTimerEnabled(false);
  view_.SetControlsEnabled(false);
}

void QuizEngine::SkipBtnClick() {
  AnsShown = false;
  Answered = false;
  Ticks = 0;
  NextQuestion();
  view_.DrawBoard();
}

void QuizEngine::AnsBtnClick() {
  AnsShown = true;
  view_.DrawCentered(kAnswerRow, AnsText);
}

void QuizEngine::Judgment(const std::string& typed, bool representable) {
  if (Answered) {
    if (NextQuestion()) {
      AnsShown = false;
      Answered = false;
      Ticks = 0;
      view_.DrawBoard();
    } else {
      // End of the pass: every line becomes askable again; the finished
      // question stays on the board until the next Enter.
      Cue("allok.wav");
      view_.ShowEndOfPass();
      list_.ResetPass();
    }
  } else if (representable && IsOneOfAnswers(AnsText, typed)) {
    AnsShown = false;
    Cue("yes.wav");
    AddHistory(HistoryEntry::Correct(typed, TextEncoding));
    view_.DrawCorrectCircle();
    MarkCurrentLine();
    Answered = true;
  } else {
    AddHistory(HistoryEntry::Wrong(typed, TextEncoding));
    Cue("no.wav");
  }
  view_.ClearAnswer();
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
  if (ScrollOfs > 0) {
    --ScrollOfs;
    view_.DrawHistory();
  }
  if (Answered) return;
  ++Ticks;
  if (Ticks < TimeLimit) {
    view_.DrawTimeBar();
    return;
  }
  Cue("timeup.wav");
  view_.DrawTimeoutCross();
  AddHistory(HistoryEntry::TimeOut(QuesText, TextEncoding));
  view_.DrawCentered(kAnswerRow, AnsText);
  Answered = true;
}

void QuizEngine::AddHistory(HistoryEntry entry) {
  std::move(History.begin() + 1, History.end(), History.begin());
  History[6] = std::move(entry);
  ScrollOfs = 12;
  view_.DrawHistory();
}

TimeBarLook QuizEngine::TimeBar() const {
  const std::int64_t limit = std::max(TimeLimit, 1);
  const std::int64_t ticks = std::clamp<std::int64_t>(std::int64_t(Ticks) + 1, 0, limit);
  return {static_cast<int>(ticks * 400 / limit), static_cast<int>(ticks * 255 / limit)};
}

void QuizEngine::Cue(const char* file) {
  if (!NoSound) view_.PlayCue(file);
}

}  // namespace vz
