// The program as a desktop application: its command line, Qt's texts in
// Japanese, what assistive technology reads from the window, typing through
// an input method, and the settings-write error.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QAccessible>
#include <QAction>
#include <QDialogButtonBox>
#include <QExposeEvent>
#include <QFileDialog>
#include <QInputMethodEvent>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "gui/kit/ErrorGuard.h"
#include "gui/kit/Modal.h"
#include "gui/window/AnswerEdit.h"
#include "gui/window/BoardWidget.h"
#include "gui/window/CommandLine.h"
#include "gui/window/Desktop.h"
#include "gui/window/MainWindow.h"
#include "support/Files.h"
#include "support/Modal.h"
#include "support/QuizAccess.h"
#include "support/Widgets.h"

namespace vz {
namespace {

namespace fs = std::filesystem;
using test::Child;
using test::OnNextModal;
using test::ReadBytes;
using test::WriteBytes;

CommandLine Parse(std::vector<const char*> args) {
  args.insert(args.begin(), "vevez");
  return ParseCommandLine(static_cast<int>(args.size()), args.data());
}

TEST(CommandLineTest, FileHelpVersionAndUsageErrors) {
  EXPECT_FALSE(Parse({}).exitCode);
  EXPECT_EQ(Parse({}).file, "");
  const CommandLine file = Parse({"-platform", "xcb", "単語.txt"});
  EXPECT_FALSE(file.exitCode);
  EXPECT_EQ(file.file, "単語.txt");
  EXPECT_EQ(Parse({"--", "-odd.txt"}).file, "-odd.txt");
  EXPECT_EQ(Parse({"bad\xff\xfe\x81.txt"}).file, "bad\xff\xfe\x81.txt");  // a name that is not UTF-8
  for (const char* arg : {"--help", "-h"}) {
    const CommandLine help = Parse({arg});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.text.find("vevez [オプション] [ファイル]"), std::string::npos);
  }
  EXPECT_EQ(Parse({"--version"}).exitCode, 0);
  EXPECT_EQ(Parse({"--version"}).text, "vevez " VEVEZ_VERSION "\n");
  // Qt's own options, each left for QApplication, whatever the file's place.
  for (const char* qt : {"platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
                         "qwindowicon", "qwindowtitle", "session", "display", "geometry", "style",
                         "stylesheet", "name", "title", "visual", "qmljsdebugger"}) {
    const std::string option = "-" + std::string(qt);
    EXPECT_EQ(Parse({option.c_str(), "v", "f.txt"}).file, "f.txt") << qt;
  }
  for (const char* flag : {"-reverse", "-widgetcount", "-nograb", "-dograb", "-sync"}) {
    EXPECT_EQ(Parse({flag, "f.txt"}).file, "f.txt") << flag;
  }
  for (std::vector<const char*> bad :
       {std::vector<const char*>{"--bogus"}, {"a.txt", "b.txt"}, {"-platform"}}) {
    const CommandLine usage = Parse(bad);
    EXPECT_EQ(usage.exitCode, 2) << bad[0];
    EXPECT_NE(usage.text.find("使い方"), std::string::npos);
    EXPECT_EQ(usage.text.find("Unknown"), std::string::npos) << usage.text;  // Qt's texts too
    EXPECT_EQ(usage.text.find("Missing"), std::string::npos) << usage.text;
  }
  // Unknown options are named as typed.
  for (const char* typed : {"--bogus", "-zz", "--odd=1"}) {
    EXPECT_NE(
        Parse({typed}).text.find("'" + std::string(typed).substr(0, std::string(typed).find('=')) + "'"),
        std::string::npos)
        << Parse({typed}).text;
  }
}

// The error box keeps the system's first line exactly, its full stop
// included, and a reason on the lines after it.
TEST(ErrorBoxTextTest, FullStopEndsTheFirstLine) {
  const struct {
    const char* message;
    const char* shown;
  } cases[] = {
      {"ファイル a は開けません", "ファイル a は開けません."},
      {"リストのインデックスが範囲を超えています (3)", "リストのインデックスが範囲を超えています (3)"},
      {"ファイル a を作成できません\n読み取り専用のファイルです.",
       "ファイル a を作成できません.\n読み取り専用のファイルです."},
      {"a (1)\nなぜ", "a (1)\nなぜ"},
      {"", ""},
      {"\nなぜ", "\nなぜ"}};
  for (const auto& c : cases) EXPECT_EQ(ErrorBoxText(c.message).toStdString(), c.shown) << c.message;
}

// Without a display the program says what is missing instead of letting Qt
// abort; a platform or display the user chose is left to Qt.
TEST(MissingDisplayTest, NamesWhatIsMissingUnlessOneAnswersOrTheUserChose) {
  test::TempDir scratch{"vevez-wl"};
  const std::string listening = scratch.dir() + "wl";
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", listening.c_str());
  ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(fd, 4), 0);
  const struct {
    const char* platform;
    const char* wayland;
    const char* arg;
    bool missing;
  } cases[] = {{"wayland;xcb", "/nonexistent/wl", "", true},
               {"xcb", "", "", true},
               {"wayland-egl:opt", "/nonexistent/wl", "", true},
               {"wayland;xcb", listening.c_str(), "", false},
               {"offscreen", "/nonexistent/wl", "", false},
               {"xcb", "", "-platform", false},
               {"xcb", "", "-display", false}};
  const QByteArray platform = qgetenv("QT_QPA_PLATFORM"), display = qgetenv("DISPLAY");
  qunsetenv("DISPLAY");
  for (const auto& c : cases) {
    qputenv("QT_QPA_PLATFORM", c.platform);
    qputenv("WAYLAND_DISPLAY", c.wayland);
    const char* argv[] = {"vevez", "x", c.arg};  // the choice last: every argument is looked at
    const std::string message = MissingDisplayMessage(3, argv);
    EXPECT_EQ(message.find("X サーバー (DISPLAY) にも Wayland コンポジター") != std::string::npos, c.missing)
        << c.platform << " " << c.wayland << " " << c.arg;
  }
  qputenv("QT_QPA_PLATFORM", platform);
  qputenv("DISPLAY", display);
  qunsetenv("WAYLAND_DISPLAY");
  ::close(fd);
}

