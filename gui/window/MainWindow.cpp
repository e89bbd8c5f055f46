#include "gui/window/MainWindow.h"

#include <unistd.h>

#include <cstring>
#include <filesystem>

#include <QAccessible>
#include <QApplication>
#include <QFileDialog>
#include <QKeySequence>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QShowEvent>
#include <QWindow>

#include "core/files/Error.h"
#include "core/files/Paths.h"
#include "core/files/ReadFile.h"
#include "core/import/Import.h"
#include "core/settings/Settings.h"
#include "core/text/TextCut.h"
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
#include "gui/window/BoardWidget.h"
#include "gui/window/SoundPlayer.h"

namespace vz {
namespace {

// The open dialog gives names as text, in which a name that is not valid
// UTF-8 shows with U+FFFD and does not come back from it. Such a choice is
// found again as bytes among its directory's entries, when exactly one of
// them shows as that text. (The directory part must be valid UTF-8: Qt
// keeps no bytes of it either.)
std::string ChosenPath(const QString& chosen) {
  std::string path = codec::ToFsName(chosen);
  if (!chosen.contains(QChar::ReplacementCharacter)) return path;
  const std::string dir = DirPart(path);
  const QString name = chosen.mid(chosen.lastIndexOf(QLatin1Char('/')) + 1);
  std::string found;
  int matches = 0;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(dir.empty() ? "." : dir, ec)) {
    const std::string entry = e.path().filename().native();
    if (codec::FromFsName(entry) == name && ++matches == 1) found = dir + entry;
  }
  return matches == 1 ? found : path;
}

}  // namespace

TForm1::TForm1(QWidget* parent, std::string exeDir, std::string startFile)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                              Qt::WindowCloseButtonHint) {
  setWindowTitle(QStringLiteral("Z&Uプログラム"));
  setFont(UiFont(12));
  BuildControls();
  BuildMenu();
  // Single border, not resizable: the whole window keeps the size of its
  // menu bar and client area.
  FixWindowSize(this);
  // The engine says when Timer1 must fire next: at the next change the board
  // shows, never more often than the 10 ms tick.
  Timer1.setSingleShot(true);
  Timer1.setInterval(10);
  Timer1.setTimerType(Qt::PreciseTimer);
  connect(&Timer1, &QTimer::timeout, this, [this] { Guard([&] { quiz_.Timer1Timer(); }); });
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

  connect(SkipBtn, &QPushButton::clicked, this, [this] { Guard([&] { quiz_.SkipBtnClick(); }); });
  connect(AnsBtn, &QPushButton::clicked, this, [this] { Guard([&] { quiz_.AnsBtnClick(); }); });
  connect(AnsEdit, &AnswerEdit::enterPressed, this, [this] { Guard([&] { JudgmentEnter(); }); });
}

void TForm1::BuildMenu() {
  // Qt's own menu bar: inside the window, and not exported over D-Bus.
  menuBar()->setNativeMenuBar(false);
  auto add = [this](QMenu* menu, const char* name, const QString& text, QKeySequence key, auto handler) {
    QAction* a = menu->addAction(text);
    a->setObjectName(name);
    if (!key.isEmpty()) a->setShortcut(key);
    connect(a, &QAction::triggered, this, [this, handler] { Guard([&] { (this->*handler)(); }); });
    return a;
  };
  QMenu* file = menuBar()->addMenu(QStringLiteral("ファイル(&F)"));
  file->setObjectName("File1");
  add(file, "Open", QStringLiteral("別の問題を開く(&O)..."), QKeySequence("Ctrl+O"), &TForm1::OpenClick);
  file->addSeparator();
  QAction* s1 = file->addAction(QStringLiteral("開始(&P)"));
  s1->setObjectName("S1");
  s1->setShortcut(Qt::Key_F9);
  connect(s1, &QAction::triggered, this, [this] { Guard([&] { quiz_.S1Click(); }); });
  QAction* n3 = file->addAction(QStringLiteral("停止(&S)"));
  n3->setObjectName("N3");
  n3->setShortcut(Qt::Key_F8);
  connect(n3, &QAction::triggered, this, [this] { Guard([&] { quiz_.N3Click(); }); });
  file->addSeparator();
  add(file, "Exit1", QStringLiteral("終了(&X)"), QKeySequence(Qt::Key_Escape), &TForm1::Exit1Click);
  QMenu* edit = menuBar()->addMenu(QStringLiteral("編集(&E)"));
  edit->setObjectName("Edit2");
  add(edit, "A1", QStringLiteral("単語追加削除(&A)..."), QKeySequence("Ctrl+P"), &TForm1::A1Click);
  edit->addSeparator();
  // Ctrl+O belongs to the file command. Here it is shown, and read out by
  // screen readers, but bound only while the menu bar itself has the keyboard,
  // so it never competes with the file command's.
  QAction* o1 = add(edit, "O1", QStringLiteral("設定(&O)..."), QKeySequence("Ctrl+O"), &TForm1::O1Click);
  o1->setShortcutContext(Qt::WidgetShortcut);
  add(edit, "R1", QStringLiteral("学習の記録(&S)..."), QKeySequence("Ctrl+T"), &TForm1::R1Click);
}

