#include "gui/dialogs/UpDown.h"

#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QStyleOptionFocusRect>
#include <QStylePainter>
#include <QToolButton>
#include <algorithm>
#include <limits>

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

// A spin box to assistive technology, named by its owner, whose value is
// the one the owner shows for it.
class AccessibleUpDown : public QAccessibleWidget, public QAccessibleValueInterface {
 public:
  explicit AccessibleUpDown(UpDown* w) : QAccessibleWidget(w, QAccessible::SpinBox) {}
  void* interface_cast(QAccessible::InterfaceType t) override {
    if (t == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(t);
  }
  QString text(QAccessible::Text t) const override {
    return t == QAccessible::Value ? QString::number(Shown()) : QAccessibleWidget::text(t);
  }
  QVariant currentValue() const override { return Shown(); }
  void setCurrentValue(const QVariant&) override {}  // changed with the arrows only
  QVariant maximumValue() const override { return std::numeric_limits<long long>::max(); }
  QVariant minimumValue() const override { return 1; }
  QVariant minimumStepSize() const override { return 1; }

 private:
  long long Shown() const { return static_cast<const UpDown*>(object())->ShownValue(); }
};

QAccessibleInterface* AccessibleFor(const QString&, QObject* object) {
  auto* spinner = qobject_cast<UpDown*>(object);
  return spinner ? new AccessibleUpDown(spinner) : nullptr;
}

}  // namespace

UpDown::UpDown(QWidget* parent)
    : QWidget(parent),
      up_(MakeArrow(this, Qt::UpArrow, "up")),
      down_(MakeArrow(this, Qt::DownArrow, "down")) {
  static const bool accessible = (QAccessible::installFactory(&AccessibleFor), true);
  (void)accessible;
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

void UpDown::SetShownValue(long long value) {
  if (value == shown_) return;
  shown_ = value;
  QAccessibleValueChangeEvent changed(this, value);
  QAccessible::updateAccessibility(&changed);
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
