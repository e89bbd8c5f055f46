#pragma once
// Acts on the next modal window of type T (message box, file dialog) as soon
// as it is up, so tests can drive code that waits in exec(). If none comes
// within five seconds, the modal window is closed so the test fails
// instead of hanging.
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace vz::test {

template <class T = QWidget>
void OnNextModal(std::function<void(T*)> act, int triesLeft = 500) {
  QTimer::singleShot(10, [act = std::move(act), triesLeft]() mutable {
    QWidget* w = QApplication::activeModalWidget();
    if (T* t = qobject_cast<T*>(w)) {
      act(t);
    } else if (triesLeft > 0) {
      OnNextModal<T>(std::move(act), triesLeft - 1);
    } else {
      if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) d->reject();
    }
  });
}

// What a message box showed: its caption, and its text as its label reads it.
struct ShownBox {
  QString title, text;
  Qt::TextFormat format = Qt::AutoText;
};

// Records the next message box into `seen` and closes it with OK.
inline void RecordNextBox(ShownBox& seen) {
  OnNextModal<QMessageBox>([&seen](QMessageBox* box) {
    const auto* label = box->findChild<QLabel*>("qt_msgbox_label");
    seen = {box->windowTitle(), label ? label->text() : QString(),
            label ? label->textFormat() : Qt::AutoText};
    box->accept();
  });
}

}  // namespace vz::test
