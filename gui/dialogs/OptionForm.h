#pragma once
// The options dialog: the time limit in whole seconds and the sound switch.
// It edits copies of the values; ExecOptionDialog hands them back only when
// the dialog is closed with OK.
#include <QPoint>
#include <optional>

#include "core/settings/Settings.h"
#include "gui/dialogs/UpDown.h"
#include "gui/kit/OuterSize.h"

class QCheckBox;
class QFrame;
class QLabel;
class QPushButton;

namespace vz {

// Its controls carry the form designer's names as object names.
class TOptionDlg : public OuterSizedDialog {
  Q_OBJECT
 public:
  explicit TOptionDlg(QWidget* owner = nullptr);

  // The dialog's own copies of the values. The seconds shown are
  // timeLimit / 100, truncated, but never less than 1: a limit below one
  // second (possible through the settings file) would time every question
  // out at once.
  void SetValues(bool noSound, int timeLimit);
  bool NoSoundChecked() const;
  // The number Label2 shows; its text is the one store of the edited value.
  long long Seconds() const;
  // Seconds() * 100 ticks, kept within 100 .. INT_MAX.
  int TimeLimitTicks() const;

 public slots:
  void UpDown1Click(vz::UpDownButton button);

 private:
  void SetSeconds(long long seconds);

  QLabel* Label1;
  UpDown* UpDown1;
  QPushButton* BitBtn1;  // OK
  QPushButton* BitBtn2;  // Cancel
  QCheckBox* CheckBox1;
  QFrame* Shape1;
  QLabel* Label2;
};

// Opens the dialog modally with its outer top-left corner at `topLeft`
// (screen coordinates), filled from `current`. Returns the edited values when
// it is closed with OK, nothing for any other way of closing. The caller
// stops and restarts its timer around the call.
std::optional<QuizOptions> ExecOptionDialog(QWidget* owner, QPoint topLeft, const QuizOptions& current);

}  // namespace vz
