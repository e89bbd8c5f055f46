#include "gui/window/MainWindow.h"

#include <unistd.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QShowEvent>
#include <QWindow>
#include <filesystem>

#include "core/files/Error.h"
#include "core/settings/Settings.h"
#include "gui/dialogs/OptionForm.h"
#include "gui/dialogs/UnmarkedPrompt.h"
#include "gui/dialogs/WordForm.h"
#include "gui/kit/ErrorGuard.h"
#include "gui/kit/FixedWindow.h"
#include "gui/kit/Fonts.h"
#include "gui/kit/Glyphs.h"
#include "gui/kit/Modal.h"
#include "gui/kit/QtText.h"
#include "gui/stats/RecordKeeper.h"
#include "gui/window/AnswerEdit.h"
#include "gui/window/BoardSpeech.h"
#include "gui/window/BoardWidget.h"
#include "gui/window/MainMenu.h"
#include "gui/window/SessionBoxes.h"
#include "gui/window/SoundPlayer.h"

namespace vz {

TForm1::TForm1(QWidget* parent, std::string exeDir, std::string startFile, QuizClock clock)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                              Qt::WindowCloseButtonHint),
      quiz_(session_.List(), *this, std::move(clock)) {
  setWindowTitle(QStringLiteral("Z&Uプログラム"));
  setFont(UiFont(12));
  BuildControls();
  BuildMainMenu(this, {
                          .OpenClick = [this] { OpenClick(); },
                          .S1Click = [this] { quiz_.S1Click(); },
                          .N3Click = [this] { quiz_.N3Click(); },
                          .Exit1Click = [this] { Exit1Click(); },
                          .A1Click = [this] { A1Click(); },
                          .O1Click = [this] { O1Click(); },
                          .R1Click = [this] { R1Click(); },
                      });
  // Single border, not resizable: the whole window keeps the size of its
  // menu bar and client area.
  FixWindowSize(this);
  // The engine says when Timer1 must fire next: at the next change the board
  // shows, never more often than the 10 ms tick.
  Timer1.setSingleShot(true);
  Timer1.setInterval(10);
  Timer1.setTimerType(Qt::PreciseTimer);
  connect(&Timer1, &QTimer::timeout, this, Guarded([this] { quiz_.Timer1Timer(); }));
  SetErrorBoxParent(this);
  Guard([&] { FormCreate(std::move(exeDir), startFile); });
  UpdateBoardAccessibility();
}

TForm1::~TForm1() { SetErrorBoxParent(nullptr); }

void TForm1::BuildControls() {
  auto* client = new QWidget(this);
  client->setFixedSize(Board::kWidth, 154);
  // Button face below and around the board, its corners included.
  client->setBackgroundRole(QPalette::Button);
  client->setAutoFillBackground(true);
  setCentralWidget(client);
  boardWidget_ = new BoardWidget(board_, client);
  boardWidget_->setObjectName("Board");
  boardWidget_->move(0, 0);
  announcer_ = new Announcer(client);
  announcer_->setObjectName("Announcer");

  SkipBtn = new QPushButton(CrossGlyph(), QStringLiteral("次の問題へ"), client);
  SkipBtn->setObjectName("SkipBtn");
  SkipBtn->setGeometry(8, 120, 97, 25);
  AnsEdit = new AnswerEdit(client);
  AnsEdit->setObjectName("AnsEdit");
  AnsEdit->setGeometry(128, 122, 249, 24);
  AnsEdit->setFont(UiFont(16));
  AnsEdit->setAccessibleName(QStringLiteral("答え"));
  AnsBtn = new QPushButton(QuestionGlyph(), QStringLiteral("答えを見る"), client);
  AnsBtn->setObjectName("AnsBtn");
  AnsBtn->setGeometry(400, 120, 89, 25);
  for (QPushButton* b : {SkipBtn, AnsBtn}) {
    b->setIconSize(QSize(18, 18));
    // Enter presses a focused button, as Space does, as Linux desktop users
    // expect; outside a dialog this makes no button the default one.
    b->setAutoDefault(true);
  }
  setTabOrder(AnsBtn, AnsEdit);
  setTabOrder(AnsEdit, SkipBtn);

  connect(SkipBtn, &QPushButton::clicked, this, Guarded([this] { quiz_.SkipBtnClick(); }));
  connect(AnsBtn, &QPushButton::clicked, this, Guarded([this] { quiz_.AnsBtnClick(); }));
  connect(AnsEdit, &AnswerEdit::enterPressed, this, Guarded([this] { JudgmentEnter(); }));
}