// A shutdown closes the open boxes, innermost first, with Rejected, leaves
// a box closed before alone and shows none after it (its text goes to
// standard error). In a process of its own:
// a shutdown cannot be taken back.
[[noreturn]] void ShutdownWithTwoBoxesOpenThenOneMore() {
  auto box = [](const char* text) { return PlainMessageBox(QMessageBox::Information, "t", text); };
  const auto earlier = box("earlier"), outer = box("outer"), inner = box("inner"), after = box("after");
  std::string closed;
  for (QMessageBox* b : {earlier.get(), outer.get(), inner.get()}) {
    QObject::connect(b, &QDialog::finished, [&closed, b] { closed += b->text().toStdString() + " "; });
  }
  OnNextModal<QMessageBox>([](QMessageBox* b) { b->accept(); });
  ExecModal(*earlier);
  OnNextModal<QMessageBox>([&](QMessageBox*) {
    OnNextModal<QMessageBox>([](QMessageBox*) { RequestShutdown(); });
    closed += std::to_string(ExecModal(*inner)) + " ";
  });
  closed += std::to_string(ExecModal(*outer)) + " ";
  OnNextModal<QMessageBox>([](QMessageBox* b) { b->accept(); });
  std::fprintf(stderr, "%s%d\n", closed.c_str(), ExecModal(*after));
  std::_Exit(0);
}

TEST(ExecModalDeathTest, ShutdownRejectsTheOpenBoxesAndShowsNoMore) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(ShutdownWithTwoBoxesOpenThenOneMore(), ::testing::ExitedWithCode(0),
              "after\nearlier inner outer 0 0 0\n");
}

TEST(TranslationTest, QtsOwnTextsAreJapaneseAndTheIconLoads) {
  ASSERT_TRUE(InstallJapaneseTranslations());
  QMessageBox box(QMessageBox::Information, "t", "x", QMessageBox::Ok | QMessageBox::Cancel);
  EXPECT_EQ(box.button(QMessageBox::Cancel)->text(), QStringLiteral("キャンセル"));
  QFileDialog dialog;
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  auto* buttons = dialog.findChild<QDialogButtonBox*>();
  ASSERT_NE(buttons, nullptr);
  EXPECT_EQ(buttons->button(QDialogButtonBox::Open)->text(), QStringLiteral("開く(&O)"));
  // The window's icon comes from the SVG, through Qt's SVG plug-in.
  EXPECT_FALSE(AppIcon().pixmap(48).isNull());
}

class DesktopWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // "0ネコ,ねこ" in code page 932; no sounds.
    WriteBytes(dir / "word.txt", kWords);
    WriteBytes(dir / "kobeli.ini", "[SOFT]\r\nPLAYSOUND=N\r\n");
  }
  static constexpr const char* kWords = "0\x83\x6C\x83\x52,\x82\xCB\x82\xB1\r\n";
  test::TempDir scratch{"vevez-desk"};
  fs::path dir = scratch.path();
  std::string exeDir = scratch.dir();
};

QString AccText(QObject* o, QAccessible::Text t) { return QAccessible::queryAccessibleInterface(o)->text(t); }

