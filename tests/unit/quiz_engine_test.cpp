#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstdint>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "core/files/Error.h"
#include "core/quiz/QuizEngine.h"
#include "core/wordlist/WordLine.h"
#include "support/QuizAccess.h"
#include "support/RecordingView.h"
#include "support/WordLines.h"

namespace vz {
namespace {

using Calls = std::vector<std::string>;
using test::Lines;
using test::LinesOf;

constexpr std::uint32_t kMul = 134775813u;

// The seed that makes the next draw over n lines return `start`: the draw
// is floor(n * s / 2^32) for the updated seed s = old * kMul + 1, so pick
// the smallest such s and undo the update with kMul's inverse mod 2^32.
std::uint32_t SeedFor(std::uint32_t start, std::uint32_t n) {
  const std::uint64_t s = ((std::uint64_t(start) << 32) + n - 1) / n;
  std::uint32_t inv = kMul;  // Newton's iteration doubles the good bits
  for (int i = 0; i < 5; ++i) inv *= 2u - kMul * inv;
  return (static_cast<std::uint32_t>(s) - 1u) * inv;
}

class Quiz : public ::testing::Test {
 protected:
  // The timer runs on a clock the test moves.
  Quiz() {
    quiz.EnableTimer(true);
    view.Take();
  }
  WordList list;
  test::RecordingView view;
  std::chrono::nanoseconds now{};
  QuizEngine quiz{list, view, [this] { return now; }};
  QuizState& st = test::StateOf(quiz);

  // Timer1 fires `ticks` ticks after the last one.
  void Tick(int ticks = 1) {
    now += ticks * kTick;
    quiz.Timer1Timer();
  }

