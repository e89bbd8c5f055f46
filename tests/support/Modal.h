#pragma once
// Acts on the next modal window of type T (message box, file dialog) as soon
// as it is up, so tests can drive code that waits in exec(). If none comes
// within five seconds, the modal window is closed so the test fails
// instead of hanging.
#include <QApplication>
#include <QDialog>
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

}  // namespace vz::test