void TForm1::FormCreate(std::string exeDir, const std::string& startFile) {
  where_ = FindLocations(exeDir.empty() ? codec::ToFsName(QCoreApplication::applicationDirPath()) + "/"
                                        : std::move(exeDir));
  const SettingsFile settings(where_.configDir);
  PrepareUserFolders(where_, settings.Path());
  Timer1.stop();
  quiz_.Reset();
  SetControlsEnabled(false);
  std::string settingsProblem;
  const Settings s = ReadSettings(settings, where_.dataDir, &settingsProblem);
  if (!settingsProblem.empty()) ShowWarning(codec::FromMessage(settingsProblem), BoxParent());
  quiz_.ApplyOptions({s.NoSound, s.TimeLimit});
  keepRecords_ = s.KeepRecords;
  records_ = new stats::RecordKeeper(this, where_.dataDir + records::kRecordsFile, keepRecords_);
  quiz_.SetObserver(records_->Observer());
  sound_ = std::make_unique<SoundPlayer>(where_.cueDirs);
  if (!startFile.empty() && OpenStartFile(startFile)) return;
  if (OpenInSession(s.WordDir + s.WordFile, WordSession::Source::Remembered)) quiz_.NextQuestion();
}

bool TForm1::OpenInSession(const std::string& path, WordSession::Source source) {
  UnmarkedPrompt prompt(BoxParent());
  SecondCopyBox secondCopy(BoxParent());
  const WordSession::OpenResult result = session_.Open(path, prompt, source, &secondCopy);
  TellOpened(BoxParent(), result, session_.Path());
  const bool adopted = result.opened == WordSession::Opened::Adopted;
  if (records_ && (adopted || result.opened == WordSession::Opened::Absent))
    records_->SetWordFile(session_.Path());
  return adopted;
}

bool TForm1::OpenStartFile(const std::string& file) {
  bool adopted = false;
  try {
    adopted = OpenInSession(file, WordSession::Source::StartFile);
  } catch (const Error& e) {
    ShowErrorBox(e.what());
    return false;
  }
  EnterDirOf(session_.Path());
  if (!adopted) return true;
  // The open dialog then starts from this file, as after a choice in it.
  OpenDialog1.Remember(session_.Path());
  quiz_.NextQuestion();
  return true;
}

void TForm1::FormDestroy() {
  Timer1.stop();
  const QuizOptions o = quiz_.Options();
  const Settings s{o.NoSound, o.TimeLimit, session_.Name(), session_.Dir(), keepRecords_};
  const SettingsFile settings(where_.configDir);
  const SettingsWriteResult settingsSaved = WriteSettings(settings, s);
  bool listSaved = false;
  Guard([&] {
    SaveWordList();
    listSaved = true;
  });
  if (!listSaved) {
    // The shutdown ends where the save failed: the list is never released,
    // so the leak report at exit counts the blocks it still holds.
    [[maybe_unused]] auto* kept = new WordList(std::move(session_.List()));
  }
  if (records_) records_->Close();
  if (settingsSaved.written == SettingsWritten::None) ShowErrorBox(settingsSaved.error);
  if (settingsSaved.written == SettingsWritten::AllButWordFile) {
    // The settings file was written; only this name could not go into it.
    ShowWarning(QStringLiteral("単語ファイル %1 の名前は改行を含むため、%2 に記録できません。"
                               "次回の起動では前回記録したファイルを開きます。")
                    .arg(codec::FromFsName(session_.Path()), codec::FromFsName(settings.Path())),
                BoxParent());
  }
  sound_.reset();
}

void TForm1::SaveWordList() {
  const WordList::SaveResult saved = session_.Save();
  if (records_) records_->WordFileSaved();
  TellSaved(BoxParent(), saved, session_.Path());
}

void TForm1::OpenClick() {
  if (const auto chosen = OpenDialog1.Choose(session_.Dir())) OpenWordFile(*chosen);
}

void TForm1::OpenWordFile(const std::string& chosen) {
  EnterDirOf(chosen);
  SaveWordList();
  // Only a file that could be read replaces the list and the location, so a
  // failed open leaves everything as it was.
  if (OpenInSession(chosen, WordSession::Source::Chosen)) quiz_.SkipBtnClick();
}

void TForm1::EnterDirOf(const std::string& path) {
  const std::string dir = std::filesystem::path(path).remove_filename().native();
  if (!dir.empty() && ::chdir(dir.c_str()) != 0) { /* keep the current directory */
  }
}

void TForm1::Exit1Click() { close(); }

template <class F>
void TForm1::WithTimerStopped(F&& showDialog) {
  quiz_.EnableTimer(false);
  struct Restart {
    TForm1* self;
    ~Restart() {
      if (self->quiz_.State().Running) self->quiz_.EnableTimer(true);
    }
  } restart{this};
  showDialog(centralWidget()->mapToGlobal(QPoint(0, 0)));
}

void TForm1::O1Click() {
  WithTimerStopped([&](QPoint origin) {
    if (const auto options = ExecOptionDialog(this, origin, quiz_.Options())) quiz_.ApplyOptions(*options);
  });
}

