#pragma once
// The main window's side of the learning records: the recorder the quiz
// tells of its outcomes (when [RECORDS] KEEP is not "N"), the one box that
// tells of a database fault, and the statistics window.
#include <QObject>
#include <memory>
#include <string>

#include "core/records/Recorder.h"

class QWidget;

namespace vz::stats {

class RecordKeeper : public QObject {
  Q_OBJECT
 public:
  // Records into `dbPath` when `keep`; `window` owns the boxes and the
  // statistics window.
  RecordKeeper(QWidget* window, std::string dbPath, bool keep);
  ~RecordKeeper() override;

  // What the quiz tells of its outcomes; nullptr when nothing is recorded.
  QuizObserver* Observer() { return recorder_.get(); }
  // The word file that is asked from now on (its absolute path), and the
  // saves of it (its identity on disk changes with each).
  void SetWordFile(const std::string& path);
  void WordFileSaved();
  // Writes what is left and stops recording; a fault not told yet is told now.
  void Close();
  // "学習の記録": the records written so far, for the word file `wordFile`.
  void OpenWindow(const std::string& wordFile);

 private:
  // Shows the fault the recorder keeps, once, over the window.
  void TellFault();

  QWidget* window_;
  std::string dbPath_;
  std::unique_ptr<records::Recorder> recorder_;
};

}  // namespace vz::stats
