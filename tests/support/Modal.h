#pragma once
// Drives the modal windows (message boxes, dialogs) that code under test runs
// in exec(). A test says which window it expects next with OnNextModal, which
// acts on it as soon as it is up. A modal window that appears while none of
// its type is expected fails the test at once, naming the window and its
// text, and is closed as if cancelled, so that the test goes on and fails
// instead of waiting for an answer nobody gives; so is a window a test acted
// on and left open. The widget test runner installs that watch
// (WatchModals) for every test.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace vz::test {
namespace modal {

// A window a test expects: its type, and the window shown for it once one is.
struct Expected {
  int id;
  const QMetaObject* type;
  QPointer<QWidget> window;
  bool claimed = false;
};
inline std::vector<Expected> expected;
inline int lastId = 0;

inline Expected* Find(int id) {
  auto it = std::find_if(expected.begin(), expected.end(), [id](const Expected& e) { return e.id == id; });
  return it == expected.end() ? nullptr : &*it;
}
inline void Forget(int id) {
  std::erase_if(expected, [id](const Expected& e) { return e.id == id; });
}
inline bool Claimed(const QWidget* w) {
  return std::any_of(expected.begin(), expected.end(), [w](const Expected& e) { return e.window == w; });
}

// The window's class and caption, and what it says: a message box's texts,
// another window's labels.
inline std::string Describe(QWidget* w) {
  QStringList said;
  if (auto* box = qobject_cast<QMessageBox*>(w)) {
    said << box->text() << box->informativeText();
  } else {
    for (const QLabel* label : w->findChildren<QLabel*>()) said << label->text();
  }
  said.removeAll(QString());
  return QStringLiteral("%1 \"%2\": %3")
      .arg(QString::fromLatin1(w->metaObject()->className()), w->windowTitle(),
           said.join(QStringLiteral(" / ")))
      .toStdString();
}

// Closes `w` once its event loop runs, as Escape would.
inline void Dismiss(QWidget* w) {
  QTimer::singleShot(0, w, [w] {
    if (auto* d = qobject_cast<QDialog*>(w)) {
      d->reject();
    } else {
      w->close();
    }
  });
}

// Gives each modal window that is shown to the first expectation of its type
// that has none yet; fails the test for one that nobody expects.
class Watch : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() != QEvent::Show || !o->isWidgetType()) return false;
    auto* w = static_cast<QWidget*>(o);
    if (!w->isWindow() || !w->isModal() || Claimed(w)) return false;
    for (Expected& x : expected) {
      if (!x.claimed && w->metaObject()->inherits(x.type)) {
        x.claimed = true;
        x.window = w;
        return false;
      }
    }
    ADD_FAILURE() << "a modal window the test did not expect: " << Describe(w);
    Dismiss(w);
    return false;
  }
};

// Expectations do not outlive their test.
class ForgetAtTestEnd : public ::testing::EmptyTestEventListener {
  void OnTestEnd(const ::testing::TestInfo&) override { expected.clear(); }
};

// Fails the test if `w` is still up five seconds after the test acted on it.
inline void CheckClosed(QPointer<QWidget> w, int triesLeft = 500) {
  QTimer::singleShot(10, [w, triesLeft] {
    if (!w || !w->isVisible()) return;
    if (triesLeft > 0) return CheckClosed(w, triesLeft - 1);
    ADD_FAILURE() << "the test left a modal window open: " << Describe(w);
    Dismiss(w);
  });
}

template <class T>
void Poll(int id, std::function<void(T*)> act, int triesLeft) {
  QTimer::singleShot(10, [id, act = std::move(act), triesLeft]() mutable {
    Expected* e = Find(id);
    if (!e) return;  // its test has ended
    QWidget* active = QApplication::activeModalWidget();
    // Without the watch (or for a window shown before the test expected
    // it), the active window of that type that nobody else has.
    if (!e->claimed && qobject_cast<T*>(active) && !Claimed(active)) {
      e->claimed = true;
      e->window = active;
    }
    if (e->claimed && e->window && e->window == active) {
      QPointer<QWidget> w = e->window;
      Forget(id);
      act(qobject_cast<T*>(w.data()));
      CheckClosed(w);
    } else if (e->claimed && (!e->window || !e->window->isVisible())) {
      Forget(id);  // shown and closed by the code itself
    } else if (triesLeft > 0) {
      Poll<T>(id, std::move(act), triesLeft - 1);
    } else {
      if (e->claimed) {
        ADD_FAILURE() << "an expected modal window never became the active one: " << Describe(e->window);
        Dismiss(e->window);
      }
      Forget(id);
    }
  });
}

}  // namespace modal

// Installs the watch on the application: once, before the first test.
inline void WatchModals(QApplication& app) {
  app.installEventFilter(new modal::Watch(&app));
  ::testing::UnitTest::GetInstance()->listeners().Append(new modal::ForgetAtTestEnd);
}

// Acts on the next modal window of type T (message box, file dialog) as soon
// as it is up, so tests can drive code that waits in exec(). The window is
// expected within `triesLeft` times 10 ms: one that comes later, or one of
// another type, is unexpected.
template <class T = QWidget>
void OnNextModal(std::function<void(T*)> act, int triesLeft = 500) {
  modal::expected.push_back({++modal::lastId, &T::staticMetaObject, nullptr});
  modal::Poll<T>(modal::lastId, std::move(act), triesLeft);
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
