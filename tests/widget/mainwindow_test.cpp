// The main window's start-up, commands, file switching and shutdown, run
// offscreen beside a scratch directory that stands in for the program's own.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAction>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPaintEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

#include "gui/kit/ErrorGuard.h"
#include "gui/kit/QtText.h"
#include "gui/window/MainWindow.h"
#include "support/Files.h"
#include "support/Modal.h"
#include "support/QuizAccess.h"
#include "support/Widgets.h"
#include "support/WordLines.h"

namespace vz {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using test::OnNextModal;

using test::Child;
using test::ReadBytes;
using test::WriteBytes;

class MainWindowTest : public ::testing::Test {
 protected:
  test::TempDir scratch{"vevez-main"};
  fs::path dir = scratch.path();
  std::string exeDir = scratch.dir();
};

TEST_F(MainWindowTest, StartsWithDefaultsWithoutSettingsOrWordFile) {
  TForm1 form(nullptr, exeDir);
  EXPECT_EQ(test::StateOf(form.Quiz()).TimeLimit, 1000);
  EXPECT_FALSE(test::StateOf(form.Quiz()).NoSound);
  EXPECT_EQ(form.WordFile(), "word.txt");
  EXPECT_EQ(form.WordDir(), exeDir);
  EXPECT_EQ(form.Words().Count(), 0);
  EXPECT_EQ(test::StateOf(form.Quiz()).QuesText, "");
  EXPECT_FALSE(form.Timer().isActive());
  EXPECT_FALSE(Child<QLineEdit>(&form, "AnsEdit")->isEnabled());
  EXPECT_FALSE(Child<QPushButton>(&form, "SkipBtn")->isEnabled());
  EXPECT_FALSE(Child<QPushButton>(&form, "AnsBtn")->isEnabled());
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Z&Uプログラム"));
  EXPECT_EQ(form.centralWidget()->size(), QSize(492, 154));
  // Not resizable: the whole window has one size, which a resize keeps.
  form.show();
  EXPECT_EQ(form.minimumSize(), form.maximumSize());
  const QSize size = form.size();
  form.resize(size + QSize(300, 200));
  EXPECT_EQ(form.size(), size);
  EXPECT_EQ(form.centralWidget()->size(), QSize(492, 154));
}

TEST_F(MainWindowTest, ReadsSettingsAndPicksTheFirstQuestion) {
  fs::create_directory(dir / "words");
  WriteBytes(dir / "words" / "w.txt", "1\x83\x43\x83\x8C,dog\r\n0\x83\x6C\x83\x52,cat\r\n");
  WriteBytes(dir / "kobeli.ini", "[SOFT]\r\nSPEED=500\r\nPLAYSOUND=N\r\nb4file=w.txt\r\nb4dir=" +
                                     (dir / "words").string() + "/\r\n");
  TForm1 form(nullptr, exeDir);
  EXPECT_EQ(test::StateOf(form.Quiz()).TimeLimit, 500);
  EXPECT_TRUE(test::StateOf(form.Quiz()).NoSound);
  EXPECT_EQ(form.Words().Count(), 2);
  EXPECT_EQ(test::StateOf(form.Quiz()).CurLine, 1);
  EXPECT_EQ(test::StateOf(form.Quiz()).QuesText, "\x83\x6C\x83\x52");
  EXPECT_EQ(test::StateOf(form.Quiz()).AnsText, "cat");
}

TEST_F(MainWindowTest, StartAndStopSwitchControlsAndTimer) {
  WriteBytes(dir / "word.txt", "0a,b\r\n");
  TForm1 form(nullptr, exeDir);
  form.show();
  QAction* start = Child<QAction>(&form, "S1");
  QAction* stop = Child<QAction>(&form, "N3");
  EXPECT_EQ(start->shortcut(), QKeySequence(Qt::Key_F9));
  EXPECT_EQ(stop->shortcut(), QKeySequence(Qt::Key_F8));
  start->trigger();
  EXPECT_TRUE(test::StateOf(form.Quiz()).Running);
  EXPECT_TRUE(form.Timer().isActive());
  EXPECT_EQ(form.Timer().interval(), 10);
  EXPECT_TRUE(Child<QLineEdit>(&form, "AnsEdit")->isEnabled());
  EXPECT_TRUE(Child<QPushButton>(&form, "SkipBtn")->isEnabled());
  // Enter presses a focused button as Space does, and each does its job:
  // the next question (its ticks from 0), the answer shown.
  QuizState& state = test::StateOf(form.Quiz());
  state.Ticks = 500;
  for (const char* name : {"SkipBtn", "AnsBtn"}) {
    auto* button = Child<QPushButton>(&form, name);
    QSignalSpy clicks(button, &QPushButton::clicked);
    button->setFocus();
    for (Qt::Key k : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space}) QTest::keyClick(button, k);
    EXPECT_EQ(clicks.count(), 3) << name;
  }
  EXPECT_LT(state.Ticks, 500);
  EXPECT_TRUE(state.AnsShown);
  stop->trigger();
  EXPECT_FALSE(test::StateOf(form.Quiz()).Running);
  EXPECT_FALSE(form.Timer().isActive());
  EXPECT_FALSE(Child<QLineEdit>(&form, "AnsEdit")->isEnabled());
  EXPECT_FALSE(Child<QPushButton>(&form, "AnsBtn")->isEnabled());
}