void TForm1::FormCreate(std::string exeDir, const std::string& startFile) {
  where_ = FindLocations(exeDir.empty() ? codec::ToFsName(QCoreApplication::applicationDirPath()) + "/"
                                        : std::move(exeDir));
  const SettingsFile settings(where_.configDir);
  PrepareUserFolders(where_, settings.Path());
  Timer1.stop();
  quiz_.Reset();
  SetControlsEnabled(false);
  const Settings s = ReadSettings(settings, where_.dataDir);
  quiz_.ApplyOptions({s.NoSound, s.TimeLimit});
  wordFile_ = s.WordFile;
  wordDir_ = s.WordDir;
  keepRecords_ = s.KeepRecords;
  records_ = new stats::RecordKeeper(this, where_.dataDir + records::kRecordsFile, keepRecords_);
  quiz_.SetObserver(records_->Observer());
  sound_ = std::make_unique<SoundPlayer>(where_.cueDirs);
  if (!startFile.empty() && OpenStartFile(startFile)) return;
  const std::string path = WordPath();
  const FileStamp stamp = StampOf(path);
  if (!stamp.exists) {
    wordList_.BindAbsent(path);
    return;
  }
  std::error_code ec;
  if (!IsRegularFile(path) && std::filesystem::is_directory(path, ec)) {
    // A directory by that name is no word file: leave it alone, silently.
    try {
      wordList_.Load(path);
    } catch (const Error&) {
    }
    return;
  }
  WordList fresh;
  try {
    fresh.Load(path);
  } catch (const Error&) {
    wordList_.Disown(path);  // never written over: it could not be read
    throw;
  }
  std::string used = path;
  if (!AcceptUnmarked(used, fresh)) {
    wordList_.Disown(path);
    return;
  }
  AdoptWordFile(used, std::move(fresh));
  TellLoadProblem(used);
  quiz_.NextQuestion();
}

bool TForm1::AcceptUnmarked(std::string& path, WordList& fresh) {
  if (!import::LooksUnmarked(fresh)) return true;
  switch (import::AskAboutUnmarked(isVisible() ? this : nullptr, path)) {
    case import::UnmarkedChoice::AsIs:
      return true;
    case import::UnmarkedChoice::Cancel:
      return false;
    case import::UnmarkedChoice::Convert:
      break;
  }
  try {
    std::string converted = import::ConvertBeside(isVisible() ? this : nullptr, path);
    fresh.Load(converted);
    path = std::move(converted);
    return true;
  } catch (const Error& e) {
    ShowErrorBox(e.what());
    return false;
  }
}

void TForm1::TellLoadProblem(const std::string& path) {
  QString why;
  switch (wordList_.Problem()) {
    case WordList::LoadProblem::None:
      return;
    case WordList::LoadProblem::CutAtNul:
      why = QStringLiteral("途中に NUL 文字があり、そこから先を読み込めませんでした。");
      break;
    case WordList::LoadProblem::BrokenUtf16:
      why = QStringLiteral("UTF-16 として正しくない部分があり、元のとおりに書き戻せません。");
      break;
    case WordList::LoadProblem::UnknownEncoding:
      why = QStringLiteral("対応していない文字コード (UTF-32) です。");
      break;
  }
  const QString text =
      QStringLiteral("ファイル %1 は保存できません。%2\n解答の記録はこのファイルに保存されません。");
  ExecModal(*PlainMessageBox(QMessageBox::Warning, QString::fromUtf8(kAppTitle),
                             text.arg(codec::FromFsName(path), why), isVisible() ? this : nullptr));
}

