#include "gui/window/Board.h"

#include <algorithm>
#include <cmath>

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPalette>

#include "core/quiz/QuizEngine.h"
#include "core/text/TextCut.h"
#include "gui/kit/Fonts.h"
#include "gui/kit/QtText.h"

namespace vz {
namespace {

const QColor kLightBlue(166, 202, 240);

QColor ButtonFace() { return QGuiApplication::palette().color(QPalette::Button); }

}  // namespace

Board::Board(qreal devicePixelRatio) { SetDevicePixelRatio(devicePixelRatio); }

void Board::SetDevicePixelRatio(qreal ratio) {
  if (!image_.isNull() && image_.devicePixelRatio() == ratio) return;
  image_ = QImage(QSize(kWidth, kHeight) * ratio, QImage::Format_RGB32);
  image_.setDevicePixelRatio(ratio);
  image_.fill(ButtonFace());
  barWidth_ = barRed_ = -1;
}

// Shapes are drawn without antialiasing, as on the classic canvas.
void Board::Begin(QPainter& p) {
  p.begin(&image_);
  p.setRenderHint(QPainter::Antialiasing, false);
}

QFont Board::Font(int pixelSize) const { return UiFont(pixelSize); }

QRect Board::DrawBoard(const QuizEngine& quiz) {
  {
    QPainter p;
    Begin(p);
    // The window's button face shows in the corners outside the board.
    p.fillRect(QRect(0, 0, kWidth, kHeight), ButtonFace());
    // White rounded board with a black 1-pixel outline, corner ellipse 10 x 10.
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRect(0, 0, kWidth - 1, kHeight - 1), 5, 5);
    // Time-bar frame on (45, 88, 447, 108).
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRect(45, 88, 447 - 45 - 1, 108 - 88 - 1));
  }
  const QuizState& q = quiz.State();
  DrawCentered(kQuestionRow, q.QuesText, q.TextEncoding);
  if (q.AnsShown) DrawCentered(kAnswerRow, q.AnsText, q.TextEncoding);
  DrawHistory(quiz);
  barWidth_ = barRed_ = -1;
  DrawTimeBar(quiz);
  marks_ = {};
  return QRect(0, 0, kWidth, kHeight);
}

QRect Board::Redraw(const QuizEngine& quiz) {
  const Marks marks = marks_;
  const QRect all = DrawBoard(quiz);
  const QuizState& q = quiz.State();
  if (marks.cross) DrawTimeoutCross(q.QuesText, q.TextEncoding);
  if (marks.answer) DrawCentered(kAnswerRow, q.AnsText, q.TextEncoding);
  if (marks.circle) DrawCorrectCircle();
  return all;
}

QRect Board::DrawCentered(int y, const std::string& text, codec::Encoding enc) {
  marks_.answer = marks_.answer || y == kAnswerRow;
  const QString s = codec::FromBytes(enc, codec::Middle(text, kShownBytes, enc));
  const int w = QFontMetrics(Font(kPx20pt)).horizontalAdvance(s);
  const int x = (kWidth - w) >> 1;  // rounds down, also for a negative width difference
  return DrawOutlined(x, y, kPx20pt, kLightBlue, Qt::black, s);
}

QRect Board::DrawOutlined(int x, int y, int pixelSize, QColor textColor, QColor edgeColor, const QString& s) {
  QPainter p;
  Begin(p);
  const QFont font = Font(pixelSize);
  p.setFont(font);
  const QFontMetrics fm(font);
  const int base = fm.ascent();  // text is placed by the top of its cell
  p.setPen(edgeColor);
  p.drawText(x, y - 1 + base, s);
  p.drawText(x, y + 1 + base, s);
  p.drawText(x - 1, y + base, s);
  p.drawText(x + 1, y + base, s);
  p.setPen(textColor);
  p.drawText(x, y + base, s);
  return QRect(x - 1, y - 1, fm.horizontalAdvance(s) + 2, fm.height() + 2);
}