TEST_F(MainWindowTest, EnterInTheAnswerBoxJudgesWithAnyModifier) {
  WriteBytes(dir / "word.txt", "0q,right\r\n");
  WriteBytes(dir / "kobeli.ini", "[SOFT]\r\nPLAYSOUND=N\r\n");
  TForm1 form(nullptr, exeDir);
  form.show();
  Child<QAction>(&form, "S1")->trigger();
  auto* edit = Child<QLineEdit>(&form, "AnsEdit");
  QTest::keyClicks(edit, "wrong");
  QTest::keyClick(edit, Qt::Key_Return, Qt::ShiftModifier);
  EXPECT_EQ(test::StateOf(form.Quiz()).History[6].text, "\x81\x7E wrong");
  EXPECT_EQ(edit->text(), "");
  QTest::keyClicks(edit, "right");
  QTest::keyClick(edit, Qt::Key_Enter, Qt::ControlModifier | Qt::KeypadModifier);
  EXPECT_TRUE(test::StateOf(form.Quiz()).Answered);
  EXPECT_EQ(form.Words().Get(0), "1q,right");
  // A character code page 932 lacks never matches, and shows as the geta mark.
  test::StateOf(form.Quiz()).Answered = false;
  test::StateOf(form.Quiz()).AnsText = "?";
  edit->setText(QString::fromUtf8("\xF0\x9F\x98\x80"));  // an emoji
  QTest::keyClick(edit, Qt::Key_Return);
  EXPECT_FALSE(test::StateOf(form.Quiz()).Answered);
  EXPECT_EQ(test::StateOf(form.Quiz()).History[6].text, "\x81\x7E \x81\xAC");
}

TEST_F(MainWindowTest, TypedJapaneseIsJudgedInAUtf8List) {
  WriteBytes(dir / "word.txt", "0いぬ,犬;\uFF5E;が\r\n");
  WriteBytes(dir / "kobeli.ini", "[SOFT]\r\nPLAYSOUND=N\r\n");
  TForm1 form(nullptr, exeDir);
  form.show();
  ASSERT_EQ(test::StateOf(form.Quiz()).QuesText, "いぬ");
  Child<QAction>(&form, "S1")->trigger();
  auto* edit = Child<QLineEdit>(&form, "AnsEdit");
  // Only code page 932 maps the input methods' wave dash to U+FF5E, and
  // UTF-8 text is compared as it stands, without normalisation.
  for (const char* wrong : {"\u301C", "か\u3099"}) {
    edit->setText(QString::fromUtf8(wrong));
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(test::StateOf(form.Quiz()).History[6], HistoryEntry::Wrong(wrong, codec::Encoding::Utf8));
    EXPECT_EQ(test::StateOf(form.Quiz()).History[6].text, "× "s + wrong);
  }
  EXPECT_FALSE(test::StateOf(form.Quiz()).Answered);
  edit->setText(QStringLiteral("犬"));
  QTest::keyClick(edit, Qt::Key_Return);
  EXPECT_TRUE(test::StateOf(form.Quiz()).Answered);
  EXPECT_EQ(test::StateOf(form.Quiz()).History[6].text, "○ 犬");
  form.FormDestroy();
  EXPECT_EQ(ReadBytes(dir / "word.txt"), "1いぬ,犬;\uFF5E;が\r\n");
}