TEST_F(DesktopWindowTest, BoardTellsAssistiveTechnologyQuestionAnswerAndResult) {
  static std::vector<std::pair<QAccessible::Event, QObject*>> events;
  events.clear();
  BoardWidget::NotifyAccessibility = [](QAccessibleEvent* e) { events.emplace_back(e->type(), e->object()); };
  TForm1 form(nullptr, exeDir);
  form.show();
  auto* board = form.centralWidget()->childAt(10, 10);
  ASSERT_NE(board, nullptr);
  EXPECT_EQ(AccText(board, QAccessible::Name), QStringLiteral("問題: ネコ"));
  EXPECT_EQ(AccText(board, QAccessible::Description), QString());
  events.clear();
  auto changed = [&](QAccessible::Event type) {
    return std::count(events.begin(), events.end(), std::make_pair(type, static_cast<QObject*>(board)));
  };

  Child<QAction>(&form, "S1")->trigger();
  auto* edit = Child<AnswerEdit>(&form, "AnsEdit");
  QTest::keyClicks(edit, "x");
  QTest::keyClick(edit, Qt::Key_Return);
  EXPECT_EQ(AccText(board, QAccessible::Description), QStringLiteral("不正解: x"));
  auto* announcer = Child<QWidget>(&form, "Announcer");
  EXPECT_EQ(AccText(announcer, QAccessible::Name), QStringLiteral("不正解: x"));  // no answer unasked
  Child<QPushButton>(&form, "AnsBtn")->click();
  EXPECT_EQ(AccText(board, QAccessible::Description), QStringLiteral("答え: ねこ、不正解: x"));
  EXPECT_EQ(AccText(announcer, QAccessible::Name), QStringLiteral("答え: ねこ"));
  EXPECT_EQ(changed(QAccessible::DescriptionChanged), 2);
  QuizState& quiz = test::StateOf(form.Quiz());
  quiz.Ticks = quiz.TimeLimit - 1;  // the next tick of the running timer times out
  EXPECT_TRUE(QTest::qWaitFor([&] { return quiz.Answered; }, 5000));
  EXPECT_EQ(AccText(board, QAccessible::Description), QStringLiteral("答え: ねこ、時間切れ"));
  // Exposed again (an input method's popup closed over it), the board still
  // shows the time-out's red cross.
  QExposeEvent exposed{QRegion(form.rect())};
  QCoreApplication::sendEvent(form.windowHandle(), &exposed);
  const QImage cross = board->grab(QRect(150, 18, 190, 30)).toImage();
  int red = 0;
  for (int i = 0; i < cross.width() * cross.height(); ++i)
    red += cross.pixelColor(i % cross.width(), i / cross.width()) == Qt::red;
  EXPECT_GT(red, 40);
  EXPECT_EQ(changed(QAccessible::DescriptionChanged), 3);
  EXPECT_EQ(changed(QAccessible::NameChanged), 0);  // still the same question
  BoardWidget::NotifyAccessibility = nullptr;

  EXPECT_EQ(AccText(edit, QAccessible::Name), QStringLiteral("答え"));
  QAccessibleInterface* menu = QAccessible::queryAccessibleInterface(Child<QMenu>(&form, "Edit2"));
  QString options;
  for (int i = 0; i < menu->childCount(); ++i) {
    if (menu->child(i)->text(QAccessible::Name).startsWith(QStringLiteral("設定"))) {
      options = menu->child(i)->text(QAccessible::Name);
    }
  }
  EXPECT_EQ(options, QStringLiteral("設定(O)...\tCtrl+O"));  // Ctrl+O only shown: it opens a file
}

// What an input method sends while the user composes "ねこ".
void Compose(QWidget* w, const QString& preedit, const QString& commit = {}) {
  QInputMethodEvent e(preedit, {});
  if (!commit.isEmpty()) e.setCommitString(commit);
  QApplication::sendEvent(w, &e);
}

