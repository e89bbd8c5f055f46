#pragma once
// The quiz: its state, the choice of the next question, the quiz commands,
// judging typed answers and the ticks of the time limit. It draws, plays and
// asks through a QuizView, so it runs without a display.
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "core/quiz/QuizObserver.h"
#include "core/quiz/QuizRandom.h"
#include "core/quiz/QuizView.h"
#include "core/settings/Settings.h"
#include "core/text/Encoding.h"
#include "core/text/TextCut.h"
#include "core/wordlist/WordList.h"

namespace vz {

// History entry markers, in the encoding of the entry's word list.
struct HistoryMarks {
  const char* correct;  // "○ "
  const char* wrong;    // "× "
  const char* timeout;  // "×× "
};
inline constexpr HistoryMarks kCp932Marks{"\x81\x9B ", "\x81\x7E ", "\x81\x7E\x81\x7E "};
inline constexpr HistoryMarks kUtf8Marks{"○ ", "× ", "×× "};
inline constexpr HistoryMarks kEucJpMarks{"\xA1\xFB ", "\xA1\xDF ", "\xA1\xDF\xA1\xDF "};
inline constexpr const HistoryMarks& MarksFor(codec::Encoding enc) {
  switch (codec::LineEncoding(enc)) {
    case codec::Encoding::Utf8:
      return kUtf8Marks;
    case codec::Encoding::EucJp:
      return kEucJpMarks;
    default:
      return kCp932Marks;
  }
}
inline constexpr const char* kNoEvent = "  ";

// An entry keeps at most this many bytes of the typed text or question it
// shows: the panel shows a few dozen characters, and a question of
// megabytes must not be copied into it.
inline constexpr std::size_t kHistoryEntryBytes = 256;

// One entry of the history panel: what happened, and the text the panel
// shows for it (the marker and the typed answer or the question, cut to
// kHistoryEntryBytes). The text is in the encoding of the word list it came
// from, which the entry keeps, so that it still shows right after another
// file is opened.
struct HistoryEntry {
  enum class Kind { None, Correct, Wrong, TimeOut };
  Kind kind = Kind::None;
  std::string text = kNoEvent;
  codec::Encoding encoding = codec::Encoding::Cp932;

  static HistoryEntry Correct(std::string_view typed, codec::Encoding enc = codec::Encoding::Cp932) {
    return Make(Kind::Correct, MarksFor(enc).correct, typed, enc);
  }
  static HistoryEntry Wrong(std::string_view typed, codec::Encoding enc = codec::Encoding::Cp932) {
    return Make(Kind::Wrong, MarksFor(enc).wrong, typed, enc);
  }
  static HistoryEntry TimeOut(std::string_view question, codec::Encoding enc = codec::Encoding::Cp932) {
    return Make(Kind::TimeOut, MarksFor(enc).timeout, question, enc);
  }
  bool operator==(const HistoryEntry&) const = default;

 private:
  static HistoryEntry Make(Kind kind, const char* mark, std::string_view shown, codec::Encoding enc) {
    return {kind, mark + std::string(codec::Head(shown, kHistoryEntryBytes, enc)), enc};
  }
};

// Monotonic time. The window passes the system's steady clock; tests pass a
// clock they move by hand.
using QuizClock = std::function<std::chrono::nanoseconds()>;
inline std::chrono::nanoseconds SteadyNow() { return std::chrono::steady_clock::now().time_since_epoch(); }

// The quiz counts time in ticks of 10 ms, counted from the clock: however
// late the window's timer fires, the ticks that passed meanwhile are all
// counted, exactly as a timer firing every 10 ms would have counted them.
inline constexpr std::chrono::milliseconds kTick{10};

// Colour and width of the time bar for the current tick count.
struct TimeBarLook {
  int width;  // 0 .. 400 pixels
  int red;    // 0 .. 255; blue is 255 - red
};

// Where the history starts sliding when an entry is added (ScrollOfs).
inline constexpr int kHistorySlide = 12;

// The quiz state, under the names the rest of the system knows it by.
struct QuizState {
  // State of the current question.
  bool AnsShown = false;
  bool Answered = false;
  int CurLine = 0;
  int Ticks = 0;
  int ScrollOfs = 4;
  std::string QuesText;
  std::string AnsText;
  // The encoding of QuesText and AnsText: that of the list the question was
  // picked from. Typed answers are judged in it.
  codec::Encoding TextEncoding = codec::Encoding::Cp932;
  std::array<HistoryEntry, 7> History;  // 0 oldest .. 6 newest