TEST_F(MainWindowTest, TheRightAnswerTypedIsRightInEveryEncodingAndSavedInIt) {
  const std::string utf16 = "\xFF\xFE\x30\0D0l0,\0\xAC\x72;\0L0\r\0\n\0"s;  // 0いぬ,犬;が
  const std::pair<std::string, std::string> cases[] = {
      {"0\xA4\xA4\xA4\xCC,\xB8\xA4;\xA4\xAC\r\n", "1\xA4\xA4\xA4\xCC,\xB8\xA4;\xA4\xAC\r\n"},  // EUC-JP
      {utf16, "\xFF\xFE\x31" + utf16.substr(3)},
      // No state mark on the line (a comment keeps the file from being
      // offered for import): the question follows the first character.
      {"ねいぬ,犬\r\n;c\r\n", "1いぬ,犬\r\n;c\r\n"},
  };
  for (const auto& [file, saved] : cases) {
    WriteBytes(dir / "word.txt", file);
    TForm1 form(nullptr, exeDir);
    ASSERT_EQ(codec::FromBytes(form.Words().TextEncoding(), test::StateOf(form.Quiz()).QuesText), "いぬ");
    Child<QAction>(&form, "S1")->trigger();
    Child<QLineEdit>(&form, "AnsEdit")->setText(QStringLiteral("犬"));
    QTest::keyClick(Child<QLineEdit>(&form, "AnsEdit"), Qt::Key_Return);
    const HistoryEntry& last = test::StateOf(form.Quiz()).History[6];
    EXPECT_EQ(codec::FromBytes(last.encoding, last.text), QStringLiteral("○ 犬"));
    form.FormDestroy();
    EXPECT_EQ(ReadBytes(dir / "word.txt"), saved);
  }
}

TEST_F(MainWindowTest, AFileThatCannotBeSavedBackIsToldOnceRightAfterItLoads) {
  for (const std::string& bytes : {"0a,b\r\n0c\0d\r\n"s, "\xFF\xFE\x30\0,\0\0\xD8"s}) {
    WriteBytes(dir / "word.txt", bytes);
    WriteBytes(dir / "other.txt", bytes);
    fs::remove(dir / "kobeli.ini");
    test::ShownBox atStart, atOpen;
    test::RecordNextBox(atStart);
    TForm1 form(nullptr, exeDir);
    EXPECT_EQ(atStart.format, Qt::PlainText);
    EXPECT_TRUE(atStart.text.contains(QString::fromStdString(exeDir + "word.txt")))
        << atStart.text.toStdString();
    test::RecordNextBox(atOpen);
    Guard([&] { form.OpenWordFile(exeDir + "other.txt"); });
    EXPECT_TRUE(atOpen.text.contains(QStringLiteral("other.txt"))) << atOpen.text.toStdString();
    form.FormDestroy();  // no box: the user was told
    EXPECT_EQ(ReadBytes(dir / "word.txt"), bytes);
    EXPECT_EQ(ReadBytes(dir / "other.txt"), bytes);
  }
}

TEST_F(MainWindowTest, ANameThatIsNotUtf8OpensAndIsRememberedByteForByte) {
  const std::string name = "bad\xff\xfe\x81.txt";
  WriteBytes(dir / name, "0a,b\r\n");
  WriteBytes(dir / "word.txt", "0c,d\r\n");
  {
    TForm1 form(nullptr, exeDir);
    OnNextModal<QFileDialog>([&](QFileDialog* d) {
      d->selectFile(codec::FromFsName(exeDir + name));
      static_cast<QDialog*>(d)->accept();
    });
    Guard([&] { form.OpenClick(); });
    EXPECT_EQ(form.WordFile(), name);
    form.FormDestroy();
  }
  EXPECT_NE(ReadBytes(dir / "kobeli.ini").find("b4file=" + name + "\r\n"), std::string::npos);
  {  // one window at a time holds the file
    TForm1 again(nullptr, exeDir);
    ASSERT_EQ(again.Words().Count(), 1);
    EXPECT_EQ(again.Words().Get(0), "0a,b");
    again.FormDestroy();
  }
  WriteBytes(dir / "kobeli.ini", "");
  TForm1 fromCommandLine(nullptr, exeDir, exeDir + name);
  EXPECT_EQ(fromCommandLine.WordFile(), name);
  fromCommandLine.FormDestroy();
}

