#pragma once
// Widget tests reach controls one way: by their object names.
#include <QApplication>
#include <QKeyEvent>
#include <QObject>
#include <stdexcept>
#include <string>

namespace vz::test {

// The child of `parent` named `name`; a missing one fails the test that
// asked for it.
template <class T>
T* Child(const QObject* parent, const char* name) {
  T* child = parent->findChild<T*>(QString::fromUtf8(name));
  if (!child) throw std::runtime_error(std::string("no child control named ") + name);
  return child;
}

// A key press sent straight to `w`, as the focused widget gets it.
inline void Press(QWidget* w, int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  QKeyEvent press(QEvent::KeyPress, key, mods);
  QApplication::sendEvent(w, &press);
}

}  // namespace vz::test