TEST_F(DesktopWindowTest, InputMethodCompositionOwnsEnterAndEsc) {
  TForm1 form(nullptr, exeDir);
  form.show();
  QApplication::setActiveWindow(&form);
  Child<QAction>(&form, "S1")->trigger();
  auto* edit = Child<AnswerEdit>(&form, "AnsEdit");
  edit->setFocus();

  // Enter that commits a composition does not judge, even when the input
  // method lets the key through.
  Compose(edit, QStringLiteral("ねこ"));
  QTest::keyClick(edit, Qt::Key_Return);
  Compose(edit, {}, QStringLiteral("ねこ"));
  EXPECT_EQ(test::StateOf(form.Quiz()).History[6], HistoryEntry{});
  EXPECT_EQ(edit->text(), QStringLiteral("ねこ"));

  // Esc that cancels a composition does not end the program; once nothing
  // is being composed, Esc ends it as ever.
  Compose(edit, QStringLiteral("い"));
  QTest::keyClick(edit, Qt::Key_Escape);
  EXPECT_TRUE(form.isVisible());
  Compose(edit, {});

  // The committed answer is judged like a typed one.
  QTest::keyClick(edit, Qt::Key_Return);
  EXPECT_TRUE(test::StateOf(form.Quiz()).Answered);
  EXPECT_EQ(test::StateOf(form.Quiz()).History[6], HistoryEntry::Correct("\x82\xCB\x82\xB1"));
  QTest::keyClick(edit, Qt::Key_Escape);
  EXPECT_FALSE(form.isVisible());
}

TEST_F(DesktopWindowTest, StartFileIsOpenedAndRememberedOrFallsBackWithTheOpenError) {
  fs::create_directory(dir / "sub");
  WriteBytes(dir / "sub" / "other.txt", "0a,b\r\n");
  fs::current_path(dir);
  {
    TForm1 form(nullptr, exeDir, "sub/other.txt");
    EXPECT_EQ(form.WordDir(), exeDir + "sub/");
    EXPECT_EQ(test::StateOf(form.Quiz()).QuesText, "a");
    // The open dialog starts from it, as after a choice in it.
    QString named;
    OnNextModal<QFileDialog>([&](QFileDialog* d) {
      named = d->selectedFiles().value(0);
      d->reject();
    });
    form.OpenClick();
    EXPECT_EQ(named.toStdString(), exeDir + "sub/other.txt");
    form.FormDestroy();
  }
  EXPECT_NE(ReadBytes(dir / "kobeli.ini").find("b4file=other.txt\r\nb4dir=" + exeDir + "sub/\r\n"),
            std::string::npos);

  // A file that cannot be read, and a relative name in a working directory
  // that has no name any more: the error, and the remembered file.
  for (const std::string& start : {exeDir + "missing.txt", std::string("word.txt")}) {
    WriteBytes(dir / "kobeli.ini", "[SOFT]\r\nPLAYSOUND=N\r\n");
    if (start == "word.txt") {
      fs::create_directory(dir / "gone");
      fs::current_path(dir / "gone");
      fs::remove(dir / "gone");
    }
    QString error;
    OnNextModal<QMessageBox>([&](QMessageBox* box) {
      error = box->text();
      box->accept();
    });
    TForm1 form(nullptr, exeDir, start);
    EXPECT_EQ(error.toStdString(), "ファイル " + start + " は開けません.");
    EXPECT_EQ(form.WordFile(), "word.txt");
    EXPECT_EQ(test::StateOf(form.Quiz()).QuesText, "\x83\x6C\x83\x52");
  }
  fs::current_path("/");
}

// A settings file that cannot be written, or a word file whose name it cannot
// hold (a line break; the rest is written): one box, naming the reason.
TEST_F(DesktopWindowTest, SettingsThatCannotBeStoredAreReportedOnceNamingTheReason) {
  const std::string oddName = exeDir + "two\nlines.txt", ini = "[SOFT]\r\nPLAYSOUND=N\r\nb4file=w\r\n";
  WriteBytes(oddName, kWords);
  for (const std::string& named : {exeDir + "kobeli.ini", oddName}) {
    WriteBytes(dir / "kobeli.ini", ini);
    if (named != oddName) {  // in the way of every write
      fs::remove(dir / "kobeli.ini");
      fs::create_directory(dir / "kobeli.ini");
    }
    int boxes = 0;
    QString text;
    std::function<void(QMessageBox*)> count = [&](QMessageBox* box) {
      ++boxes;
      text = box->text();
      box->accept();
      OnNextModal<QMessageBox>(count, 30);
    };
    // A settings file in the way is named at start-up too (the defaults are used).
    OnNextModal<QMessageBox>(count);
    TForm1 form(nullptr, exeDir, named == oddName ? oddName : "");
    EXPECT_EQ(boxes, named == oddName ? 0 : 1);
    form.FormDestroy();
    QTest::qWait(500);
    EXPECT_EQ(boxes, named == oddName ? 1 : 2);
    EXPECT_TRUE(text.contains(QString::fromStdString(named))) << text.toStdString();
    EXPECT_EQ(ReadBytes(dir / "word.txt"), kWords);
    if (named != oddName) fs::remove(dir / "kobeli.ini");
  }
  EXPECT_EQ(ReadBytes(dir / "kobeli.ini"), ini + "SPEED=1000\r\n[RECORDS]\r\nKEEP=Y\r\n");
}

}  // namespace
}  // namespace vz