TEST_F(MainWindowTest, CtrlOOpensTheWordFileDialogNeverTheOptions) {
  TForm1 form(nullptr, exeDir);
  form.show();
  QApplication::setActiveWindow(&form);
  Child<QAction>(&form, "S1")->trigger();
  QString seen;
  OnNextModal<QWidget>([&](QWidget* w) {
    seen = w->metaObject()->className();
    if (auto* d = qobject_cast<QDialog*>(w)) d->reject();
  });
  QTest::keyClick(Child<QLineEdit>(&form, "AnsEdit"), Qt::Key_O, Qt::ControlModifier);
  EXPECT_EQ(seen, "QFileDialog");
  // Also after the menu was used from the keyboard (Alt+E, O for the options,
  // closed with Esc), whatever holds the focus then.
  Child<QAction>(&form, "N3")->trigger();
  const struct {
    QKeyCombination key;
    const char* opens;
  } steps[] = {{Qt::ALT | Qt::Key_E, "vz::TOptionDlg"},
               {Qt::CTRL | Qt::Key_O, "QFileDialog"},
               {Qt::ALT | Qt::Key_E, "vz::TOptionDlg"},
               {Qt::CTRL | Qt::Key_P, "vz::TWordFormDlg"},
               {Qt::CTRL | Qt::Key_O, "QFileDialog"}};
  for (const auto& step : steps) {
    seen.clear();
    OnNextModal<QWidget>([&](QWidget* w) {
      seen = w->metaObject()->className();
      QTest::keyClick(w, Qt::Key_Escape);
    });
    // Keys go where a user's would: to the focus of the active window, once
    // the events of closing the last dialog have been handled.
    QCoreApplication::processEvents();
    QWidget* active = QApplication::activeWindow() ? QApplication::activeWindow() : &form;
    QTest::keyClick(active->focusWidget() ? active->focusWidget() : active, step.key.key(),
                    step.key.keyboardModifiers());
    if (QWidget* menu = QApplication::activePopupWidget()) QTest::keyClick(menu, Qt::Key_O);
    EXPECT_EQ(seen, step.opens) << step.opens;
  }
}

// A sampler reading the board after every wake the quiz asks for sees each
// tick's bar when it is due, at every limit (100 widths a question at 1 s),
// and each frame repaints the bar's rectangle only.
TEST_F(MainWindowTest, EveryTickOfTheBarIsShownInItsRectangleOnly) {
  struct PaintSpy : QObject {
    QRect painted;
    bool eventFilter(QObject*, QEvent* e) override {
      if (e->type() == QEvent::Paint) painted |= static_cast<QPaintEvent*>(e)->rect();
      return false;
    }
  } spy;
  WriteBytes(dir / "word.txt", "0q,a\r\n");
  for (const auto& [limit, shown] : {std::pair{100, 100}, {1000, 401}, {30, 30}}) {
    WriteBytes(dir / "kobeli.ini", "[SOFT]\r\nSPEED=" + std::to_string(limit) + "\r\nPLAYSOUND=N\r\n");
    std::chrono::nanoseconds now{};
    TForm1 form(nullptr, exeDir, {}, [&] { return now; });
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QWidget* board = Child<QWidget>(&form, "Board");
    board->installEventFilter(&spy);
    test::StateOf(form.Quiz()).ScrollOfs = 0;
    Child<QAction>(&form, "S1")->trigger();
    spy.painted = {};
    std::set<int> widths;
    for (int wake = 0; wake <= limit && !form.Quiz().State().Answered; ++wake) {
      EXPECT_TRUE(wake == 0 || QRect(46, 90, 400, 16).contains(spy.painted)) << limit << ": " << wake;
      const QImage row = board->grab(QRect(46, 97, 400, 1)).toImage();
      int width = 0;
      while (width < row.width() && row.pixelColor(width, 0) != Qt::white) ++width;
      EXPECT_EQ(width, form.Quiz().TimeBar().width) << limit << " at " << form.Quiz().State().Ticks;
      widths.insert(width);
      spy.painted = {};
      now += std::chrono::milliseconds(form.Timer().interval());
      form.Quiz().Timer1Timer();
    }
    EXPECT_EQ(widths.size(), std::size_t(shown)) << limit;
  }
}

TEST_F(MainWindowTest, UnreadableChoiceShowsTheOpenErrorAndSwitchesNothing) {
  WriteBytes(dir / "word.txt", "0a,b\r\n");
  const fs::path fifo = dir / "pipe.txt";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  TForm1 form(nullptr, exeDir);
  form.show();
  QString error, caption;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  OnNextModal<QMessageBox>([&](QMessageBox* mb) {
    error = mb->text();
    caption = mb->windowTitle();
    icon = mb->icon();
    mb->accept();
  });
  // What the menu command runs once the dialog has returned the choice.
  Guard([&] { form.OpenWordFile(fifo.string()); });
  EXPECT_EQ(error, QString::fromStdString("ファイル " + fifo.string() + " は開けません."));
  EXPECT_EQ(caption, QStringLiteral("VeveZプログラム"));
  EXPECT_EQ(icon, QMessageBox::Critical);
  EXPECT_EQ(form.WordDir(), exeDir);
  EXPECT_EQ(form.WordFile(), "word.txt");
  ASSERT_EQ(form.Words().Count(), 1);
  EXPECT_EQ(form.Words().Get(0), "0a,b");
  form.FormDestroy();
  EXPECT_EQ(ReadBytes(dir / "word.txt"), "0a,b\r\n");
  EXPECT_NE(ReadBytes(dir / "kobeli.ini").find("b4file=word.txt\r\n"), std::string::npos);
}