  // Program-wide values.
  bool Running = false;
  int TimeLimit = 1000;  // ticks per question, at least 1
  bool NoSound = false;
  QuizRandom Rng;
};

// The engine owns its state: others read it through State() and change it
// only through the commands below.
class QuizEngine : private QuizState {
 public:
  QuizEngine(WordList& list, QuizView& view, QuizClock clock = SteadyNow)
      : list_(list), view_(view), clock_(std::move(clock)) {}

  const QuizState& State() const { return *this; }
  // Who hears of each question asked and each outcome (nullptr: nobody).
  void SetObserver(QuizObserver* observer) { observer_ = observer; }
  QuizOptions Options() const { return {NoSound, TimeLimit}; }

  // The state of a fresh start: stopped, the timer too, nothing shown or
  // answered, the question's time at 0, the history empty and settled, and
  // the random sequence seeded from the clock.
  void Reset();
  // Values from the settings file or the options dialog; the current
  // question's time starts again.
  void ApplyOptions(const QuizOptions& options);

  // Picks a random askable line, scanning backwards (cyclically) from a
  // random start; false when none is askable, with nothing changed.
  bool NextQuestion();

  void S1Click();       // Start
  void N3Click();       // Stop
  void SkipBtnClick();  // Next question
  void AnsBtnClick();   // Show answer
  // Timer1 on or off (Start and Stop do this themselves; the window stops
  // it while a dialog is open). Ticks count only while it is on, each run
  // from a whole tick after it was switched on.
  void EnableTimer(bool on);

  // Enter in the answer box. `typed` is the box's text in TextEncoding;
  // `representable` is false when it held a character that encoding lacks,
  // and then it matches no answer.
  void Judgment(const std::string& typed, bool representable = true);
  // Timer1 fired: counts every tick that has come since the last one was
  // counted, draws what they change once, and tells the view when the next
  // visible change (or the time-out) is due.
  void Timer1Timer();
  // Pushes an entry into the history and redraws the panel.
  void AddHistory(HistoryEntry entry);

  // The bar as the current tick draws it. After a time-out it stays full
  // width and pure red, as the last counted tick left it.
  TimeBarLook TimeBar() const;

 private:
  bool PickQuestion();
  void PushHistory(HistoryEntry entry);
  // Counts the ticks the clock says have come since the last counted one,
  // as one tick each would have: every command does this first, so it acts
  // on the state of its own moment.
  void CountDueTicks();
  void RunTicks(std::int64_t n);
  // Ticks from the last counted one to the next one that changes the board:
  // the next step of the sliding history, the next tick whose time bar is a
  // column wider or a colour step redder, or the time-out. kNoWake when none
  // will. Ticks that change nothing wake nobody.
  std::int64_t TicksToNextChange() const;
  // Asks the view for a wake at the next change; every command ends so.
  void ScheduleWake();
  void Cue(const char* file);
  void MarkCurrentLine();
  void Tell(Outcome outcome);

  WordList& list_;
  QuizView& view_;
  QuizClock clock_;
  QuizObserver* observer_ = nullptr;
  bool timerOn_ = false;
  // When the last tick was counted, or the timer was switched on.
  std::chrono::nanoseconds lastTick_{};

  // Tests set up states the commands reach only slowly; defined only there.
  friend struct QuizEngineTestAccess;
};

}  // namespace vz
