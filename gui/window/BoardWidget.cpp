#include "gui/window/BoardWidget.h"

#include <QAccessibleWidget>
#include <QPaintEvent>
#include <QPainter>

#include "gui/window/Board.h"

namespace vz {
namespace {

// The roles of the two widgets that only draw or draw nothing; Qt would
// present both as filler, which screen readers pass over.
QAccessibleInterface* AccessibleFor(const QString&, QObject* object) {
  if (auto* board = dynamic_cast<BoardWidget*>(object)) {
    return new QAccessibleWidget(board, QAccessible::StaticText);
  }
  if (auto* announcer = dynamic_cast<Announcer*>(object)) {
    return new QAccessibleWidget(announcer, QAccessible::Notification);
  }
  return nullptr;
}

void InstallAccessibleRoles() {
  static const bool installed = (QAccessible::installFactory(&AccessibleFor), true);
  (void)installed;
}

}  // namespace

BoardWidget::BoardWidget(const Board& board, QWidget* parent) : QWidget(parent), board_(board) {
  InstallAccessibleRoles();
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFixedSize(Board::kWidth, Board::kHeight);
}

void BoardWidget::SetSpoken(const QString& name, const QString& description) {
  auto tell = [this](QAccessible::Event what) {
    QAccessibleEvent event(this, what);
    (NotifyAccessibility ? NotifyAccessibility : &QAccessible::updateAccessibility)(&event);
  };
  if (accessibleName() != name) {
    setAccessibleName(name);
    tell(QAccessible::NameChanged);
  }
  if (accessibleDescription() != description) {
    setAccessibleDescription(description);
    tell(QAccessible::DescriptionChanged);
  }
}

void BoardWidget::paintEvent(QPaintEvent* event) {
  const QImage& image = board_.Image();
  const qreal dpr = image.devicePixelRatio();
  QPainter p(this);
  for (const QRect& r : event->region()) {
    p.drawImage(r, image, QRectF(r.x() * dpr, r.y() * dpr, r.width() * dpr, r.height() * dpr));
  }
}

Announcer::Announcer(QWidget* parent) : QWidget(parent) {
  InstallAccessibleRoles();
  setFixedSize(0, 0);
  setFocusPolicy(Qt::NoFocus);
}

void Announcer::Announce(const QString& text) {
  setAccessibleName(text);
  // The notification appears anew with each text, also the same one twice,
  // and never disappears: screen readers that speak a notification when it
  // hides would repeat the previous text.
  if (!isVisible()) return;
  QAccessibleEvent shown(this, QAccessible::ObjectShow);
  QAccessible::updateAccessibility(&shown);
}

}  // namespace vz
