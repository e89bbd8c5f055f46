#include "gui/window/AnswerEdit.h"

#include <QInputMethodEvent>
#include <QKeyEvent>

namespace vz {
namespace {

bool IsEnter(const QKeyEvent* e) { return e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter; }
bool IsCompositionKey(const QKeyEvent* e) { return IsEnter(e) || e->key() == Qt::Key_Escape; }

}  // namespace

bool AnswerEdit::event(QEvent* e) {
  // An input method that lets its keys through still owns them while it
  // composes: claiming them here keeps the menu's shortcuts (Esc ends the
  // program) from taking them first.
  if (e->type() == QEvent::ShortcutOverride && composing_ && IsCompositionKey(static_cast<QKeyEvent*>(e))) {
    e->accept();
    return true;
  }
  return QLineEdit::event(e);
}

void AnswerEdit::keyPressEvent(QKeyEvent* e) {
  if (composing_ && IsCompositionKey(e)) {
    e->accept();
    return;
  }
  if (IsEnter(e)) {
    e->accept();
    emit enterPressed();
    return;
  }
  QLineEdit::keyPressEvent(e);
}

void AnswerEdit::inputMethodEvent(QInputMethodEvent* e) {
  composing_ = !e->preeditString().isEmpty();
  QLineEdit::inputMethodEvent(e);
}

void AnswerEdit::focusOutEvent(QFocusEvent* e) {
  // Qt commits or drops the composition when the box loses the focus.
  composing_ = false;
  QLineEdit::focusOutEvent(e);
}

}  // namespace vz
