#pragma once
// Dialog sizes are given for the outer frame. The frame's width is known
// only once the window is on screen, and with some window managers a moment
// later, so the size is applied at the first show and once more just after.
// Both dialogs are also opened the same way: at a given point, modally, and
// released afterwards.
#include <QDialog>
#include <QPoint>
#include <QPointer>
#include <QSize>

#include "gui/kit/Modal.h"

class QWidget;

namespace vz {

// Call from the window's showEvent at its first show.
void FitOuterSizeOnFirstShow(QWidget* window, QSize outer);

// A dialog in the window font with a title bar, system menu and close box,
// whose outer frame gets the size `outer` when it is first shown.
class OuterSizedDialog : public QDialog {
 public:
  OuterSizedDialog(QWidget* owner, QSize outer);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QSize outer_;
  bool fitted_ = false;
};

// Shows `dialog` modally with its outer top-left corner at `topLeft` (screen
// coordinates) and, when it is closed with OK, calls onOk(*dialog); then
// releases it. Returns whether OK was chosen; false also when the owner went
// away meanwhile (taking the dialog with it).
template <class D, class OnOk>
bool ExecAt(D* dialog, QPoint topLeft, OnOk&& onOk) {
  QPointer<D> dlg = dialog;
  dlg->move(topLeft);  // for a window, move() places the outer frame
  const int result = ExecModal(*dlg);
  if (!dlg) return false;
  const bool ok = result == QDialog::Accepted;
  if (ok) onOk(*dlg);
  delete dlg;
  return ok;
}

}  // namespace vz