TEST_F(MainWindowTest, OpeningAnotherFileSavesTheOldOneAndAsksFromTheNew) {
  WriteBytes(dir / "word.txt", "0a,b\r\n");
  fs::create_directory(dir / "other");
  WriteBytes(dir / "other" / "new.txt", "0x,y\r\n");
  TForm1 form(nullptr, exeDir);
  form.show();
  form.Words().MarkAnswered(0);
  test::StateOf(form.Quiz()).Ticks = 55;
  // What the menu command runs once the dialog has returned the choice.
  form.OpenWordFile((dir / "other" / "new.txt").string());
  EXPECT_EQ(ReadBytes(dir / "word.txt"), "1a,b\r\n");
  EXPECT_EQ(form.WordDir(), (dir / "other").string() + "/");
  EXPECT_EQ(form.WordFile(), "new.txt");
  EXPECT_EQ(test::StateOf(form.Quiz()).QuesText, "x");
  EXPECT_EQ(test::StateOf(form.Quiz()).Ticks, 0);
  // Sounds are now looked for first beside the chosen file.
  EXPECT_EQ(fs::current_path(), dir / "other");
  fs::current_path("/");
}

TEST_F(MainWindowTest, DialogsStopTheTimerAndRestartItOnlyWhileRunning) {
  WriteBytes(dir / "word.txt", "0a,b\r\n");
  TForm1 form(nullptr, exeDir);
  form.show();
  for (const char* item : {"O1", "A1"}) {
    for (bool running : {false, true}) {
      Child<QAction>(&form, running ? "S1" : "N3")->trigger();
      bool timerDuringDialog = true;
      QPoint dialogAt;
      OnNextModal<QDialog>([&](QDialog* d) {
        timerDuringDialog = form.Timer().isActive();
        dialogAt = d->frameGeometry().topLeft();
        d->reject();
      });
      Child<QAction>(&form, item)->trigger();
      EXPECT_FALSE(timerDuringDialog) << item;
      EXPECT_EQ(dialogAt, form.centralWidget()->mapToGlobal(QPoint(0, 0))) << item;
      EXPECT_EQ(form.Timer().isActive(), running) << item << " running=" << running;
    }
  }
}

TEST_F(MainWindowTest, BoxesShowFileNamesAsPlainTextNeverAsMarkup) {
  const std::string name = "<h1><font color=green>ALL OK. <!--.txt";
  WriteBytes(dir / name, "0a,b\r\n");
  WriteBytes(dir / "kobeli.ini", "[SOFT]\r\nb4file=" + name + "\r\n");
  TForm1 form(nullptr, exeDir);
  ASSERT_EQ(form.Words().Count(), 1);
  test::ShownBox openError, endOfPass, changed;
  test::RecordNextBox(openError);
  Guard([&] { form.OpenWordFile(exeDir + "<b>gone</b>.txt"); });
  test::RecordNextBox(endOfPass);
  form.ShowEndOfPass();
  WriteBytes(dir / name, "0changed,b\r\n");
  test::RecordNextBox(changed);
  form.FormDestroy();
  EXPECT_EQ(openError.format, Qt::PlainText);
  EXPECT_TRUE(openError.text.contains(QString::fromStdString(exeDir + "<b>gone</b>.txt")))
      << openError.text.toStdString();
  EXPECT_EQ(endOfPass.format, Qt::PlainText);
  EXPECT_EQ(endOfPass.title, QStringLiteral("情報"));
  EXPECT_EQ(changed.format, Qt::PlainText);
  EXPECT_TRUE(changed.text.contains(QString::fromStdString(name))) << changed.text.toStdString();
}

