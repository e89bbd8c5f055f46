#pragma once
// The statistics window "学習の記録": for the current word file or every
// file, the answers per day over a month and a year, the accuracy per week,
// the answer times against the limit, the words mastered over time, and the
// hardest words. It reads the totals the records keep, so it opens as fast
// on a million judgements as on ten.
#include <QDialog>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/records/Stats.h"

class QComboBox;
class QTabWidget;

namespace vz::stats {

class RecordsWindow : public QDialog {
  Q_OBJECT
 public:
  // The records at `dbPath`, showing first those of the word file at
  // `wordFile` (absolute; all files when the records know none there).
  // `today` is the local day the charts end on. Raises RecordsError for a
  // database that cannot be read.
  RecordsWindow(QWidget* parent, const std::string& dbPath, const std::string& wordFile, int today);

 private:
  // Fills the pages for the scope chosen in the box.
  void Show(records::Scope scope);
  // Makes the page at `index` the first time it is shown.
  void BuildPage(int index);

  records::StatsReader reader_;
  std::optional<std::int64_t> file_;
  std::string saveDir_;
  int today_;
  QComboBox* scopeBox_ = nullptr;
  QTabWidget* pages_ = nullptr;
  std::vector<std::function<QWidget*()>> builders_;  // pages not made yet
};

// Opens the window modally (through ExecModal) and returns when it closes.
void ExecRecordsWindow(QWidget* parent, const std::string& dbPath, const std::string& wordFile);

}  // namespace vz::stats
