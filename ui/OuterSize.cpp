#include "ui/OuterSize.h"

#include <QMargins>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace vz {
namespace {

void FitOuterSize(QWidget* window, QSize outer) {
  const QMargins m = window->windowHandle() ? window->windowHandle()->frameMargins() : QMargins();
  window->resize(outer.width() - m.left() - m.right(), outer.height() - m.top() - m.bottom());
}

}  // namespace

void FitOuterSizeOnFirstShow(QWidget* window, QSize outer) {
  FitOuterSize(window, outer);
  QTimer::singleShot(0, window, [window, outer] { FitOuterSize(window, outer); });
}

}  // namespace vz
