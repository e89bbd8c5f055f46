#pragma once
// The options dialog: the time limit in whole seconds and the sound switch.
// It edits copies of the values; ExecOptionDialog hands them back to the
// quiz only when the dialog is closed with OK.
#include <QDialog>
#include <QPoint>

#include "settings/UpDown.h"

class QCheckBox;
class QFrame;
class QLabel;
class QPushButton;

namespace vz {

class QuizEngine;

class TOptionDlg : public QDialog {
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

  // Controls, named as in the form designer.
  QLabel* Label1;
  UpDown* UpDown1;
  QPushButton* BitBtn1;  // OK
  QPushButton* BitBtn2;  // Cancel
  QCheckBox* CheckBox1;
  QFrame* Shape1;
  QLabel* Label2;

 public slots:
  void UpDown1Click(vz::UpDownButton button);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void SetSeconds(long long seconds);
  bool fitted_ = false;
};

// Opens the dialog modally with its outer top-left corner at `topLeft`
// (screen coordinates), filled from quiz.NoSound and quiz.TimeLimit. On OK it
// stores both back and restarts the question's time (quiz.Ticks = 0); any
// other way of closing changes nothing. Returns whether OK was chosen. The
// caller stops and restarts its timer around the call.
bool ExecOptionDialog(QWidget* owner, QPoint topLeft, QuizEngine& quiz);

}  // namespace vz
