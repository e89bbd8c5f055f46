#pragma once
// Widget tests reach controls one way: by their object names.
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

}  // namespace vz::test
