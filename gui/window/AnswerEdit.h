#pragma once
// The answer box: Enter (Return or keypad Enter, with any modifiers, every
// auto-repeat included) judges the answer and never reaches the text.
// While an input method is composing, Enter and Esc belong to the
// composition: Enter commits it and is never taken for an answer, and Esc
// cancels it and never reaches the menu's exit command.
#include <QLineEdit>

namespace vz {

class AnswerEdit : public QLineEdit {
  Q_OBJECT
 public:
  using QLineEdit::QLineEdit;

 signals:
  void enterPressed();

 protected:
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  bool composing_ = false;
};

}  // namespace vz
