// The options dialog: what it shows, what the spinner does, and what OK and
// every other way of closing hand back.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <climits>
#include <functional>

#include "gui/dialogs/OptionForm.h"
#include "support/Modal.h"
#include "support/Widgets.h"

namespace vz {
namespace {

using test::Child;
using test::OnNextModal;
using test::Press;

TEST(OptionDlg, ShowsWholeSecondsTruncated) {
  TOptionDlg dlg;
  dlg.SetValues(false, 1000);
  EXPECT_EQ(Child<QLabel>(&dlg, "Label2")->text(), "10");
  EXPECT_FALSE(Child<QCheckBox>(&dlg, "CheckBox1")->isChecked());
  dlg.SetValues(true, 1050);
  EXPECT_EQ(Child<QLabel>(&dlg, "Label2")->text(), "10");
  EXPECT_TRUE(Child<QCheckBox>(&dlg, "CheckBox1")->isChecked());
  dlg.SetValues(false, 199);
  EXPECT_EQ(Child<QLabel>(&dlg, "Label2")->text(), "1");
}

TEST(OptionDlg, LimitBelowOneSecondShowsOneAndOkStoresOneSecond) {
  for (int limit : {99, 1, 0, -1, -250, INT_MIN}) {
    TOptionDlg dlg;
    dlg.SetValues(false, limit);
    EXPECT_EQ(Child<QLabel>(&dlg, "Label2")->text(), "1") << limit;
    EXPECT_EQ(dlg.TimeLimitTicks(), 100) << limit;
  }
}

TEST(OptionDlg, DownArrowStopsAtOne) {
  TOptionDlg dlg;
  dlg.SetValues(false, 200);
  Child<UpDown>(&dlg, "UpDown1")->DownArrow()->click();
  EXPECT_EQ(Child<QLabel>(&dlg, "Label2")->text(), "1");
  Child<UpDown>(&dlg, "UpDown1")->DownArrow()->click();
  EXPECT_EQ(Child<QLabel>(&dlg, "Label2")->text(), "1");
  EXPECT_EQ(Child<UpDown>(&dlg, "UpDown1")->Position(), 48);  // the spinner itself still moved
}

TEST(OptionDlg, SpinnerGivesAtMostFiftyStepsEachWay) {
  TOptionDlg dlg;
  dlg.SetValues(false, 1000);
  for (int i = 0; i < 50; ++i) Child<UpDown>(&dlg, "UpDown1")->UpArrow()->click();
  EXPECT_EQ(Child<QLabel>(&dlg, "Label2")->text(), "60");
  Child<UpDown>(&dlg, "UpDown1")->UpArrow()->click();  // the fifty-first: the spinner is at its end
  EXPECT_EQ(Child<QLabel>(&dlg, "Label2")->text(), "60");
  Child<UpDown>(&dlg, "UpDown1")->DownArrow()->click();
  EXPECT_EQ(Child<QLabel>(&dlg, "Label2")->text(), "59");

  TOptionDlg low;
  low.SetValues(false, 10000);  // 100 s
  for (int i = 0; i < 60; ++i) Child<UpDown>(&low, "UpDown1")->DownArrow()->click();
  EXPECT_EQ(Child<QLabel>(&low, "Label2")->text(), "50");
  EXPECT_EQ(Child<UpDown>(&low, "UpDown1")->Position(), 0);
}

// The arrow keys step the focused spinner; a screen reader reads it as the
// spin box 制限秒数 with the seconds shown.
TEST(OptionDlg, ArrowKeysStepTheFocusedSpinnerAndItsValueIsSpoken) {
  TOptionDlg dlg;
  dlg.SetValues(false, 1000);
  for (Qt::Key k : {Qt::Key_Up, Qt::Key_Up, Qt::Key_Down}) Press(Child<UpDown>(&dlg, "UpDown1"), k);
  EXPECT_EQ(Child<QLabel>(&dlg, "Label2")->text(), "11");
  QAccessibleInterface* spin = QAccessible::queryAccessibleInterface(Child<UpDown>(&dlg, "UpDown1"));
  EXPECT_EQ(spin->role(), QAccessible::SpinBox);
  EXPECT_EQ(spin->text(QAccessible::Name), QStringLiteral("制限秒数"));
  EXPECT_EQ(spin->text(QAccessible::Value), "11");
  ASSERT_NE(spin->valueInterface(), nullptr);
  EXPECT_EQ(spin->valueInterface()->currentValue(), 11LL);
}

TEST(OptionDlg, LargestLimitIsClampedNotWrapped) {
  TOptionDlg dlg;
  dlg.SetValues(false, INT_MAX);  // 21474836 s
  Child<UpDown>(&dlg, "UpDown1")->UpArrow()->click();
  EXPECT_EQ(Child<QLabel>(&dlg, "Label2")->text(), "21474837");
  EXPECT_EQ(dlg.TimeLimitTicks(), INT_MAX);
}

TEST(ExecOptionDialog, OkHandsBackWholeSeconds) {
  QPoint where;
  QSize size;
  QString caption;
  OnNextModal<TOptionDlg>([&](TOptionDlg* dlg) {
    where = dlg->pos();
    size = dlg->frameGeometry().size();
    caption = dlg->windowTitle();
    EXPECT_EQ(Child<QLabel>(dlg, "Label2")->text(), "10");
    EXPECT_EQ(Child<UpDown>(dlg, "UpDown1")->Position(), 50);
    Child<QCheckBox>(dlg, "CheckBox1")->setChecked(true);
    Press(dlg, Qt::Key_Return);  // the default button is OK
  });
  const auto chosen = ExecOptionDialog(nullptr, {40, 60}, {false, 1050});
  ASSERT_TRUE(chosen);
  EXPECT_EQ(chosen->TimeLimit, 1000);
  EXPECT_TRUE(chosen->NoSound);
  EXPECT_EQ(where, QPoint(40, 60));
  EXPECT_EQ(size, QSize(200, 96));  // the outer size, frame included
  EXPECT_EQ(caption, "各種設定");
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST(ExecOptionDialog, EveryOtherCloseChangesNothing) {
  const std::function<void(TOptionDlg*)> closers[] = {
      [](TOptionDlg* d) { Child<QPushButton>(d, "BitBtn2")->click(); },
      [](TOptionDlg* d) { Press(d, Qt::Key_Escape); }, [](TOptionDlg* d) { d->close(); },  // the close box
  };
  for (const auto& closeIt : closers) {
    OnNextModal<TOptionDlg>([&](TOptionDlg* dlg) {
      Child<QCheckBox>(dlg, "CheckBox1")->setChecked(true);
      Child<UpDown>(dlg, "UpDown1")->UpArrow()->click();
      closeIt(dlg);
    });
    EXPECT_FALSE(ExecOptionDialog(nullptr, {}, {false, 1050}));
  }
}

TEST(ExecOptionDialog, EachOpeningStartsTheSpinnerAfresh) {
  // After fifty up clicks and OK, the next opening can go fifty further.
  QuizOptions options{false, 1000};
  for (int round = 0; round < 2; ++round) {
    OnNextModal<TOptionDlg>([](TOptionDlg* dlg) {
      for (int i = 0; i < 60; ++i) Child<UpDown>(dlg, "UpDown1")->UpArrow()->click();
      Child<QPushButton>(dlg, "BitBtn1")->click();
    });
    const auto chosen = ExecOptionDialog(nullptr, {}, options);
    ASSERT_TRUE(chosen);
    options = *chosen;
  }
  EXPECT_EQ(options.TimeLimit, 11000);
}

TEST(ExecOptionDialog, DialogIsOwnedAndReleased) {
  QWidget owner;
  OnNextModal<TOptionDlg>([&](TOptionDlg* dlg) {
    EXPECT_EQ(dlg->parent(), &owner);
    dlg->reject();
  });
  ExecOptionDialog(&owner, {}, {});
  EXPECT_TRUE(owner.findChildren<TOptionDlg*>().isEmpty());
}

}  // namespace
}  // namespace vz