void TForm1::FormDestroy() {
  Timer1.stop();
  const QuizOptions o = quiz_.Options();
  const Settings s{o.NoSound, o.TimeLimit, wordFile_, wordDir_, keepRecords_};
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
    [[maybe_unused]] auto* kept = new WordList(std::move(wordList_));
  }
  if (records_) records_->Close();
  if (settingsSaved.written == SettingsWritten::None) ShowErrorBox(settingsSaved.error);
  if (settingsSaved.written == SettingsWritten::AllButWordFile) {
    // The settings file was written; only this name could not go into it.
    Warn(QStringLiteral("単語ファイル %1 の名前は改行を含むため、%2 に記録できません。"
                        "次回の起動では前回記録したファイルを開きます。")
             .arg(codec::FromFsName(WordPath()), codec::FromFsName(settings.Path())));
  }
  sound_.reset();
}

void TForm1::SaveWordList() {
  const std::string path = WordPath();
  QString notice;
  const WordList::SaveResult saved = wordList_.Save(path);
  if (records_) records_->WordFileSaved();
  switch (saved) {
    case WordList::SaveResult::ChangedOnDisk:
      notice = QStringLiteral("ファイル %1 は別のプログラムによって変更されたため、上書きしませんでした。");
      break;
    case WordList::SaveResult::DeletedOnDisk:
      notice = QStringLiteral("ファイル %1 は削除されていたため、作成し直しませんでした。");
      break;
    default:
      return;
  }
  Warn(notice.arg(codec::FromFsName(path)));
}

void TForm1::Warn(const QString& text) {
  ExecModal(*PlainMessageBox(QMessageBox::Warning, QString::fromUtf8(kAppTitle), text,
                             isVisible() ? this : nullptr));
}

QFileDialog* TForm1::OpenDialog() {
  if (!OpenDialog1) {
    // One dialog for the whole run, so it remembers the last path and filter.
    OpenDialog1 = new QFileDialog(this);
    OpenDialog1->setFileMode(QFileDialog::AnyFile);
    OpenDialog1->setAcceptMode(QFileDialog::AcceptOpen);
    OpenDialog1->setNameFilters(
        {QStringLiteral("全てのファイル (*)"), QStringLiteral("テキストファイル(*.txt) (*.txt)")});
    OpenDialog1->setDirectory(codec::FromFsName(wordDir_));
  }
  return OpenDialog1;
}

void TForm1::OpenClick() {
  QFileDialog* dlg = OpenDialog();
  if (openedBefore_) dlg->selectFile(codec::FromFsName(lastChosen_));
  openedBefore_ = true;
  if (ExecModal(*dlg) != QDialog::Accepted || dlg->selectedFiles().isEmpty()) return;
  lastChosen_ = ChosenPath(dlg->selectedFiles().first());
  OpenWordFile(lastChosen_);
}

void TForm1::OpenWordFile(const std::string& chosen) {
  EnterDirOf(chosen);
  SaveWordList();
  // Read the new file aside; only a file that could be read replaces the
  // list and the location, so a failed open leaves everything as it was.
  WordList fresh;
  fresh.Load(chosen);
  std::string path = chosen;
  if (!AcceptUnmarked(path, fresh)) return;
  AdoptWordFile(path, std::move(fresh));
  TellLoadProblem(path);
  quiz_.SkipBtnClick();
}

void TForm1::EnterDirOf(const std::string& path) {
  // Sounds are looked for first in the directory of the chosen file.
  const std::string dir = DirPart(path);
  if (!dir.empty() && ::chdir(dir.c_str()) != 0) { /* keep the current directory */
  }
}

void TForm1::AdoptWordFile(const std::string& path, WordList&& fresh) {
  std::swap(wordList_, fresh);
  wordDir_ = DirPart(path);
  wordFile_ = NamePart(path);
  if (records_) records_->SetWordFile(path);
}

