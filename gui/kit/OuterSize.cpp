#include "gui/kit/OuterSize.h"

#include <QMargins>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include "gui/kit/ErrorGuard.h"
#include "gui/kit/Fonts.h"

namespace vz {
namespace {

void FitOuterSize(QWidget* window, QSize outer) {
  const QMargins m = window->windowHandle() ? window->windowHandle()->frameMargins() : QMargins();
  window->resize(outer.width() - m.left() - m.right(), outer.height() - m.top() - m.bottom());
}

}  // namespace

void FitOuterSizeOnFirstShow(QWidget* window, QSize outer) {
  FitOuterSize(window, outer);
  QTimer::singleShot(0, window, Guarded([window, outer] { FitOuterSize(window, outer); }));
}

OuterSizedDialog::OuterSizedDialog(QWidget* owner, QSize outer)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
      outer_(outer) {
  setFont(UiFont(12));
  resize(outer);
}

void OuterSizedDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (fitted_) return;
  fitted_ = true;
  FitOuterSizeOnFirstShow(this, outer_);
}

}  // namespace vz
