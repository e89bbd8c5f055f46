// Pixels of the quiz board's backing image.
#include <gtest/gtest.h>

#include <QColor>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPalette>
#include <string>

#include "core/quiz/QuizEngine.h"
#include "gui/kit/Fonts.h"
#include "gui/window/Board.h"
#include "support/QuizAccess.h"
#include "support/RecordingView.h"

namespace vz {
namespace {

// The board is drawn by the test itself; the engine's own calls are ignored.

class BoardTest : public ::testing::Test {
 protected:
  QColor At(int x, int y) const { return board.Image().pixelColor(x, y); }
  struct Pixel {
    int x, y;
    QColor colour;
  };
  void ExpectPixels(std::initializer_list<Pixel> pixels, int context = 0) const {
    for (const Pixel& p : pixels) EXPECT_EQ(At(p.x, p.y), p.colour) << p.x << "," << p.y << " " << context;
  }
  bool IsRed(QColor c) const { return c.red() > 200 && c.green() < 60 && c.blue() < 60; }
  // Counts pixels in a rectangle that satisfy `pred`.
  template <class P>
  int Count(QRect r, P pred) const {
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
      for (int x = r.left(); x <= r.right(); ++x) n += pred(At(x, y)) ? 1 : 0;
    return n;
  }

  test::RecordingView view;  // a board test looks at the image, not the calls
  WordList list;
  QuizEngine quiz{list, view};
  QuizState& st = test::StateOf(quiz);
  Board board;
};

TEST_F(BoardTest, BoardFrameAndBackground) {
  board.DrawBoard(quiz);
  const QColor white(Qt::white), black(Qt::black);
  // White inside; the outline at rows 0 and 113; the bar's frame at columns
  // 45 and 446 and rows 88 and 107 (row 108 is outside); an empty bar at
  // 1000 ticks.
  ExpectPixels({{100, 50, white},
                {200, 0, black},
                {200, 113, black},
                {45, 95, black},
                {446, 95, black},
                {200, 88, black},
                {200, 107, black},
                {200, 108, white},
                {46, 95, white}});
  // Outside the rounded corners: the window's button face.
  const QColor face = QGuiApplication::palette().color(QPalette::Button);
  ASSERT_NE(face, QColor(Qt::white));
  ExpectPixels({{0, 0, face}, {491, 0, face}, {0, 113, face}, {491, 113, face}});
  // At twice the scale the frame's top edge is as thick under the history
  // panel (from column 376) as elsewhere.
  board.SetDevicePixelRatio(2);
  board.DrawBoard(quiz);
  for (int y = 170; y < 184; ++y) EXPECT_EQ(At(2 * 100, y), At(2 * 400, y)) << y;
  EXPECT_EQ(At(2 * 447, 2 * 88), QColor(Qt::white));  // and ends where the frame does
}

TEST_F(BoardTest, TimeBarRunsFromBlueToRed) {
  st.TimeLimit = 1000;
  board.DrawBoard(quiz);
  st.Ticks = 499;  // Ticks + 1 = 500: 200 pixels, red 127, blue 128
  board.DrawTimeBar(quiz);
  const QColor purple(127, 0, 128), white(Qt::white), red(255, 0, 0);
  // Rows 90 to 105, columns 46 to 245.
  ExpectPixels({{46, 90, purple}, {245, 105, purple}, {246, 95, white}, {100, 106, white}, {100, 89, white}});
  st.Ticks = 999;  // the last counted tick: full and pure red
  board.DrawTimeBar(quiz);
  ExpectPixels({{46, 95, red}, {445, 95, red}, {446, 95, QColor(Qt::black)}});
  // A full repaint makes the bar short again.
  st.Ticks = 0;
  board.DrawBoard(quiz);
  EXPECT_EQ(At(46, 95), white);
  // Drawn on every tick, it is one colour from its first column to its last.
  for (; st.Ticks < 700; ++st.Ticks) board.DrawTimeBar(quiz);
  const QColor c(178, 0, 77);  // Ticks + 1 = 700: 280 pixels
  ExpectPixels({{46, 90, c}, {200, 97, c}, {325, 105, c}, {326, 95, white}});
}

TEST_F(BoardTest, RepaintAfterTimeoutShowsFullRedBarForAnyLimit) {
  for (int limit : {1, 100, 255, 256, 300, 400, 1000, 2147483647}) {
    st.TimeLimit = limit;
    st.Ticks = limit;  // where a time-out leaves it
    board.DrawBoard(quiz);
    // Full, and never wider than its frame.
    ExpectPixels({{46, 95, QColor(255, 0, 0)}, {445, 95, QColor(255, 0, 0)}, {446, 95, QColor(Qt::black)}},
                 limit);
  }
}

TEST_F(BoardTest, HistorySlidesUpAndFades) {
  // The newest entry's yellow has blue 36; one step older, 72.
  auto yellow = [](QColor c) { return c.red() > 230 && c.green() > 230 && c.blue() < 54; };
  auto red = [](QColor c) { return c.red() > 230 && c.green() < 90 && c.blue() < 90; };
  board.DrawBoard(quiz);
  quiz.AddHistory(
      HistoryEntry::Correct("ok"));  // "○ ok": newest, yellow, drawn at y 73 while ScrollOfs is 12
  ASSERT_EQ(st.ScrollOfs, 12);
  board.DrawHistory(quiz);
  EXPECT_GT(Count(QRect(378, 73, 100, 13), yellow), 5);
  EXPECT_EQ(Count(QRect(378, 1, 100, 60), yellow), 0);
  // Twelve ticks later it stands at y 61.
  st.ScrollOfs = 0;
  board.DrawHistory(quiz);
  EXPECT_GT(Count(QRect(378, 61, 100, 13), yellow), 5);
  EXPECT_EQ(Count(QRect(378, 75, 100, 13), yellow), 0);
  // A wrong answer is drawn in red tones, never yellow.
  quiz.AddHistory(HistoryEntry::Wrong("bad"));
  st.ScrollOfs = 0;
  board.DrawHistory(quiz);
  EXPECT_GT(Count(QRect(378, 61, 100, 13), red), 5);
  EXPECT_EQ(Count(QRect(378, 61, 100, 13), yellow), 0);
  // The older correct entry, now at y 49, has faded to a paler yellow.
  auto paleYellow = [](QColor c) {
    return c.red() > 240 && c.green() > 240 && c.blue() >= 54 && c.blue() < 120;
  };
  EXPECT_GT(Count(QRect(378, 49, 100, 13), paleYellow), 2);
  EXPECT_EQ(Count(QRect(378, 49, 100, 13), yellow), 0);
}

TEST_F(BoardTest, BlankHistoryDrawsNothingVisible) {
  board.DrawBoard(quiz);
  EXPECT_EQ(Count(QRect(376, 1, 109, 87), [](QColor c) { return c != QColor(Qt::white); }), 0);
}

TEST_F(BoardTest, EachTextIsDrawnInItsOwnEncoding) {
  // The same question and history entries, once from a code page 932 list and
  // once from a UTF-8 one, give the same pixels, also when the history mixes
  // entries of both.
  using codec::Encoding;
  // "ネコ", "猫" and "犬" in `enc`.
  auto neko = [](Encoding enc) { return enc == Encoding::Utf8 ? "ネコ" : "\x83\x6C\x83\x52"; };
  auto cat = [](Encoding enc) { return enc == Encoding::Utf8 ? "猫" : "\x94\x4C"; };
  auto dog = [](Encoding enc) { return enc == Encoding::Utf8 ? "犬" : "\x8C\xA2"; };
  auto draw = [&](Encoding question, Encoding older, Encoding newer) {
    st.QuesText = neko(question);
    st.AnsText = cat(question);
    st.TextEncoding = question;
    st.AnsShown = true;
    st.History[5] = HistoryEntry::Correct(dog(older), older);
    st.History[6] = HistoryEntry::TimeOut(neko(newer), newer);
    st.ScrollOfs = 0;
    board.DrawBoard(quiz);
    return board.Image().copy();
  };
  const QImage cp932 = draw(Encoding::Cp932, Encoding::Cp932, Encoding::Cp932);
  EXPECT_GT(Count(QRect(0, 18, 376, 60), [](QColor c) { return c != QColor(Qt::white); }), 100);
  EXPECT_EQ(draw(Encoding::Utf8, Encoding::Utf8, Encoding::Utf8), cp932);
  EXPECT_EQ(draw(Encoding::Utf8, Encoding::Cp932, Encoding::Utf8), cp932);
}

TEST_F(BoardTest, MarksVanishAtTheNextFullRepaint) {
  st.QuesText = "\x83\x6C\x83\x52";  // ネコ
  board.DrawBoard(quiz);
  board.DrawCorrectCircle();
  EXPECT_TRUE(IsRed(At(246, 10)) || IsRed(At(246, 11)));  // top of the circle
  EXPECT_TRUE(IsRed(At(206, 50)) || IsRed(At(207, 50)));  // its left side
  EXPECT_FALSE(IsRed(At(246, 50)));                       // not filled
  QRect circle;  // its red pixels reach (206, 10) to (284, 88), and the pen's width around
  for (int y = 0; y < 100; ++y)
    for (int x = 190; x < 300; ++x)
      if (IsRed(At(x, y))) circle |= QRect(x, y, 1, 1);
  EXPECT_EQ(circle, QRect(QPoint(205, 9), QPoint(285, 89)));
  board.DrawTimeoutCross(st.QuesText, st.TextEncoding);
  st.AnsText = "cat";
  board.DrawCentered(kAnswerRow, st.AnsText, st.TextEncoding);
  auto red = [&](QRect r) { return Count(r, [&](QColor c) { return IsRed(c); }); };
  auto blue = [&] {
    return Count(QRect(150, 48, 190, 30), [](QColor c) { return c == QColor(166, 202, 240); });
  };
  const QImage marked = board.Image().copy();
  EXPECT_GT(red(QRect(200, 18, 92, 30)), 40);
  // A window's repaint keeps them; the quiz's own full repaint drops them.
  board.Redraw(quiz);
  EXPECT_EQ(board.Image(), marked);
  board.DrawBoard(quiz);
  EXPECT_EQ(red(QRect(0, 0, Board::kWidth, 88)), 0);
  EXPECT_EQ(blue(), 0);
  board.Redraw(quiz);
  EXPECT_EQ(red(QRect(0, 0, Board::kWidth, 88)), 0);
}

TEST_F(BoardTest, ShownAnswerIsRedrawnOnlyWhileAnsShown) {
  auto blue = [](QColor c) { return c == QColor(166, 202, 240); };
  st.AnsText = "cat";
  board.DrawBoard(quiz);
  EXPECT_EQ(Count(QRect(150, 48, 190, 30), blue), 0);
  st.AnsShown = true;
  board.DrawBoard(quiz);
  EXPECT_GT(Count(QRect(150, 48, 190, 30), blue), 10);
}

TEST_F(BoardTest, QuestionWiderThanTheBoardOverhangsBothSides) {
  st.QuesText = std::string(60, 'W');
  board.DrawBoard(quiz);
  auto ink = [](QColor c) { return c != QColor(Qt::white); };
  // Text reaches both edges (the history panel clears its own rectangle).
  EXPECT_GT(Count(QRect(2, 20, 3, 24), ink), 3);
  EXPECT_GT(Count(QRect(486, 20, 3, 24), ink), 3);
  EXPECT_EQ(Count(QRect(380, 20, 100, 24), [](QColor c) { return c == QColor(166, 202, 240); }), 0);
}

// Lines of megabytes are drawn from a bounded part: counted in characters
// through the extent each drawing reports. The runs of "あ" put the middle
// cut inside a character, so a cut between the bytes of one would show other
// characters and another width.
TEST_F(BoardTest, HugeQuestionAndAnswerLayOutABoundedNumberOfCharacters) {
  const struct {
    codec::Encoding enc;
    std::string a;  // "あ"
  } cases[] = {{codec::Encoding::Cp932, "\x82\xA0"}, {codec::Encoding::Utf8, "\xE3\x81\x82"}};
  for (const auto& c : cases) {
    auto repeat = [&](std::size_t n) {
      std::string s;
      s.reserve(c.a.size() * n);
      for (std::size_t i = 0; i < n; ++i) s += c.a;
      return s;
    };
    const std::size_t shown = Board::kShownBytes / c.a.size();  // whole characters
    const int width =
        QFontMetrics(UiFont(kPx20pt)).horizontalAdvance(QString(qsizetype(shown), QChar(0x3042)));
    for (const std::size_t bytes : {std::size_t{5'000'000}, std::size_t{50'000'000}}) {
      std::size_t n = bytes / c.a.size();
      while ((n * c.a.size() - Board::kShownBytes) / 2 % c.a.size() == 0) ++n;  // the cut inside a character
      const std::string text = repeat(n);
      EXPECT_EQ(board.DrawCentered(kAnswerRow, text, c.enc).width(), width + 2) << bytes;
      EXPECT_EQ(board.DrawTimeoutCross(text, c.enc).width(), width + 5) << bytes;
    }
    // A text that fits is drawn whole, centred exactly.
    const QRect whole = board.DrawCentered(kQuestionRow, repeat(shown), c.enc);
    EXPECT_EQ(whole.width(), width + 2);
    EXPECT_EQ(whole.left(), ((Board::kWidth - width) >> 1) - 1);
  }
}

}  // namespace
}  // namespace vz
