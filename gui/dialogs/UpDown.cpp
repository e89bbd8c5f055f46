#include "gui/dialogs/UpDown.h"

#include <QKeyEvent>
#include <QStyleOptionFocusRect>
#include <QStylePainter>
#include <QToolButton>
#include <algorithm>

#include "gui/kit/ErrorGuard.h"

namespace vz {

namespace {

QToolButton* MakeArrow(QWidget* parent, Qt::ArrowType arrow, const char* name) {
  auto* b = new QToolButton(parent);
  b->setObjectName(name);
  b->setArrowType(arrow);
  b->setAutoRepeat(true);  // holding an arrow keeps stepping
  b->setFocusPolicy(Qt::NoFocus);
  return b;
}

}  // namespace

UpDown::UpDown(QWidget* parent)
    : QWidget(parent),
      up_(MakeArrow(this, Qt::UpArrow, "up")),
      down_(MakeArrow(this, Qt::DownArrow, "down")) {
  // A tab stop of its own: the arrow keys step it while it has the focus.
  setFocusPolicy(Qt::StrongFocus);
  connect(up_, &QToolButton::clicked, this, Guarded([this] { Step(UpDownButton::Up); }));
  connect(down_, &QToolButton::clicked, this, Guarded([this] { Step(UpDownButton::Down); }));
}

void UpDown::SetRange(int min, int max) {
  min_ = min;
  max_ = std::max(min, max);
  position_ = std::clamp(position_, min_, max_);
}

void UpDown::SetPosition(int position) { position_ = std::clamp(position, min_, max_); }

void UpDown::Step(UpDownButton button) {
  const int next = std::clamp(position_ + (button == UpDownButton::Up ? 1 : -1), min_, max_);
  if (next == position_) return;
  position_ = next;
  emit Click(button);
}

void UpDown::resizeEvent(QResizeEvent*) {
  // One pixel left free around the arrows for the focus frame.
  const int w = std::max(0, width() - 2);
  const int h = std::max(0, height() - 2);
  const int top = h / 2;
  up_->setGeometry(1, 1, w, top);
  down_->setGeometry(1, 1 + top, w, h - top);
}

void UpDown::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Up:
      Step(UpDownButton::Up);
      break;
    case Qt::Key_Down:
      Step(UpDownButton::Down);
      break;
    default:
      QWidget::keyPressEvent(event);
  }
}

void UpDown::paintEvent(QPaintEvent*) {
  if (!hasFocus()) return;
  QStylePainter p(this);
  QStyleOptionFocusRect opt;
  opt.initFrom(this);
  p.drawPrimitive(QStyle::PE_FrameFocusRect, opt);
}

}  // namespace vz
