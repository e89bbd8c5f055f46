#pragma once
// Shows the board's backing image; painting never draws the board itself.
#include <QWidget>

namespace vz {

class Board;

class BoardWidget : public QWidget {
 public:
  BoardWidget(const Board& board, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const Board& board_;
};

}  // namespace vz
