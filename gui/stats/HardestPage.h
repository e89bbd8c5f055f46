#pragma once
// The hardest words: the lines with the most wrong answers and time-outs,
// with their answers, sortable by any column, and a button that writes them,
// in the order shown, to a new word file.
#include <QWidget>
#include <string>
#include <vector>

#include "core/records/Stats.h"

class QTableWidget;
class QPushButton;

namespace vz::stats {

class HardestPage : public QWidget {
  Q_OBJECT
 public:
  // `saveDir` is where the new word file is offered (ending in "/").
  HardestPage(std::vector<records::HardWord> words, std::string saveDir, QWidget* parent = nullptr);

  // The words in the order the table shows them.
  std::vector<records::HardWord> Shown() const;
  // Writes Shown() to a new word file at `target` and tells the user.
  void ExportTo(const std::string& target);

 private:
  void ExportBtnClick();

  std::vector<records::HardWord> words_;
  std::string saveDir_;
  QTableWidget* table_ = nullptr;
  QPushButton* exportBtn_ = nullptr;
};

}  // namespace vz::stats
