// The options dialog: what it shows, what the spinner does, and what OK and
// every other way of closing hand back to the quiz.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <climits>
#include <functional>

#include "NullQuizView.h"
#include "app/QuizEngine.h"
#include "settings/OptionForm.h"
#include "wordlist/WordList.h"

namespace vz {
namespace {

using NullView = testing::NullQuizView;

// Runs `act` on the dialog once it is up in exec().
void WhenModal(std::function<void(TOptionDlg*)> act, int tries = 300) {
  QTimer::singleShot(5, [act = std::move(act), tries]() mutable {
    if (auto* dlg = qobject_cast<TOptionDlg*>(QApplication::activeModalWidget()))
      act(dlg);
    else if (tries > 0)
      WhenModal(std::move(act), tries - 1);
  });
}

void Press(QWidget* w, int key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QApplication::sendEvent(w, &press);
}

struct Quiz {
  WordList list;
  NullView view;
  QuizEngine engine{list, view};
};

TEST(OptionDlg, ShowsWholeSecondsTruncated) {
  TOptionDlg dlg;
  dlg.SetValues(false, 1000);
  EXPECT_EQ(dlg.Label2->text(), "10");
  EXPECT_FALSE(dlg.CheckBox1->isChecked());
  dlg.SetValues(true, 1050);
  EXPECT_EQ(dlg.Label2->text(), "10");
  EXPECT_TRUE(dlg.CheckBox1->isChecked());
  dlg.SetValues(false, 199);
  EXPECT_EQ(dlg.Label2->text(), "1");
}

TEST(OptionDlg, LimitBelowOneSecondShowsOneAndOkStoresOneSecond) {
  for (int limit : {99, 1, 0, -1, -250, INT_MIN}) {
    TOptionDlg dlg;
    dlg.SetValues(false, limit);
    EXPECT_EQ(dlg.Label2->text(), "1") << limit;
    EXPECT_EQ(dlg.TimeLimitTicks(), 100) << limit;
  }
}

TEST(OptionDlg, DownArrowStopsAtOne) {
  TOptionDlg dlg;
  dlg.SetValues(false, 200);
  dlg.UpDown1->DownArrow()->click();
  EXPECT_EQ(dlg.Label2->text(), "1");
  dlg.UpDown1->DownArrow()->click();
  EXPECT_EQ(dlg.Label2->text(), "1");
  EXPECT_EQ(dlg.UpDown1->Position(), 48);  // the spinner itself still moved
}

TEST(OptionDlg, SpinnerGivesAtMostFiftyStepsEachWay) {
  TOptionDlg dlg;
  dlg.SetValues(false, 1000);
  for (int i = 0; i < 50; ++i) dlg.UpDown1->UpArrow()->click();
  EXPECT_EQ(dlg.Label2->text(), "60");
  dlg.UpDown1->UpArrow()->click();  // the fifty-first: the spinner is at its end
  EXPECT_EQ(dlg.Label2->text(), "60");
  dlg.UpDown1->DownArrow()->click();
  EXPECT_EQ(dlg.Label2->text(), "59");

  TOptionDlg low;
  low.SetValues(false, 10000);  // 100 s
  for (int i = 0; i < 60; ++i) low.UpDown1->DownArrow()->click();
  EXPECT_EQ(low.Label2->text(), "50");
  EXPECT_EQ(low.UpDown1->Position(), 0);
}

TEST(OptionDlg, ArrowKeysStepTheFocusedSpinner) {
  TOptionDlg dlg;
  dlg.SetValues(false, 1000);
  Press(dlg.UpDown1, Qt::Key_Up);
  Press(dlg.UpDown1, Qt::Key_Up);
  Press(dlg.UpDown1, Qt::Key_Down);
  EXPECT_EQ(dlg.Label2->text(), "11");
}

TEST(OptionDlg, LargestLimitIsClampedNotWrapped) {
  TOptionDlg dlg;
  dlg.SetValues(false, INT_MAX);  // 21474836 s
  dlg.UpDown1->UpArrow()->click();
  EXPECT_EQ(dlg.Label2->text(), "21474837");
  EXPECT_EQ(dlg.TimeLimitTicks(), INT_MAX);
}

TEST(ExecOptionDialog, OkStoresWholeSecondsAndRestartsTheQuestionTime) {
  Quiz q;
  q.engine.TimeLimit = 1050;
  q.engine.Ticks = 321;
  QPoint where;
  QSize size;
  QString caption;
  WhenModal([&](TOptionDlg* dlg) {
    where = dlg->pos();
    size = dlg->frameGeometry().size();
    caption = dlg->windowTitle();
    EXPECT_EQ(dlg->Label2->text(), "10");
    EXPECT_EQ(dlg->UpDown1->Position(), 50);
    dlg->CheckBox1->setChecked(true);
    Press(dlg, Qt::Key_Return);  // the default button is OK
  });
  EXPECT_TRUE(ExecOptionDialog(nullptr, {40, 60}, q.engine));
  EXPECT_EQ(q.engine.TimeLimit, 1000);
  EXPECT_TRUE(q.engine.NoSound);
  EXPECT_EQ(q.engine.Ticks, 0);
  EXPECT_EQ(where, QPoint(40, 60));
  EXPECT_EQ(size, QSize(200, 96));  // the outer size, frame included
  EXPECT_EQ(caption, "各種設定");
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST(ExecOptionDialog, EveryOtherCloseChangesNothing) {
  const std::function<void(TOptionDlg*)> closers[] = {
      [](TOptionDlg* d) { d->BitBtn2->click(); }, [](TOptionDlg* d) { Press(d, Qt::Key_Escape); },
      [](TOptionDlg* d) { d->close(); },  // the close box
  };
  for (const auto& closeIt : closers) {
    Quiz q;
    q.engine.TimeLimit = 1050;
    q.engine.Ticks = 321;
    WhenModal([&](TOptionDlg* dlg) {
      dlg->CheckBox1->setChecked(true);
      dlg->UpDown1->UpArrow()->click();
      closeIt(dlg);
    });
    EXPECT_FALSE(ExecOptionDialog(nullptr, {}, q.engine));
    EXPECT_EQ(q.engine.TimeLimit, 1050);
    EXPECT_FALSE(q.engine.NoSound);
    EXPECT_EQ(q.engine.Ticks, 321);
  }
}

TEST(ExecOptionDialog, EachOpeningStartsTheSpinnerAfresh) {
  // After fifty up clicks and OK, the next opening can go fifty further.
  Quiz q;
  q.engine.TimeLimit = 1000;
  for (int round = 0; round < 2; ++round) {
    WhenModal([](TOptionDlg* dlg) {
      for (int i = 0; i < 60; ++i) dlg->UpDown1->UpArrow()->click();
      dlg->BitBtn1->click();
    });
    ASSERT_TRUE(ExecOptionDialog(nullptr, {}, q.engine));
  }
  EXPECT_EQ(q.engine.TimeLimit, 11000);
}

TEST(ExecOptionDialog, DialogIsOwnedAndReleased) {
  QWidget owner;
  Quiz q;
  WhenModal([&](TOptionDlg* dlg) {
    EXPECT_EQ(dlg->parent(), &owner);
    dlg->reject();
  });
  ExecOptionDialog(&owner, {}, q.engine);
  EXPECT_TRUE(owner.findChildren<TOptionDlg*>().isEmpty());
}

}  // namespace
}  // namespace vz
