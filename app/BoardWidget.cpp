#include "app/BoardWidget.h"

#include <QPaintEvent>
#include <QPainter>

#include "app/Board.h"

namespace vz {

BoardWidget::BoardWidget(const Board& board, QWidget* parent) : QWidget(parent), board_(board) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFixedSize(Board::kWidth, Board::kHeight);
}

void BoardWidget::paintEvent(QPaintEvent* event) {
  const QImage& image = board_.Image();
  const qreal dpr = image.devicePixelRatio();
  QPainter p(this);
  for (const QRect& r : event->region()) {
    p.drawImage(r, image, QRectF(r.x() * dpr, r.y() * dpr, r.width() * dpr, r.height() * dpr));
  }
}

}  // namespace vz
