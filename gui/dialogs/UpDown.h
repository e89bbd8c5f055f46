#pragma once
// A vertical up/down spinner that is not tied to any other control: two
// arrow buttons over a position of its own, confined to a range without
// wrapping. It reports a click only when the position actually moved, so the
// owner sees at most (max - position) up clicks and (position - min) down
// clicks.
#include <QWidget>

class QToolButton;

namespace vz {

enum class UpDownButton { Up, Down };

class UpDown : public QWidget {
  Q_OBJECT
 public:
  explicit UpDown(QWidget* parent = nullptr);

  void SetRange(int min, int max);
  void SetPosition(int position);  // kept within the range
  int Position() const { return position_; }

  // One step in the arrow's direction; emits Click when the position moved.
  void Step(UpDownButton button);

  // The value the owner shows for the spinner: assistive technology reads
  // the spinner as a spin box with this value, and hears each change.
  void SetShownValue(long long value);
  long long ShownValue() const { return shown_; }

  QToolButton* UpArrow() const { return up_; }
  QToolButton* DownArrow() const { return down_; }

 signals:
  void Click(vz::UpDownButton button);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  QToolButton* up_;
  QToolButton* down_;
  int min_ = 0;
  int max_ = 100;
  int position_ = 50;
  long long shown_ = 0;
};

}  // namespace vz
