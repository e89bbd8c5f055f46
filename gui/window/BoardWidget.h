#pragma once
// Shows the board's backing image; painting never draws the board itself.
// To assistive technology the board is static text: its name says the
// question, its description the answer shown and the last result.
#include <QWidget>

class QAccessibleEvent;

namespace vz {

class Board;

class BoardWidget : public QWidget {
 public:
  BoardWidget(const Board& board, QWidget* parent);

  // Gives the board the accessible `name` and `description`, and tells
  // assistive technology of each that changed (only then).
  void SetSpoken(const QString& name, const QString& description);
  // Where those change events go: Qt's dispatch to assistive technology,
  // which drops them while none is listening. Tests listen here.
  static inline void (*NotifyAccessibility)(QAccessibleEvent* event) = nullptr;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const Board& board_;
};

// Tells assistive technology a short text as a notification that appears,
// which screen readers speak wherever the keyboard focus is. It draws
// nothing.
class Announcer : public QWidget {
 public:
  explicit Announcer(QWidget* parent);
  void Announce(const QString& text);
};

}  // namespace vz
