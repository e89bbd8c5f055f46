#pragma once
// The answer box: Enter (Return or keypad Enter, with any modifiers, every
// auto-repeat included) judges the answer and never reaches the text.
// An Enter that commits an input-method composition goes to the input
// method, not here, so it is never taken for an answer.
#include <QLineEdit>

namespace vz {

class AnswerEdit : public QLineEdit {
  Q_OBJECT
 public:
  using QLineEdit::QLineEdit;

 signals:
  void enterPressed();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace vz
