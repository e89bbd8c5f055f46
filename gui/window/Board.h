#pragma once
// The quiz board: question, answer, time bar, history panel, and the cross
// and circle marks, drawn onto a backing image of 492 x 114 logical pixels.
// Coordinates follow the board's own conventions: a rectangle (l, t, r, b)
// excludes column r and row b, and text is placed by the top-left corner of
// its cell. Each operation returns the area it touched.
#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <array>
#include <cstddef>
#include <string>

#include "core/text/Encoding.h"

namespace vz {

class QuizEngine;

class Board {
 public:
  static constexpr int kWidth = 492;
  static constexpr int kHeight = 114;
  // At most this many bytes of a text are converted and laid out, so that
  // drawing costs the same for a line of any length: at least twice what
  // the board can show of a text at the question's size (a byte is at
  // least a few pixels wide there).
  static constexpr std::size_t kShownBytes = 512;

  explicit Board(qreal devicePixelRatio = 1.0);

  const QImage& Image() const { return image_; }
  void SetDevicePixelRatio(qreal ratio);

  // The full repaint of the quiz: the board as the quiz state describes it;
  // the marks drawn since (the cross, the circle, an answer shown by a
  // time-out) are gone.
  QRect DrawBoard(const QuizEngine& quiz);
  // The board redrawn when the window shows it anew (exposed, another
  // scale): as DrawBoard, with the marks the current question has been
  // given since, so that a repaint never takes away what the user still
  // reads.
  QRect Redraw(const QuizEngine& quiz);
  // Texts are bytes in `enc`, the encoding of their word list. Of a text
  // longer than kShownBytes, DrawCentered and the cross take the middle
  // part, which is what shows of it, and the history panel the start.
  QRect DrawCentered(int y, const std::string& text, codec::Encoding enc);
  QRect DrawOutlined(int x, int y, int pixelSize, QColor textColor, QColor edgeColor, const QString& text);
  QRect DrawTimeBar(const QuizEngine& quiz);
  QRect DrawHistory(const QuizEngine& quiz);
  QRect DrawTimeoutCross(const std::string& question, codec::Encoding enc);
  QRect DrawCorrectCircle();

 private:
  void Begin(QPainter& p);
  QFont Font(int pixelSize) const;

  QImage image_;
  // The marks drawn since the last DrawBoard.
  struct Marks {
    bool cross = false, circle = false, answer = false;
  } marks_;
  // The bar as last drawn; a tick that would draw the same pixels draws
  // nothing, keeping the 10 ms tick cheap.
  int barWidth_ = -1, barRed_ = -1;
};

}  // namespace vz