bool TForm1::OpenStartFile(std::string path) {
  WordList fresh;
  try {
    path = AbsolutePath(path);
    fresh.Load(path);
  } catch (const Error& e) {
    ShowErrorBox(e.what());
    return false;
  }
  EnterDirOf(path);
  if (!AcceptUnmarked(path, fresh)) {
    // An empty list, which never writes over the file it was not given.
    AdoptWordFile(path, WordList());
    wordList_.Disown(path);
    return true;
  }
  AdoptWordFile(path, std::move(fresh));
  // The open dialog then starts from this file, as after a choice in it.
  lastChosen_ = path;
  openedBefore_ = true;
  TellLoadProblem(path);
  quiz_.NextQuestion();
  return true;
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
  WithTimerStopped([&](QPoint origin) { ExecWordEditor(this, origin, wordList_); });
}

void TForm1::R1Click() {
  WithTimerStopped([&](QPoint) {
    if (records_) records_->OpenWindow(WordPath());
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
  // Whenever the window is exposed (shown, restored, uncovered) the board is
  // drawn afresh from the quiz state.
  if (event->type() == QEvent::Expose && watched == windowHandle() && windowHandle()->isExposed()) {
    board_.SetDevicePixelRatio(devicePixelRatioF());
    Guard([&] { DrawBoard(); });
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
  // Screen readers speak a new question while the answer box keeps the focus.
  if (y == kQuestionRow) announcer_->Announce(boardWidget_->accessibleName());
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
  if (quiz_.State().ScrollOfs == kHistorySlide) AnnounceResult();
}
void TForm1::DrawTimeoutCross() {
  Repaint(board_.DrawTimeoutCross(quiz_.State().QuesText, quiz_.State().TextEncoding));
}
void TForm1::DrawCorrectCircle() { Repaint(board_.DrawCorrectCircle()); }

// Assistive technology is told the start of a text, as much as anyone
// listens to: converting a line of megabytes on every draw would freeze the
// board.
QString TForm1::Told(const std::string& text) const {
  constexpr std::size_t kToldBytes = 4096;
  const codec::Encoding enc = quiz_.State().TextEncoding;
  return codec::FromBytes(enc, codec::Head(text, kToldBytes, enc));
}

QString TForm1::LastResult() const {
  // The entry keeps the encoding of the list it came from.
  const HistoryEntry& last = quiz_.State().History[6];
  const HistoryMarks& marks = MarksFor(last.encoding);
  auto typed = [&](const char* mark) {
    return codec::FromBytes(last.encoding, std::string_view(last.text).substr(std::strlen(mark)));
  };
  switch (last.kind) {
    case HistoryEntry::Kind::TimeOut:
      return QStringLiteral("時間切れ");
    case HistoryEntry::Kind::Wrong:
      return QStringLiteral("不正解: ") + typed(marks.wrong);
    case HistoryEntry::Kind::Correct:
      return QStringLiteral("正解: ") + typed(marks.correct);
    case HistoryEntry::Kind::None:
      break;
  }
  return {};
}

void TForm1::UpdateBoardAccessibility() {
  if (!boardWidget_) return;
  const QuizState& quiz = quiz_.State();
  const QString question = Told(quiz.QuesText);
  QStringList about;
  if (quiz.AnsShown) about << QStringLiteral("答え: ") + Told(quiz.AnsText);
  if (const QString result = LastResult(); !result.isEmpty()) about << result;
  const QString name = question.isEmpty() ? QStringLiteral("問題なし") : QStringLiteral("問題: ") + question;
  const QString description = about.join(QStringLiteral("、"));
  // Assistive technology hears of a change only when there is one.
  auto tell = [this](QAccessible::Event what) {
    QAccessibleEvent event(boardWidget_, what);
    (NotifyAccessibility ? NotifyAccessibility : &QAccessible::updateAccessibility)(&event);
  };
  if (boardWidget_->accessibleName() != name) {
    boardWidget_->setAccessibleName(name);
    tell(QAccessible::NameChanged);
  }
  if (boardWidget_->accessibleDescription() != description) {
    boardWidget_->setAccessibleDescription(description);
    tell(QAccessible::DescriptionChanged);
  }
}

void TForm1::AnnounceResult() {
  const QuizState& quiz = quiz_.State();
  QString text = LastResult();
  if (quiz.History[6].kind == HistoryEntry::Kind::TimeOut)
    text += QStringLiteral("、答え: ") + Told(quiz.AnsText);
  announcer_->Announce(text);
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
