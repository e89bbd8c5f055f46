#pragma once
// The main window: menu, quiz board, answer box and buttons. It owns the word
// list and the quiz engine, runs the start-up and shutdown sequences, and
// carries out for the engine what it asks of the screen, the timer and the
// speakers.
#include <QMainWindow>
#include <QRect>
#include <QTimer>
#include <memory>
#include <string>

#include "core/files/Locations.h"
#include "core/quiz/QuizEngine.h"
#include "core/quiz/QuizView.h"
#include "core/wordlist/WordList.h"
#include "gui/window/Board.h"

class QAccessibleEvent;
class QAction;
class QFileDialog;
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
  // remembered file is used.
  explicit TForm1(QWidget* parent = nullptr, std::string exeDir = {}, std::string startFile = {});
  ~TForm1() override;

  // The shutdown sequence; the program runs it once the event loop has ended.
  void FormDestroy();

  // Exposed for tests.
  QuizEngine& Quiz() { return quiz_; }
  WordList& Words() { return wordList_; }
  const std::string& WordDir() const { return wordDir_; }
  const std::string& WordFile() const { return wordFile_; }
  const Locations& Where() const { return where_; }
  QTimer& Timer() { return Timer1; }
  QFileDialog* OpenDialog();
  // Where the board's accessibility change events go: Qt's dispatch to
  // assistive technology, which drops them while none is listening. Tests
  // listen here.
  static inline void (*NotifyAccessibility)(QAccessibleEvent* event) = nullptr;

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
  void BuildMenu();
  void FormCreate(std::string exeDir, const std::string& startFile);
  // Makes `path` (file-system bytes) the current word file with the lines
  // `fresh` read from it.
  void AdoptWordFile(const std::string& path, WordList&& fresh);
  // Makes the directory of `path` the current one, as a choice in the open
  // dialog does.
  static void EnterDirOf(const std::string& path);
  bool OpenStartFile(std::string path);
  // A loaded file without one state mark is no word file yet: asks whether to
  // convert it (then `path` and `fresh` become the new word file), use it as
  // it is, or leave it (false).
  bool AcceptUnmarked(std::string& path, WordList& fresh);
  // Tells assistive technology what the board shows: the question as the
  // board's name; the answer when shown and the last result as its
  // description.
  void UpdateBoardAccessibility();
  // The start of a word-list text, as Qt text.
  QString Told(const std::string& text) const;
  // The newest history entry as words: "正解: ...", "不正解: ...", "時間切れ", or
  // empty.
  QString LastResult() const;
  // Announces the newest history entry (with the answer after a time-out).
  void AnnounceResult();
  std::string WordPath() const { return wordDir_ + wordFile_; }
  void SaveWordList();
  // Tells the user, right after a load, that the file can never be saved
  // back (WordList::Problem), so no progress is lost without a word.
  void TellLoadProblem(const std::string& path);
  // A warning box over the window while it is shown.
  void Warn(const QString& text);
  // Shows `area` of the board.
  void Repaint(const QRect& area);
  // Runs a modal dialog with the quiz timer stopped, and starts the timer
  // again afterwards only while the quiz runs.
  template <class F>
  void WithTimerStopped(F&& showDialog);

  Locations where_;
  std::string wordFile_;
  std::string wordDir_;
  WordList wordList_;
  QuizEngine quiz_{wordList_, *this};
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
  QFileDialog* OpenDialog1 = nullptr;
  bool openedBefore_ = false;
  std::string lastChosen_;
};

}  // namespace vz
