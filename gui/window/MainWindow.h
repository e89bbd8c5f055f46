#pragma once
// The main window: menu, quiz board, answer box and buttons. It holds the
// word-file session and the quiz engine, runs the start-up and shutdown
// sequences, and carries out for the engine what it asks of the screen, the
// timer and the speakers.
#include <QMainWindow>
#include <QRect>
#include <QTimer>
#include <memory>
#include <string>

#include "core/files/Locations.h"
#include "core/quiz/QuizEngine.h"
#include "core/quiz/QuizView.h"
#include "core/session/WordSession.h"
#include "gui/window/Board.h"
#include "gui/window/WordFileDialog.h"

class QPushButton;

namespace vz {

class Announcer;
class AnswerEdit;
class BoardWidget;
class SoundPlayer;
namespace stats {
class RecordKeeper;
}

class TForm1 : public QMainWindow, public QuizView {
  Q_OBJECT
 public:
  // `exeDir` stands in for the executable's directory (tests run the window
  // beside their own files); empty means the real one. A non-empty
  // `startFile` is opened instead of the remembered word file, as if chosen
  // in the open dialog; if it cannot be read, the open error is shown and the
  // remembered file is used. The quiz counts its ticks on `clock` (tests
  // pass one they move by hand).
  explicit TForm1(QWidget* parent = nullptr, std::string exeDir = {}, std::string startFile = {},
                  QuizClock clock = SteadyNow);
  ~TForm1() override;

  // The shutdown sequence; the program runs it once the event loop has ended.
  void FormDestroy();

  // Exposed for tests.
  QuizEngine& Quiz() { return quiz_; }
  WordList& Words() { return session_.List(); }
  std::string WordDir() const { return session_.Dir(); }
  std::string WordFile() const { return session_.Name(); }
  const Locations& Where() const { return where_; }
  QTimer& Timer() { return Timer1; }

  // Menu and button handlers.
  void OpenClick();
  // Switches to the word file `chosen` (file-system bytes): saves the current
  // list, reads the new file, and asks its first question. A file that cannot
  // be read raises the open error and switches nothing.
  void OpenWordFile(const std::string& chosen);
  void Exit1Click();
  void A1Click();
  void O1Click();
  void R1Click();  // 編集 > 学習の記録
  void JudgmentEnter();

  // QuizView
  void DrawBoard() override;
  void DrawCentered(int y, const std::string& text) override;
  void DrawTimeBar() override;
  void DrawHistory() override;
  void DrawTimeoutCross() override;
  void DrawCorrectCircle() override;
  void SetControlsEnabled(bool enabled) override;
  void FocusAnswer() override;
  void ClearAnswer() override;
  void SetTimerEnabled(bool enabled) override;
  void WakeIn(int ms) override;
  void PlayCue(const char* file) override;
  void ShowEndOfPass() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void BuildControls();
  void FormCreate(std::string exeDir, const std::string& startFile);
  // Opens `path` in the session, asking about an unmarked file in a box, and
  // tells the user what became of it; true when the file was adopted.
  bool OpenInSession(const std::string& path, WordSession::Source source);
  // The file named on the command line; false when it could not be read
  // (the open error has been shown).
  bool OpenStartFile(const std::string& file);
  // Saves the list over its file, telling the user when it was left alone.
  void SaveWordList();
  // Makes the directory of `path` the current one, as a choice in the open
  // dialog does: sounds are looked for there first.
  static void EnterDirOf(const std::string& path);
  // Tells assistive technology what the board shows.
  void UpdateBoardAccessibility();
  // The owner of boxes: the window while it is shown, else none (centred).
  QWidget* BoxParent() { return isVisible() ? this : nullptr; }
  // Shows `area` of the board.
  void Repaint(const QRect& area);
  // Runs a modal dialog with the quiz timer stopped, and starts the timer
  // again afterwards only while the quiz runs.
  template <class F>
  void WithTimerStopped(F&& showDialog);

  Locations where_;
  WordSession session_;
  QuizEngine quiz_;
  Board board_;
  std::unique_ptr<SoundPlayer> sound_;
  stats::RecordKeeper* records_ = nullptr;
  bool keepRecords_ = true;

  QTimer Timer1;
  BoardWidget* boardWidget_ = nullptr;
  Announcer* announcer_ = nullptr;
  QPushButton* SkipBtn = nullptr;
  AnswerEdit* AnsEdit = nullptr;
  QPushButton* AnsBtn = nullptr;
  WordFileDialog OpenDialog1{this};
};

}  // namespace vz