TEST_F(MainWindowTest, ShutdownWritesSettingsThenTheWordList) {
  WriteBytes(dir / "word.txt", "0a,b\r\n");
  {
    TForm1 form(nullptr, exeDir);
    test::StateOf(form.Quiz()).NoSound = true;
    test::StateOf(form.Quiz()).TimeLimit = 700;
    form.Words().MarkAnswered(0);
    form.FormDestroy();
  }
  EXPECT_EQ(ReadBytes(dir / "kobeli.ini"), "[SOFT]\r\nSPEED=700\r\nPLAYSOUND=N\r\nb4file=word.txt\r\nb4dir=" +
                                               exeDir + "\r\n[RECORDS]\r\nKEEP=Y\r\n");
  EXPECT_EQ(ReadBytes(dir / "word.txt"), "1a,b\r\n");
}

// A remembered word file that cannot be read is reported once, and the
// shutdown neither writes over it nor reports it again.
TEST_F(MainWindowTest, AWordFileUnreadableAtStartUpIsNeverWrittenOver) {
  ASSERT_EQ(::mkfifo((dir / "word.txt").c_str(), 0600), 0);
  int boxes = 0;
  auto count = [&](QMessageBox* box) {
    ++boxes;
    box->accept();
  };
  OnNextModal<QMessageBox>(count);
  TForm1 form(nullptr, exeDir);
  OnNextModal<QMessageBox>(count, 0);
  form.FormDestroy();
  QTest::qWait(30);
  EXPECT_EQ(boxes, 1);
  EXPECT_TRUE(S_ISFIFO(test::ModeOf(dir / "word.txt")));
}

// A file without one state mark is never quizzed silently: the box converts
// it to a new word file beside it and opens that, uses it as it is, or leaves
// it (then the file is never written). A marked file shows no box.
TEST_F(MainWindowTest, AFileWithoutStateMarksAsksBeforeItIsQuizzed) {
  const struct {
    const char* content;
    const char* button;  // nullptr: no box may come
    bool atStartUp;      // else opened while word.txt is the list
    const char* file;    // the word file afterwards
    test::Lines lines;
    std::string saved = {};  // notes.txt after the shutdown, when it is written
  } cases[] = {
      {"ネコ,cat\n", "ConvertBtn", true, "notes-vevez-2.txt", {"0\x83l\x83R,cat"}},
      {"ネコ,cat\n", "ConvertBtn", false, "notes-vevez-2.txt", {"0\x83l\x83R,cat"}},
      {"ネコ,cat\n", "AsIsBtn", false, "notes.txt", {"ネコ,cat"}, "ネコ,cat\r\n"},
      {"ネコ,cat\n", "CancelBtn", true, "notes.txt", {}},
      {"ネコ,cat\n", "Esc", false, "word.txt", {"0a,b"}},
      {"\n;note\nネコ,cat\n",
       nullptr,
       false,
       "notes.txt",
       {"", ";note", "ネコ,cat"},
       "\r\n;note\r\nネコ,cat\r\n"},
  };
  WriteBytes(dir / "notes-vevez.txt", "0taken,already\r\n");
  for (const auto& c : cases) {
    WriteBytes(dir / "word.txt", "0a,b\r\n");
    WriteBytes(dir / "notes.txt", c.content);
    fs::remove(dir / "notes-vevez-2.txt");
    fs::remove(dir / "kobeli.ini");
    bool asked = false;
    OnNextModal<QMessageBox>(
        [&](QMessageBox* box) {
          asked = true;
          EXPECT_EQ(box->buttons().size(), 3);  // convert, as it is, cancel: no other
          if (c.button && std::string_view(c.button) == "Esc") return QTest::keyClick(box, Qt::Key_Escape);
          Child<QPushButton>(box, c.button ? c.button : "CancelBtn")->click();
        },
        c.button ? 500 : 0);
    {
      TForm1 form(nullptr, exeDir, c.atStartUp ? (dir / "notes.txt").string() : std::string());
      if (!c.atStartUp) form.OpenWordFile((dir / "notes.txt").string());
      QTest::qWait(30);
      EXPECT_EQ(asked, c.button != nullptr) << c.button;
      EXPECT_EQ(form.WordFile(), c.file) << c.button;
      EXPECT_EQ(test::LinesOf(form.Words()), c.lines) << c.button;
      form.FormDestroy();
    }
    EXPECT_EQ(ReadBytes(dir / "notes.txt"), c.saved.empty() ? c.content : c.saved) << c.button;
  }
  EXPECT_EQ(ReadBytes(dir / "notes-vevez.txt"), "0taken,already\r\n");
  fs::current_path("/");
}

}  // namespace
}  // namespace vz