void TForm1::A1Click() {
  WithTimerStopped([&](QPoint origin) { ExecWordEditor(this, origin, session_.List()); });
}

void TForm1::R1Click() {
  WithTimerStopped([&](QPoint) {
    if (records_) records_->OpenWindow(session_.Path());
  });
}

void TForm1::JudgmentEnter() {
  // The typed text in the encoding of the question's word list, so that it
  // compares byte for byte with the answers.
  const QString text = AnsEdit->text();
  const codec::Encoding enc = quiz_.State().TextEncoding;
  if (auto bytes = codec::ToBytes(enc, text)) {
    quiz_.Judgment(*bytes);
  } else {
    quiz_.Judgment(codec::ToBytesLossy(enc, text), false);
  }
}

void TForm1::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  DropResizeHint(this);
  if (QWindow* w = windowHandle()) {
    w->removeEventFilter(this);
    w->installEventFilter(this);
  }
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  // Whenever the window is exposed (shown, restored, uncovered, or under an
  // input method's popup that closed) the board is drawn afresh, with what
  // the current question shows beside the quiz state: the cross and the
  // answer of a time-out stay until the user moves on.
  if (event->type() == QEvent::Expose && watched == windowHandle() && windowHandle()->isExposed()) {
    board_.SetDevicePixelRatio(devicePixelRatioF());
    Guard([&] {
      Repaint(board_.Redraw(quiz_));
      UpdateBoardAccessibility();
    });
  }
  return QMainWindow::eventFilter(watched, event);
}

void TForm1::Repaint(const QRect& area) {
  if (!area.isEmpty()) boardWidget_->update(area);
}

// Every drawing that can change what the board says (all but the time bar)
// brings its accessible texts up to date.
void TForm1::DrawBoard() {
  Repaint(board_.DrawBoard(quiz_));
  UpdateBoardAccessibility();
}
void TForm1::DrawCentered(int y, const std::string& text) {
  Repaint(board_.DrawCentered(y, text, quiz_.State().TextEncoding));
  UpdateBoardAccessibility();
  // Screen readers speak a new question, and the answer the user asked to
  // see, while the answer box keeps the focus.
  if (y == kQuestionRow) announcer_->Announce(boardWidget_->accessibleName());
  if (y == kAnswerRow && quiz_.State().AnsShown) announcer_->Announce(AnswerAnnouncement(quiz_.State()));
}
void TForm1::DrawTimeBar() {
  // Shown at once rather than through a posted update: the engine woke the
  // program for this frame, and this spares the event loop a round of its own.
  const QRect bar = board_.DrawTimeBar(quiz_);
  if (!bar.isEmpty()) boardWidget_->repaint(bar);
}
void TForm1::DrawHistory() {
  Repaint(board_.DrawHistory(quiz_));
  UpdateBoardAccessibility();
  // An entry just added (a judgement or a time-out) starts the slide.
  if (quiz_.State().ScrollOfs == kHistorySlide) announcer_->Announce(ResultAnnouncement(quiz_.State()));
}
void TForm1::DrawTimeoutCross() {
  Repaint(board_.DrawTimeoutCross(quiz_.State().QuesText, quiz_.State().TextEncoding));
}
void TForm1::DrawCorrectCircle() { Repaint(board_.DrawCorrectCircle()); }

void TForm1::UpdateBoardAccessibility() {
  if (boardWidget_) boardWidget_->SetSpoken(BoardName(quiz_.State()), BoardDescription(quiz_.State()));
}

void TForm1::SetControlsEnabled(bool enabled) {
  SkipBtn->setEnabled(enabled);
  AnsBtn->setEnabled(enabled);
  AnsEdit->setEnabled(enabled);
}

void TForm1::FocusAnswer() {
  AnsEdit->setFocus();
  // The quiz starts: after the answer box, screen readers speak the question.
  announcer_->Announce(boardWidget_->accessibleName());
}
void TForm1::ClearAnswer() { AnsEdit->clear(); }

void TForm1::SetTimerEnabled(bool enabled) {
  // Switched on, it waits for the engine's first WakeIn.
  if (!enabled) Timer1.stop();
}

void TForm1::WakeIn(int ms) {
  if (ms == kNoWake) {
    Timer1.stop();
  } else {
    Timer1.start(ms);
  }
}

void TForm1::PlayCue(const char* file) {
  if (sound_) sound_->Play(file);
}

void TForm1::ShowEndOfPass() {
  // No owner: the box is centred on the screen, and application-modal.
  ExecModal(*PlainMessageBox(QMessageBox::Information, QStringLiteral("情報"),
                             QStringLiteral("お疲れ様です。\n全ての単語が表示される状態に戻します。")));
}

}  // namespace vz
