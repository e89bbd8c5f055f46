#include "app/AnswerEdit.h"

#include <QKeyEvent>

namespace vz {

void AnswerEdit::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    event->accept();
    emit enterPressed();
    return;
  }
  QLineEdit::keyPressEvent(event);
}

}  // namespace vz