QRect Board::DrawTimeBar(const QuizEngine& quiz) {
  const TimeBarLook bar = quiz.TimeBar();
  if (bar.width == barWidth_ && bar.red == barRed_) return {};
  // While the colour stays, only the columns a longer bar adds change; a
  // new colour fills the whole bar anew.
  const int from = bar.red == barRed_ ? std::clamp(barWidth_, 0, bar.width) : 0;
  barWidth_ = bar.width;
  barRed_ = bar.red;
  const QRect r(46 + from, 90, bar.width - from, 106 - 90);
  if (r.width() <= 0) return {};
  const QColor colour(bar.red, 0, 255 - bar.red);
  const qreal ratio = image_.devicePixelRatio();
  if (ratio != std::floor(ratio)) {
    QPainter p;
    Begin(p);
    p.fillRect(r, colour);
    return r;
  }
  // The bar changes on most ticks: at a whole-pixel scale its device pixels
  // are set directly, exactly as a fill sets them, without a painter per tick.
  const int scale = static_cast<int>(ratio);
  const QRect device(r.topLeft() * scale, r.size() * scale);
  uchar* bits = image_.bits();
  for (int y = device.top(); y <= device.bottom(); ++y) {
    QRgb* line = reinterpret_cast<QRgb*>(bits + y * image_.bytesPerLine());
    std::fill_n(line + device.left(), device.width(), colour.rgb());
  }
  return r;
}

QRect Board::DrawHistory(const QuizEngine& quiz) {
  const QRect panel(376, 1, 485 - 376, 88 - 1);
  {
    QPainter p;
    Begin(p);
    p.fillRect(panel, Qt::white);
  }
  QRect touched = panel;
  for (int i = 6; i >= 0; --i) {
    const HistoryEntry& e = quiz.State().History[static_cast<size_t>(i)];
    const int h = (7 - i) * 36;
    const QColor edge(h, h, h);
    const QColor text = e.kind == HistoryEntry::Kind::Correct ? QColor(255, 255, h) : QColor(255, h, h);
    touched |= DrawOutlined(378, 12 * i - 11 + quiz.State().ScrollOfs, kPx9pt, text, edge,
                            codec::FromBytes(e.encoding, codec::Head(e.text, kShownBytes, e.encoding)));
  }
  {
    // Redraw the board's top border above the panel, where the oldest entry
    // may have been drawn, and the bar frame's top edge below it: at twice
    // the scale a 1-pixel line covers half a pixel on either side, and the
    // panel's fill took the upper half.
    QPainter p;
    Begin(p);
    p.setPen(QPen(Qt::black, 1));
    p.drawLine(377, 0, 481, 0);
    p.drawLine(panel.left(), 88, 446, 88);
  }
  return touched & QRect(0, 0, kWidth, kHeight);
}

QRect Board::DrawTimeoutCross(const std::string& question, codec::Encoding enc) {
  // Crosses out the part DrawCentered shows.
  const QString s = codec::FromBytes(enc, codec::Middle(question, kShownBytes, enc));
  const QFontMetrics fm(Font(kPx20pt));
  const int w = fm.horizontalAdvance(s), h = fm.height();
  const int x0 = (kWidth - w) >> 1, x1 = (kWidth + w) >> 1;
  marks_.cross = true;
  QPainter p;
  Begin(p);
  p.setPen(QPen(Qt::red, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  const int y = kQuestionRow;
  p.drawLine(x0, y, x1, y + h);
  p.drawLine(x1, y, x0, y + h);
  return QRect(QPoint(x0 - 2, y - 2), QPoint(x1 + 2, y + 2 + h));
}

QRect Board::DrawCorrectCircle() {
  marks_.circle = true;
  QPainter p;
  Begin(p);
  p.setPen(QPen(Qt::red, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(QRect(206, 10, 286 - 206 - 1, 90 - 10 - 1));
  return QRect(204, 8, 84, 84);
}

}  // namespace vz