  void Fill(const Lines& lines) { list = test::ListOf(lines); }
  // Picks with the random start at `start`, and forgets what it drew.
  void PickAt(int start) {
    st.Rng.seed = SeedFor(static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(list.Count()));
    ASSERT_TRUE(quiz.NextQuestion());
    view.Take();
  }
  // The time bar's width and redness.
  std::pair<int, int> Bar() { return {quiz.TimeBar().width, quiz.TimeBar().red}; }
  int PickedFrom(int start) {
    st.Rng.seed = SeedFor(static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(list.Count()));
    return quiz.NextQuestion() ? st.CurLine : -1;
  }
};

// ---- random numbers -----------------------------------------------------------

TEST(QuizRandom, KnownSequences) {
  // Worked out by hand from seed := seed * 134775813 + 1, draw = (n * seed) >> 32:
  // from 0 the seeds are 1, 134775814, ...; 100 * 134775814 / 2^32 = 3.14.
  QuizRandom r;
  r.seed = 0;
  const std::pair<std::uint32_t, std::uint32_t> steps[] = {
      {0, 1}, {3, 134775814}, {86, 3698175007u}, {20, 870078620}};
  for (const auto& [draw, seed] : steps) {
    EXPECT_EQ(r.Next(100), draw);
    EXPECT_EQ(r.seed, seed);
  }

  r.seed = 12345;
  std::vector<std::uint32_t> drawn;
  for (int i = 0; i < 5; ++i) drawn.push_back(r.Next(1000));
  EXPECT_EQ(drawn, (std::vector<std::uint32_t>{385, 289, 79, 553, 633}));
}

TEST(QuizRandom, FullRangeAndZero) {
  QuizRandom r;
  r.seed = 0xFFFFFFFFu;
  EXPECT_EQ(r.Next(0), 0u);  // n = 0 draws 0 and still moves the seed
  EXPECT_EQ(r.seed, 0xFFFFFFFFu * kMul + 1u);
  r.seed = SeedFor(0xFFFFFFFEu, 0xFFFFFFFFu);
  EXPECT_EQ(r.Next(0xFFFFFFFFu), 0xFFFFFFFEu);  // no overflow in n * seed
  for (std::uint32_t n : {1u, 2u, 7u, 1000u, 267000u}) {
    for (std::uint32_t want : {0u, n / 2, n - 1}) {
      r.seed = SeedFor(want, n);
      EXPECT_EQ(r.Next(n), want) << "n " << n;
    }
  }
}

TEST(QuizRandom, SeedIsTheTimeOfDayInMilliseconds) {
  QuizRandom r;
  r.SeedFromClock();
  using namespace std::chrono;
  const long long now = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
  const long long day = 24LL * 60 * 60 * 1000;
  EXPECT_LT(r.seed, day);
  const long long diff = (now % day - r.seed + day) % day;
  EXPECT_LT(diff, 5000);
}

// ---- picking ------------------------------------------------------------------

TEST_F(Quiz, NearestAskableLineAtOrBeforeTheStart) {
  Fill({"0a,A", "1b,B", "1c,C", "0d,D"});
  EXPECT_EQ(PickedFrom(0), 0);
  EXPECT_EQ(PickedFrom(1), 0);
  EXPECT_EQ(PickedFrom(2), 0);
  EXPECT_EQ(PickedFrom(3), 3);
  EXPECT_EQ(st.QuesText, "d");
  EXPECT_EQ(st.AnsText, "D");
}

TEST_F(Quiz, ScanWrapsFromTheFirstLineToTheLast) {
  Fill({"1a,A", "0b,B", "0c,C"});
  EXPECT_EQ(PickedFrom(0), 2);
  Fill({";a", "", "1c,C", "0d,D", "1e,E"});
  EXPECT_EQ(PickedFrom(1), 3);
  EXPECT_EQ(PickedFrom(4), 3);
}

TEST_F(Quiz, SingleAskableLineFromEveryStart) {
  Fill({"1a,A", ";b", "", "Xq,ans", "1e,E"});
  for (int start = 0; start < 5; ++start) EXPECT_EQ(PickedFrom(start), 3) << "start " << start;
}

TEST_F(Quiz, PickingSplitsDrawsAndClears) {
  Fill({"0nocomma"});
  st.Ticks = 55;
  st.AnsShown = true;
  st.Answered = true;
  ASSERT_TRUE(quiz.NextQuestion());
  EXPECT_EQ(st.QuesText, "");
  EXPECT_EQ(st.AnsText, "0nocomma");
  EXPECT_EQ(st.Ticks, 0);
  EXPECT_EQ(view.Take(), (Calls{"centered 18 ", "clear"}));
  // The callers decide about these.
  EXPECT_TRUE(st.AnsShown);
  EXPECT_TRUE(st.Answered);
}

TEST_F(Quiz, NothingAskableChangesNothing) {
  for (const Lines& lines : {Lines{"1a,A", ";b", "", "1"}, Lines{""}, Lines{}}) {
    Fill(lines);
    st.CurLine = 3;
    st.QuesText = "old q";
    st.AnsText = "old a";
    st.Ticks = 77;
    st.AnsShown = true;
    EXPECT_FALSE(quiz.NextQuestion());
    for (int start = 0; start < list.Count(); ++start) EXPECT_EQ(PickedFrom(start), -1);
    EXPECT_EQ(st.CurLine, 3);
    EXPECT_EQ(st.QuesText, "old q");
    EXPECT_EQ(st.AnsText, "old a");
    EXPECT_EQ(st.Ticks, 77);
    EXPECT_TRUE(st.AnsShown);
    EXPECT_EQ(view.Take(), Calls{});  // no drawing, answer box left alone
    EXPECT_EQ(LinesOf(list), lines);
  }
}

// ---- commands -----------------------------------------------------------------

TEST_F(Quiz, StartAndStopKeepTheQuestionAndItsTicks) {
  Fill({"0a,A"});
  PickAt(0);
  st.ScrollOfs = 0;
  quiz.S1Click();
  EXPECT_TRUE(st.Running);
  EXPECT_EQ(view.Take(), (Calls{"controls on", "focus", "timer on"}));
  for (int i = 0; i < 5; ++i) Tick();
  quiz.N3Click();
  EXPECT_FALSE(st.Running);
  view.Take();
  quiz.S1Click();
  quiz.S1Click();  // again while running: nothing new but the focus
  EXPECT_EQ(view.Take(), (Calls{"controls on", "focus", "timer on", "controls on", "focus", "timer on"}));
  Tick();
  EXPECT_EQ(st.Ticks, 6);
  EXPECT_EQ(st.QuesText, "a");
  quiz.N3Click();
  EXPECT_EQ(view.Take(), (Calls{"bar", "timer off", "controls off"}));
}

TEST_F(Quiz, NextQuestionButton) {
  Fill({"0a,A", "1b,B"});
  PickAt(0);
  st.AnsShown = st.Answered = true;
  st.Ticks = 300;
  st.Rng.seed = SeedFor(1, 2);
  quiz.SkipBtnClick();
  EXPECT_EQ(view.Take(), (Calls{"centered 18 a", "clear", "board"}));
  EXPECT_FALSE(st.AnsShown);
  EXPECT_FALSE(st.Answered);
  EXPECT_EQ(st.Ticks, 0);

  // Nothing askable: the same question opens again, answer hidden.
  list.MarkAnswered(0);
  st.AnsShown = st.Answered = true;
  st.Ticks = 300;
  quiz.SkipBtnClick();
  EXPECT_EQ(view.Take(), Calls{"board"});
  EXPECT_EQ(st.QuesText, "a");
  EXPECT_FALSE(st.AnsShown);
  EXPECT_FALSE(st.Answered);
  EXPECT_EQ(st.Ticks, 0);

  // An empty list (first run without a word file) is no error either.
  list.Clear();
  EXPECT_NO_THROW(quiz.SkipBtnClick());
  EXPECT_EQ(view.Take(), Calls{"board"});
}

// ---- judging ------------------------------------------------------------------

TEST_F(Quiz, CorrectAnswerStepsInOrder) {
  Fill({"0ネコ,cat;kitty", "0x,y"});
  PickAt(0);
  quiz.AnsBtnClick();
  EXPECT_TRUE(st.AnsShown);
  EXPECT_EQ(view.Take(), Calls{"centered 48 cat;kitty"});
  st.Ticks = 37;

  Calls seen;
  view.onCall = [&](const std::string& call) {
    // What the list and the history hold at each step.
    seen.push_back(call + " | " + st.History[6].text + " | " + std::string(list.Get(0).substr(0, 1)) +
                   (st.Answered ? " closed" : " open"));
  };
  quiz.Judgment("kitty");
  EXPECT_EQ(seen, (Calls{"cue yes.wav |    | 0 open",             // sound before the entry
                         "history | \x81\x9B kitty | 0 open",     // entry, then the circle
                         "circle | \x81\x9B kitty | 0 open",      // circle before the mark
                         "clear | \x81\x9B kitty | 1 closed"}));  // marked, closed
  EXPECT_FALSE(st.AnsShown);
  EXPECT_EQ(st.Ticks, 37);
  EXPECT_EQ(st.ScrollOfs, 12);
  EXPECT_EQ(LinesOf(list), (Lines{"1ネコ,cat;kitty", "0x,y"}));
}

TEST_F(Quiz, WrongAnswerKeepsTheQuestionOpen) {
  Fill({"0ネコ,cat"});
  PickAt(0);
  st.AnsShown = true;
  Calls seen;
  view.onCall = [&](const std::string& call) { seen.push_back(call + " | " + st.History[6].text); };
  quiz.Judgment("dog");
  quiz.Judgment("");
  EXPECT_EQ(seen, (Calls{"history | \x81\x7E dog", "cue no.wav | \x81\x7E dog", "clear | \x81\x7E dog",
                         "history | \x81\x7E ", "cue no.wav | \x81\x7E ", "clear | \x81\x7E "}));
  EXPECT_FALSE(st.Answered);
  EXPECT_TRUE(st.AnsShown);
  EXPECT_EQ(list.Get(0), "0ネコ,cat");
  EXPECT_EQ(st.History[5], HistoryEntry::Wrong("dog"));
}

TEST_F(Quiz, TextThatCodePage932CannotHoldIsWrong) {
  Fill({"0q,"});  // the empty answer
  PickAt(0);
  quiz.Judgment("", /*representable=*/false);
  EXPECT_FALSE(st.Answered);
  EXPECT_EQ(st.History[6].text, "\x81\x7E ");
}

TEST_F(Quiz, Alternatives) {
  struct Case {
    const char* answers;
    const char* typed;
    bool correct;
  };
  const Case cases[] = {
      {"cat;kitty", "cat", true},
      {"cat;kitty", "kitty", true},
      {"cat;kitty", "cat;kitty", false},
      {"cat;kitty", "Cat", false},
      {"cat;kitty", "cat ", false},
      {"cat;kitty", " cat", false},
      {"cat;kitty", "", false},
      {"cat;", "", true},
      {";cat", "", true},
      {"a;;b", "", true},
      {"", "", true},
      {"", " ", false},
      {"cat", "cat", true},
      {"cat", "", false},
      {"ｃａｔ", "cat", false},
      {"a;b;c", "c", true},
      {"\x83\x5C;\x95\x5C", "\x95\x5C", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsOneOfAnswers(c.answers, c.typed), c.correct)
        << '"' << c.answers << "\" typed \"" << c.typed << '"';
  }

  // Through Enter: an empty box on answers ending in ";" is a correct answer.
  Fill({"0q,cat;"});
  PickAt(0);
  quiz.Judgment("");
  EXPECT_TRUE(st.Answered);
  EXPECT_EQ(st.History[6].text, "\x81\x9B ");
  EXPECT_EQ(list.Get(0), "1q,cat;");
}

TEST_F(Quiz, NoSoundSilencesEveryCueAndNothingElse) {
  st.NoSound = true;
  st.ScrollOfs = 0;
  st.TimeLimit = 1;
  Fill({"0a,A", "0b,B"});
  PickAt(1);
  quiz.Judgment("x");
  quiz.Judgment("B");
  EXPECT_EQ(view.Take(), (Calls{"history", "clear", "history", "circle", "clear"}));
  EXPECT_EQ(list.Get(1), "1b,B");
  quiz.SkipBtnClick();
  view.Take();
  st.ScrollOfs = 0;
  Tick();
  EXPECT_EQ(view.Take(), (Calls{"cross", "history", "centered 48 A"}));
  list.MarkAnswered(0);
  quiz.Judgment("");
  EXPECT_EQ(view.Take(), (Calls{"endofpass", "clear"}));
}

TEST_F(Quiz, ShowAnswerThenTypingItCounts) {
  Fill({"0犬,dog"});
  PickAt(0);
  quiz.AnsBtnClick();
  quiz.Judgment("dog");
  EXPECT_TRUE(st.Answered);
  EXPECT_FALSE(st.AnsShown);
  EXPECT_EQ(list.Get(0), "1犬,dog");
}

TEST_F(Quiz, StaleCurrentLineMarksNothing) {
  // The list was replaced (word editor, another file) after the pick.
  Fill({"0a,A", "0b,B", "0c,C"});
  PickAt(2);
  Fill({"0x,C", "0y,C"});  // CurLine 2 is one past the last line
  EXPECT_NO_THROW(quiz.Judgment("C"));
  EXPECT_EQ(view.Take(), (Calls{"cue yes.wav", "history", "circle", "clear"}));
  EXPECT_TRUE(st.Answered);
  EXPECT_EQ(LinesOf(list), (Lines{"0x,C", "0y,C"}));

  Fill({"0a,A", "0b,B"});
  PickAt(1);
  for (const Lines& replaced :
       {Lines{"0p,P", "0q,Q"}, Lines{"0p,P", ""}, Lines{"0p,P", ";b,B"}, Lines{"0p,P", "0b,Bx"}}) {
    Fill(replaced);
    st.Answered = false;
    quiz.Judgment("B");
    EXPECT_TRUE(st.Answered);
    EXPECT_EQ(LinesOf(list), replaced);
  }

  // Rebuilt with the same line at the same place: that line is marked.
  Fill({"0a,A", "Zb,B"});
  st.Answered = false;
  quiz.Judgment("B");
  EXPECT_EQ(LinesOf(list), (Lines{"0a,A", "1b,B"}));
}

// ---- closed question, end of pass -------------------------------------------------

TEST_F(Quiz, EnterOnAClosedQuestionPicksTheNextOneWithoutJudging) {
  Fill({"0a,A", "0b,B"});
  PickAt(0);
  st.AnsShown = true;
  st.Answered = true;  // timed out
  st.Ticks = 1000;
  const auto history = st.History;
  st.Rng.seed = SeedFor(1, 2);
  quiz.Judgment("A");
  EXPECT_EQ(view.Take(), (Calls{"centered 18 b", "clear", "board", "clear"}));
  EXPECT_EQ(st.History, history);
  EXPECT_EQ(LinesOf(list), (Lines{"0a,A", "0b,B"}));
  EXPECT_FALSE(st.Answered);
  EXPECT_FALSE(st.AnsShown);
  EXPECT_EQ(st.Ticks, 0);
  EXPECT_EQ(st.CurLine, 1);
}

TEST_F(Quiz, EndOfPassResetsAfterTheBoxAndTheNextEnterAsksAgain) {
  Fill({"0a,A", ";note", "", "1b,B"});
  PickAt(0);
  quiz.Judgment("A");
  ASSERT_TRUE(st.Answered);
  view.Take();

  Calls seen;
  view.onCall = [&](const std::string& call) {
    seen.push_back(call + " | " + std::string(list.Get(0)) + " " + std::string(list.Get(3)));
  };
  quiz.Judgment("whatever");
  EXPECT_EQ(seen, (Calls{"cue allok.wav | 1a,A 1b,B", "endofpass | 1a,A 1b,B", "clear | 0a,A 0b,B"}));
  EXPECT_EQ(LinesOf(list), (Lines{"0a,A", ";note", "", "0b,B"}));
  EXPECT_TRUE(st.Answered);  // the finished question stays up
  EXPECT_EQ(st.QuesText, "a");
  EXPECT_EQ(st.History[6].text, "\x81\x9B A");
  EXPECT_EQ(st.History[6].kind, HistoryEntry::Kind::Correct);

  view.onCall = nullptr;
  quiz.Judgment("");
  EXPECT_FALSE(st.Answered);
  EXPECT_EQ(view.Take().back(), "clear");
}

TEST_F(Quiz, CommentsOnlyEndThePassOnEveryEnter) {
  Fill({";a", ""});
  st.Answered = true;
  for (int i = 0; i < 3; ++i) {
    quiz.Judgment("");
    EXPECT_EQ(view.Take(), (Calls{"cue allok.wav", "endofpass", "clear"}));
  }
  EXPECT_EQ(LinesOf(list), (Lines{";a", ""}));
}

// ---- ticks and the time bar ---------------------------------------------------------

TEST_F(Quiz, TimeOutStepsInOrder) {
  Fill({"0ネコ,cat"});
  PickAt(0);
  st.TimeLimit = 3;
  st.ScrollOfs = 0;
  st.AnsShown = true;
  Tick();
  Tick();
  EXPECT_EQ(view.Take(), (Calls{"bar", "bar"}));
  EXPECT_FALSE(st.Answered);

  Calls seen;
  view.onCall = [&](const std::string& call) { seen.push_back(call + " | " + st.History[6].text); };
  Tick();
  EXPECT_EQ(seen, (Calls{"cue timeup.wav |   ", "cross |   ", "history | \x81\x7E\x81\x7E ネコ",
                         "centered 48 cat | \x81\x7E\x81\x7E ネコ"}));
  EXPECT_TRUE(st.Answered);
  EXPECT_TRUE(st.AnsShown);  // a time-out leaves it as it was
  EXPECT_EQ(st.Ticks, 3);
  EXPECT_EQ(list.Get(0), "0ネコ,cat");

  // A closed question counts no more ticks; only the history slides.
  view.onCall = nullptr;
  view.Take();
  Tick();
  EXPECT_EQ(st.Ticks, 3);
  EXPECT_EQ(view.Take(), Calls{"history"});
}

TEST_F(Quiz, TimeLimitOneClosesOnTheFirstTick) {
  Fill({"0a,A"});
  st.TimeLimit = 1;
  PickAt(0);
  st.ScrollOfs = 0;
  Tick();
  EXPECT_TRUE(st.Answered);
  EXPECT_EQ(view.Take().front(), "cue timeup.wav");
}

TEST_F(Quiz, HistorySlidesInOverExactlyTwelveTicks) {
  st.Answered = true;
  quiz.AddHistory(HistoryEntry::Wrong("entry"));
  EXPECT_EQ(st.History[6].text, "\x81\x7E entry");
  EXPECT_EQ(st.History[5].text, kNoEvent);
  EXPECT_EQ(st.History[5].kind, HistoryEntry::Kind::None);
  EXPECT_EQ(st.ScrollOfs, 12);
  EXPECT_EQ(view.Take(), Calls{"history"});
  for (int i = 1; i <= 12; ++i) {
    Tick();
    EXPECT_EQ(st.ScrollOfs, 12 - i);
  }
  EXPECT_EQ(view.Take(), Calls(12, "history"));
  Tick();
  EXPECT_EQ(st.ScrollOfs, 0);
  EXPECT_EQ(view.Take(), Calls{});

  // On an open question the panel is redrawn before the bar.
  Fill({"0a,A"});
  PickAt(0);
  st.Answered = false;
  st.ScrollOfs = 1;
  Tick();
  EXPECT_EQ(view.Take(), (Calls{"history", "bar"}));
}

TEST_F(Quiz, HistoryEntriesOfHugeTextsAreBounded) {
  // A 5 MB question of "あ" (82 A0) times out; then a long typed answer.
  std::string question;
  for (int i = 0; i < 2'500'000; ++i) question += "\x82\xA0";
  Fill({"0" + question + ",a"});
  PickAt(0);
  st.TimeLimit = 1;
  Tick();
  EXPECT_EQ(st.History[6].text, kCp932Marks.timeout + question.substr(0, kHistoryEntryBytes));
  quiz.Judgment(std::string(1'000'000, 'x'));  // Enter on the closed question: the next one
  quiz.Judgment(std::string(1'000'000, 'x'));
  EXPECT_EQ(st.History[6], HistoryEntry::Wrong(std::string(kHistoryEntryBytes, 'x')));
  // Cut between characters: after one byte, 127 of "あ" fit in the 256.
  EXPECT_EQ(HistoryEntry::Correct("a" + question.substr(0, 300)).text,
            kCp932Marks.correct + ("a" + question.substr(0, 254)));
}

TEST_F(Quiz, HistoryKeepsTheLastSevenEntries) {
  for (int i = 0; i < 9; ++i) quiz.AddHistory(HistoryEntry::Correct("e" + std::to_string(i)));
  std::vector<std::string> texts;
  for (const auto& e : st.History) texts.push_back(e.text.substr(3));
  EXPECT_EQ(texts, (std::vector<std::string>{"e2", "e3", "e4", "e5", "e6", "e7", "e8"}));
}

TEST_F(Quiz, TimeBarWidthAndColour) {
  st.TimeLimit = 1000;
  const struct { int ticks, width, red; } steps[] = {{0, 0, 0}, {499, 200, 127}, {999, 400, 255}};
  for (const auto& s : steps) {
    st.Ticks = s.ticks;
    EXPECT_EQ(Bar(), std::pair(s.width, s.red)) << "Ticks " << s.ticks;
  }
  st.TimeLimit = 3;
  st.Ticks = 0;
  EXPECT_EQ(Bar(), std::pair(133, 85));
}

TEST_F(Quiz, TimeBarAfterATimeOutIsFullAndRedForAnyLimit) {
  Fill({"0a,A"});
  // The bar as last drawn: woken on time or late across the time-out, it is
  // full and red (at a limit of 1 the board's own drawing left it so).
  std::pair<int, int> drawn;
  view.onCall = [&](const std::string& call) { drawn = call == "bar" ? Bar() : drawn; };
  for (int limit : {1, 2, 100, 255, 256, 400, 1000, INT_MAX}) {
    for (int late : {1, 2, 3}) {
      PickAt(0);
      st.Answered = false;
      st.TimeLimit = limit;
      st.Ticks = limit - 1 > 2 ? limit - 2 : 0;  // two ticks (or fewer) before the end
      drawn = Bar();                             // as the tick before drew it
      for (int tick = 0; tick < 3 && !st.Answered; ++tick) Tick(late);
      ASSERT_TRUE(st.Answered) << "limit " << limit;
      EXPECT_EQ(st.Ticks, limit);
      EXPECT_EQ(Bar(), std::pair(400, 255)) << "limit " << limit;
      EXPECT_EQ(drawn, std::pair(400, 255)) << "limit " << limit << ", woken every " << late << " ticks";
      Tick();
      EXPECT_EQ(Bar(), std::pair(400, 255)) << "limit " << limit;
    }
  }
  view.onCall = nullptr;
  // A limit below 1 (never stored, but never a division by zero either).
  st.TimeLimit = 0;
  st.Ticks = 0;
  EXPECT_EQ(Bar(), std::pair(400, 255));
}

// However late Timer1 fires, and whatever command comes first after a busy
// spell, every tick that passed is counted as a 10 ms timer would have
// counted it: after each step the state is that of a twin woken every tick.
TEST_F(Quiz, TicksFollowTheClockHoweverLateTheWake) {
  const struct {
    const char* name;
    // Milliseconds, then a wake (0), a wrong Enter (1), Start (2), the next
    // question asked (3), skipped to (4) or the answer shown (5).
    std::vector<std::pair<int, int>> steps;
  } cases[] = {
      {"late wakes", {{37, 0}, {253, 0}, {4, 0}, {6, 0}, {100, 0}}},
      {"Enter after a busy spell", {{45, 1}, {130, 0}, {5, 1}, {200, 1}, {9, 0}}},
      {"the time-out inside one wake", {{295, 0}, {30, 0}}},
      {"past the time-out and the slide", {{1000, 0}, {1, 1}}},
      {"Start held down", {{7, 2}, {7, 2}, {7, 2}, {7, 2}, {7, 2}, {7, 2}, {7, 2}, {2, 0}}},
      {"Start again between wakes", {{3, 0}, {25, 2}, {4, 0}, {100, 2}, {200, 0}}},
      {"a question asked, skipped to or shown between wakes",
       {{45, 3}, {5, 0}, {38, 4}, {2, 0}, {27, 5}, {3, 0}}},
  };
  Fill({"0a,A"});
  for (const auto& c : cases) {
    WordList twinList = test::ListOf({"0a,A"});
    test::RecordingView twinView{false};
    std::chrono::nanoseconds twinNow = now;
    QuizEngine twin{twinList, twinView, [&] { return twinNow; }};
    for (QuizEngine* q : {&quiz, &twin}) {
      q->Reset();
      q->ApplyOptions({true, 30});
      q->EnableTimer(true);
      test::StateOf(*q).Rng.seed = 0;
      q->NextQuestion();
      q->Judgment("x");  // the history starts sliding
    }
    auto seen = [](const QuizEngine& q) {
      const QuizState& s = q.State();
      return std::tuple(s.Ticks, s.ScrollOfs, s.Answered, s.History, q.TimeBar().width, q.TimeBar().red);
    };
    for (const auto& [ms, command] : c.steps) {
      now += std::chrono::milliseconds(ms);
      for (; twinNow + kTick <= now; twinNow += kTick) twin.Timer1Timer();
      for (QuizEngine* q : {&quiz, &twin}) {
        if (command == 0) q->Timer1Timer();
        if (command == 1) q->Judgment("x");
        if (command == 2) q->S1Click();
        if (command == 3) q->NextQuestion();
        if (command == 4) q->SkipBtnClick();
        if (command == 5) q->AnsBtnClick();
      }
      EXPECT_EQ(seen(quiz), seen(twin)) << c.name << " at " << now / kTick << " ticks";
    }
  }
}

// Following the wakes it asks for, the engine is woken exactly at each tick
// that changes the board (a wider or redder bar, or the sliding history) or
// closes the question, never in between, and no tick's bar is skipped; the
// time-out falls exactly on the limit, and a closed question with a settled
// history sleeps.
TEST_F(Quiz, WakesOnlyForVisibleChanges) {
  Fill({"0a,A"});
  for (const int limit : {1, 2, 3, 7, 100, 1000, 6000}) {
    now += std::chrono::microseconds(3400);  // anywhere between two milliseconds
    st.TimeLimit = limit;
    quiz.SkipBtnClick();
    st.ScrollOfs = 0;
    quiz.EnableTimer(false);
    quiz.EnableTimer(true);
    const auto start = now;
    int wakes = 0;
    while (!st.Answered && wakes <= limit) {
      ASSERT_NE(view.wakes.back(), kNoWake) << limit;
      const std::pair<int, int> before = Bar();
      now += std::chrono::milliseconds(view.wakes.back());
      quiz.Timer1Timer();
      ++wakes;
      EXPECT_EQ(st.Ticks, (now - start) / kTick) << limit;
      EXPECT_TRUE(st.Answered || Bar() != before) << limit << " at " << st.Ticks;
      --st.Ticks;  // the tick before the wake still looked as the last frame did
      EXPECT_TRUE(st.Answered || Bar() == before) << limit << " at " << st.Ticks;
      ++st.Ticks;
    }
    EXPECT_EQ(now - start, limit * kTick) << limit;
    EXPECT_EQ(view.wakes.back(), 10) << limit;  // the history slides in
    Tick(12);
    EXPECT_EQ(view.wakes.back(), kNoWake) << limit;
  }
}

TEST_F(Quiz, ResetAndApplyOptionsRestartTheState) {
  Fill({"0a,A"});
  PickAt(0);
  quiz.S1Click();
  quiz.Judgment("A");
  quiz.ApplyOptions({true, 250});
  EXPECT_EQ(quiz.Options().TimeLimit, 250);
  EXPECT_TRUE(quiz.Options().NoSound);
  EXPECT_EQ(st.Ticks, 0);
  quiz.Reset();
  EXPECT_FALSE(st.Running || st.AnsShown || st.Answered);
  EXPECT_EQ(st.ScrollOfs, 4);
  EXPECT_EQ(st.History[6], HistoryEntry{});
  EXPECT_EQ(quiz.Options().TimeLimit, 250);  // options outlive a reset
}

}  // namespace
}  // namespace vz
