// The word editor: how lines come back on OK, adding, deleting, the caption
// row, the keys of the edit boxes and text that cannot be stored.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include "core/wordlist/WordList.h"
#include "gui/dialogs/WordForm.h"
#include "gui/dialogs/WordGridModel.h"
#include "support/Files.h"
#include "support/Modal.h"
#include "support/Widgets.h"
#include "support/WordLines.h"

namespace vz {
namespace {

using test::Child;
using test::OnNextModal;
using test::Press;

using test::Lines;
using test::LinesOf;
using test::ListOf;
using test::Views;
using namespace std::string_literals;

const std::string kNeko = "0\x83\x6C\x83\x52,cat";  // 0ネコ,cat

QLineEdit* Edit1(const QObject* d) { return Child<QLineEdit>(d, "Edit1"); }
QLineEdit* Edit2(const QObject* d) { return Child<QLineEdit>(d, "Edit2"); }
QTableView* GridView(const QObject* d) { return Child<QTableView>(d, "StringGrid1"); }
void Click(const QObject* d, const char* button) { Child<QPushButton>(d, button)->click(); }
void ShowPage(const QObject* d, const char* page) {
  Child<QTabWidget>(d, "WordControl")->setCurrentWidget(Child<QWidget>(d, page));
}

// The word lines "0q1,a1" .. "0qN,aN".
Lines Numbered(int n) {
  Lines out;
  for (int i = 1; i <= n; ++i) out.push_back("0q" + std::to_string(i) + ",a" + std::to_string(i));
  return out;
}

void SelectRows(TWordFormDlg& dlg, int top, int bottom) {
  QAbstractItemModel* m = GridView(&dlg)->model();
  auto* sel = GridView(&dlg)->selectionModel();
  sel->setCurrentIndex(m->index(bottom, 0), QItemSelectionModel::NoUpdate);
  sel->select(QItemSelection(m->index(top, 0), m->index(bottom, 2)),
              QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

std::vector<int> SelectedRows(const TWordFormDlg& dlg) {
  std::vector<int> rows;
  for (const QModelIndex& i : GridView(&dlg)->selectionModel()->selectedRows()) rows.push_back(i.row());
  return rows;
}

QString Shown(const TWordFormDlg& dlg, int row, int column) {
  return dlg.Grid()->data(dlg.Grid()->index(row, column)).toString();
}

// Opens the editor on `list` through ExecWordEditor, runs `act` in it.
bool RunEditor(WordList& list, std::function<void(TWordFormDlg*)> act) {
  OnNextModal<TWordFormDlg>(std::move(act));
  return ExecWordEditor(nullptr, {10, 20}, list);
}

// A word editor, filled by Fill.
class WordEditor : public ::testing::Test {
 protected:
  void Fill(Lines l) {
    lines = std::move(l);
    dlg.Fill(Views(lines));
  }
  Lines lines;
  TWordFormDlg dlg;
};

TEST_F(WordEditor, OkRightAfterOpeningGivesTheLinesBack) {
  const Lines before = {
      kNeko,
      "1\x8C\xA2,dog;hound,x",  // 犬: answers hold a later comma
      ";comment,c",
      "",             // empty line
      ",lead,x",      // begins with a comma
      "0nocomma",     // no comma at all
      "\x83\x5C,so",  // ソ: a double-byte first character
      "0,",
      "x",
      "",
  };
  WordList list = ListOf(before);
  ASSERT_TRUE(RunEditor(list, [](TWordFormDlg* d) { Click(d, "BitBtn3"); }));
  const Lines expected = {
      kNeko,        "1\x8C\xA2,dog;hound,x", ";comment,c", "",    ",lead,x",
      "0,0nocomma", "\x83\x5C,so",           "0,",         "x,x", "",
  };
  EXPECT_EQ(LinesOf(list), expected);

  // A second round trip changes nothing more.
  ASSERT_TRUE(RunEditor(list, [](TWordFormDlg* d) { Click(d, "BitBtn3"); }));
  EXPECT_EQ(LinesOf(list), expected);
}

TEST_F(WordEditor, GridShowsCaptionRowAndSplitCells) {
  Fill({kNeko, "", ",lead,x", "0nocomma", "\x83\x5C,so"});
  ASSERT_EQ(dlg.Grid()->rowCount(), 6);
  for (int c = 0; c < 3; ++c) {
    EXPECT_EQ(Shown(dlg, 0, c), (QStringList{"", "問題", "答え"}[c]));
    EXPECT_EQ(Shown(dlg, 1, c), (QStringList{"0", "ネコ", "cat"}[c]));
  }
  const struct {
    int row, column;
    const char* bytes;
  } cells[] = {{2, 0, ""},       {2, 1, ""}, {2, 2, ""},         {3, 0, ","},    {3, 1, ""},
               {3, 2, "lead,x"}, {4, 1, ""}, {4, 2, "0nocomma"}, {5, 0, "\x83"}, {5, 1, "\x5C"}};
  for (const auto& c : cells) {
    EXPECT_EQ(dlg.Grid()->CellBytes(c.row, c.column), c.bytes) << c.row << "," << c.column;
  }
  EXPECT_FALSE(dlg.Grid()->flags(dlg.Grid()->index(1, 1)) & Qt::ItemIsEditable);

  // Opening state: page WordAdd, initial texts, selection on the caption row.
  EXPECT_EQ(Child<QTabWidget>(&dlg, "WordControl")->currentWidget(), Child<QWidget>(&dlg, "WordAdd"));
  EXPECT_EQ(Edit1(&dlg)->text(), "問題");
  EXPECT_EQ(Edit2(&dlg)->text(), "Question");
  EXPECT_EQ(Child<QLabel>(&dlg, "Label1")->buddy(), Edit1(&dlg));
  EXPECT_EQ(Child<QLabel>(&dlg, "Label2")->buddy(), Edit2(&dlg));
  EXPECT_EQ(SelectedRows(dlg), std::vector<int>{0});
}

TEST_F(WordEditor, HugeCellsShowABoundedNumberOfCharacters) {
  // A 5 MB question and a 50 MB answer.
  Fill({"0" + std::string(5'000'000, 'q') + "," + std::string(50'000'000, 'a')});
  const QString cut = QString(WordGridModel::kShownBytes, 'q') + QStringLiteral("…");
  EXPECT_EQ(Shown(dlg, 1, 1), cut);
  EXPECT_EQ(Shown(dlg, 1, 2), QString(cut).replace('q', 'a'));
  EXPECT_EQ(dlg.Grid()->data(dlg.Grid()->index(1, 2), Qt::ToolTipRole).toString().size(),
            qsizetype(WordGridModel::kShownBytes + 1));
  EXPECT_EQ(dlg.Grid()->CellBytes(1, 2).size(), 50'000'000u);  // the line itself stays whole
}

TEST_F(WordEditor, GridGeometryAndGrowingWithTheWindow) {
  Fill(Numbered(50));
  dlg.show();
  EXPECT_EQ(dlg.frameGeometry().size(), QSize(370, 327));  // the outer size
  QTableView* view = GridView(&dlg);
  EXPECT_EQ((std::vector{view->columnWidth(0), view->columnWidth(1), view->columnWidth(2)}),
            (std::vector{13, 160, 160}));
  EXPECT_EQ(view->rowHeight(0), 14);
  EXPECT_EQ(view->rowHeight(37), 14);

  ShowPage(&dlg, "WordDel");
  QApplication::processEvents();
  const QSize gridBefore = view->size();
  const QSize before = dlg.size();
  dlg.resize(before + QSize(230, 173));
  QApplication::processEvents();
  EXPECT_EQ(view->width(), gridBefore.width() + 230);
  EXPECT_EQ(view->height(), gridBefore.height() + 173);
  EXPECT_EQ(Child<QFrame>(&dlg, "Panel2")->geometry().bottom(),
            Child<QWidget>(&dlg, "WordDel")->height() - 1);  // buttons stay at the bottom
  dlg.resize(before - QSize(70, 0));
  QApplication::processEvents();
  EXPECT_EQ(view->width(), gridBefore.width() - 70);
}

TEST_F(WordEditor, DeletingABlockMovesTheRowsBelowUp) {
  Fill(Numbered(9));  // with the caption row, 10 rows
  SelectRows(dlg, 3, 5);
  dlg.BitBtn1Click();
  ASSERT_EQ(dlg.Grid()->rowCount(), 7);
  for (int r = 3; r <= 6; ++r) EXPECT_EQ(dlg.Grid()->CellBytes(r, 1), "q" + std::to_string(r + 3));
  EXPECT_EQ(dlg.Lines(), (Lines{lines[0], lines[1], lines[5], lines[6], lines[7], lines[8]}));
  // The selection is reduced to the current row, which kept its number.
  EXPECT_EQ(SelectedRows(dlg), std::vector<int>{5});

  // A block that ends at the last row: the current row moves up to the last.
  SelectRows(dlg, 5, 6);
  dlg.BitBtn1Click();
  EXPECT_EQ(dlg.Grid()->rowCount(), 5);
  EXPECT_EQ(SelectedRows(dlg), std::vector<int>{4});
  EXPECT_EQ(dlg.Lines(), (Lines{lines[0], lines[1], lines[5], lines[6]}));
}

TEST_F(WordEditor, DeleteActsOnlyOnTheRowShownAsSelected) {
  Fill(Numbered(3));
  dlg.show();
  auto* tabs = Child<QTabWidget>(&dlg, "WordControl");
  tabs->setCurrentWidget(Child<QWidget>(&dlg, "WordDel"));
  auto* grid = GridView(&dlg);
  SelectRows(dlg, 2, 2);
  // A click below the last row, or a Ctrl+click on the selected row: a row
  // stays selected, and Delete deletes that row.
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, QPoint(20, grid->viewport()->height() - 3));
  EXPECT_EQ(SelectedRows(dlg), std::vector<int>{2});
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::ControlModifier,
                    grid->visualRect(dlg.Grid()->index(2, 1)).center());
  EXPECT_EQ(SelectedRows(dlg), std::vector<int>{2});
  dlg.BitBtn1Click();
  EXPECT_EQ(dlg.Lines(), (Lines{lines[0], lines[2]}));
}

TEST_F(WordEditor, TabsAreFlatButtonsAndTheShownPagesIsPressedIn) {
  dlg.show();
  QTabBar* bar = Child<QTabWidget>(&dlg, "WordControl")->tabBar();
  const QColor face = bar->palette().color(bar->backgroundRole());
  for (int shown : {0, 1}) {
    bar->setCurrentIndex(shown);
    const QImage image = bar->grab().toImage();
    // Pixels of a tab's outline that are not the dialog's face.
    auto outline = [&](int tab) {
      const QRect r = bar->tabRect(tab);
      int n = 0;
      for (int x = r.left(); x <= r.right(); ++x) {
        n += (image.pixelColor(x, r.top()) != face) + (image.pixelColor(x, r.bottom()) != face);
      }
      for (int y = r.top(); y <= r.bottom(); ++y) {
        n += (image.pixelColor(r.left(), y) != face) + (image.pixelColor(r.right(), y) != face);
      }
      return n;
    };
    EXPECT_GT(outline(shown), bar->tabRect(shown).width()) << "shown " << shown;
    EXPECT_EQ(outline(1 - shown), 0) << "shown " << shown;
  }
}

TEST_F(WordEditor, CaptionRowIsNeverDeleted) {
  Fill(Numbered(5));

  // The caption row alone (the selection at opening): nothing goes.
  dlg.BitBtn1Click();
  EXPECT_EQ(dlg.Grid()->rowCount(), 6);

  // A block from the caption row: only the word rows in it go, and the
  // caption row stays on top, so no remaining word row is lost on OK.
  SelectRows(dlg, 0, 2);
  dlg.BitBtn1Click();
  ASSERT_EQ(dlg.Grid()->rowCount(), 4);
  EXPECT_EQ(Shown(dlg, 0, 1), "問題");
  EXPECT_EQ(dlg.Lines(), (Lines{lines[2], lines[3], lines[4]}));

  // Everything selected: the caption row remains, and OK writes the
  // fallback line.
  GridView(&dlg)->selectAll();
  dlg.BitBtn1Click();
  EXPECT_EQ(dlg.Grid()->rowCount(), 1);
  EXPECT_EQ(Shown(dlg, 0, 2), "答え");
  EXPECT_EQ(dlg.Lines(), Lines{kNeko});
}

TEST_F(WordEditor, DeletingEverythingAndOkWritesTheFallbackLine) {
  WordList list = ListOf(Numbered(20));
  ASSERT_TRUE(RunEditor(list, [](TWordFormDlg* d) {
    ShowPage(d, "WordDel");
    SelectRows(*d, 0, d->Grid()->rowCount() - 1);
    Click(d, "BitBtn1");
    Click(d, "BitBtn4");
  }));
  EXPECT_EQ(LinesOf(list), Lines{kNeko});

  WordList empty;
  ASSERT_TRUE(RunEditor(empty, [](TWordFormDlg* d) {
    EXPECT_EQ(d->Grid()->rowCount(), 1);
    Click(d, "BitBtn3");
  }));
  EXPECT_EQ(LinesOf(empty), Lines{kNeko});
}

TEST_F(WordEditor, EveryCloseButOkLeavesTheListUnchanged) {
  const std::function<void(TWordFormDlg*)> closers[] = {
      [](TWordFormDlg* d) { Click(d, "BitBtn6"); }, [](TWordFormDlg* d) { Click(d, "BitBtn5"); },
      [](TWordFormDlg* d) { Press(d, Qt::Key_Escape); },
      [](TWordFormDlg* d) { d->close(); },  // the close box
  };
  const Lines before = {kNeko, "", ",x", "0solo"};
  for (const auto& closeIt : closers) {
    WordList list = ListOf(before);
    EXPECT_FALSE(RunEditor(list, [&](TWordFormDlg* d) {
      d->BitBtn2Click();
      SelectRows(*d, 1, 2);
      d->BitBtn1Click();
      closeIt(d);
    }));
    EXPECT_EQ(LinesOf(list), before);
  }
}

TEST_F(WordEditor, AddPutsThePairAtTheEndAsTyped) {
  Fill(Numbered(3));
  SelectRows(dlg, 2, 2);  // the selected row does not matter
  dlg.BitBtn2Click();     // the initial texts
  EXPECT_EQ(Edit1(&dlg)->text(), "");
  EXPECT_EQ(Edit2(&dlg)->text(), "");
  EXPECT_EQ(dlg.focusWidget(), Edit1(&dlg));
  EXPECT_EQ(SelectedRows(dlg), std::vector<int>{2});
  dlg.BitBtn2Click();  // both boxes empty
  Edit1(&dlg)->setText("a,b");
  Edit2(&dlg)->setText("c;d, e");
  dlg.BitBtn2Click();
  ASSERT_EQ(dlg.Grid()->rowCount(), 7);
  for (int c = 0; c < 3; ++c) EXPECT_EQ(Shown(dlg, 4, c), (QStringList{"0", "問題", "Question"}[c]));
  EXPECT_EQ(dlg.Lines(),
            (Lines{lines[0], lines[1], lines[2], "0\x96\xE2\x91\xE8,Question", "0,", "0a,b,c;d, e"}));

  // Deleting an added row works like deleting any other.
  SelectRows(dlg, 5, 5);
  dlg.BitBtn1Click();
  EXPECT_EQ(dlg.Lines(), (Lines{lines[0], lines[1], lines[2], "0\x96\xE2\x91\xE8,Question", "0a,b,c;d, e"}));
}

TEST_F(WordEditor, EnterInTheEditBoxesNeverClosesTheDialog) {
  WordList list = ListOf({kNeko});
  bool stillOpen = false;
  ASSERT_TRUE(RunEditor(list, [&](TWordFormDlg* d) {
    Edit1(d)->setFocus();
    Press(Edit1(d), Qt::Key_Return);
    EXPECT_EQ(d->focusWidget(), Edit2(d));
    EXPECT_EQ(Edit1(d)->text(), "問題");  // moving on keeps the texts
    Press(Edit1(d), Qt::Key_Enter, Qt::KeypadModifier);
    Press(Edit2(d), Qt::Key_Return, Qt::ShiftModifier);  // adds the pair
    Edit1(d)->setText("x");
    Edit2(d)->setText("y");
    Press(Edit2(d), Qt::Key_Enter, Qt::KeypadModifier | Qt::ControlModifier);
    stillOpen = d->isVisible() && d->result() == 0;
    // Other keys keep their ordinary editing effect.
    Edit1(d)->setText("ab");
    Edit1(d)->setCursorPosition(2);
    Press(Edit1(d), Qt::Key_Backspace);
    EXPECT_EQ(Edit1(d)->text(), "a");
    // Enter anywhere else presses the page's default button, OK.
    Press(Child<QTabWidget>(d, "WordControl")->tabBar(), Qt::Key_Return);
  }));
  EXPECT_TRUE(stillOpen);
  EXPECT_EQ(LinesOf(list), (Lines{kNeko, "0\x96\xE2\x91\xE8,Question", "0x,y"}));
}

TEST_F(WordEditor, DeletePageHasItsOwnDefaultButton) {
  WordList list = ListOf(Numbered(3));
  ASSERT_TRUE(RunEditor(list, [](TWordFormDlg* d) {
    ShowPage(d, "WordDel");
    EXPECT_TRUE(Child<QPushButton>(d, "BitBtn4")->isDefault());
    EXPECT_FALSE(Child<QPushButton>(d, "BitBtn3")->isDefault());
    SelectRows(*d, 1, 1);
    d->BitBtn1Click();
    Press(GridView(d), Qt::Key_Return);
  }));
  EXPECT_EQ(LinesOf(list), (Lines{"0q2,a2", "0q3,a3"}));
}

TEST_F(WordEditor, TextCodePage932CannotHoldIsRefused) {
  Fill(Numbered(2));
  for (QLineEdit* bad : {Edit1(&dlg), Edit2(&dlg)}) {
    QLineEdit* good = bad == Edit1(&dlg) ? Edit2(&dlg) : Edit1(&dlg);
    bad->setText("犬\U0001F600x");  // an emoji
    good->setText("いぬ");
    QString message;
    OnNextModal<QMessageBox>([&](QMessageBox* box) {
      message = box->textFormat() == Qt::PlainText ? box->text() : "(read as markup)";
      box->accept();
    });
    dlg.BitBtn2Click();
    EXPECT_TRUE(message.contains("\U0001F600")) << message.toStdString();
    EXPECT_EQ(dlg.Grid()->rowCount(), 3);     // nothing added
    EXPECT_EQ(bad->text(), "犬\U0001F600x");  // the texts stay for correcting
    EXPECT_EQ(good->text(), "いぬ");
    EXPECT_EQ(bad->selectedText(), "\U0001F600");
  }
  Edit1(&dlg)->setText("café");
  Edit2(&dlg)->setText("x");
  OnNextModal<QMessageBox>([](QMessageBox* box) { box->accept(); });
  dlg.BitBtn2Click();
  EXPECT_EQ(dlg.Grid()->rowCount(), 3);
  EXPECT_EQ(dlg.Lines(), lines);
}

TEST_F(WordEditor, AUtf8ListGetsItsPairsInUtf8AndRefusesNothing) {
  test::TempDir dir;
  test::WriteBytes(dir / "w.txt", "0犬,いぬ\r\n");
  WordList list;
  list.Load(dir / "w.txt");
  ASSERT_TRUE(RunEditor(list, [](TWordFormDlg* d) {
    EXPECT_EQ(Shown(*d, 0, 1), "問題");
    EXPECT_EQ(Shown(*d, 1, 1), "犬");
    Edit1(d)->setText("猫\U0001F408");  // characters code page 932 lacks
    Edit2(d)->setText("ねこ;café");
    d->BitBtn2Click();
    EXPECT_EQ(Shown(*d, 2, 1), "猫\U0001F408");
    Click(d, "BitBtn3");
  }));
  EXPECT_EQ(LinesOf(list), (Lines{"0犬,いぬ", "0猫\U0001F408,ねこ;café"}));
  EXPECT_EQ(list.TextEncoding(), codec::Encoding::Utf8);
  // With every row deleted, the fallback line is in UTF-8 too.
  ASSERT_TRUE(RunEditor(list, [](TWordFormDlg* d) {
    SelectRows(*d, 1, 2);
    d->BitBtn1Click();
    Click(d, "BitBtn4");
  }));
  EXPECT_EQ(LinesOf(list), (Lines{"0ネコ,cat"}));
}

TEST_F(WordEditor, AnEucJpListGetsItsPairsInEucJpAndKeepsALineWithoutAMarkWhole) {
  test::TempDir dir;
  const std::string neko = "\xA4\xCD\xA4\xB3,cat";  // ねこ,cat: its first character is its mark
  test::WriteBytes(dir / "w.txt", "0\xB8\xA4,dog\r\n" + neko + "\r\n");
  WordList list;
  list.Load(dir / "w.txt");
  ASSERT_TRUE(RunEditor(list, [](TWordFormDlg* d) {
    EXPECT_EQ(Shown(*d, 0, 1), "問題");
    EXPECT_EQ(Shown(*d, 2, 0), "ね");
    Edit1(d)->setText("猫");
    Edit2(d)->setText("ねこ");
    d->BitBtn2Click();
    Click(d, "BitBtn3");
  }));
  EXPECT_EQ(LinesOf(list), (Lines{"0\xB8\xA4,dog", neko, "0\xC7\xAD,\xA4\xCD\xA4\xB3"}));
}

TEST_F(WordEditor, LineBreaksAndNulCannotEnterALine) {
  dlg.Fill(std::vector<std::string_view>{});
  Edit1(&dlg)->clear();
  Edit1(&dlg)->insert("one\r\ntwo");
  EXPECT_EQ(Edit1(&dlg)->text(), "onetwo");
  Edit2(&dlg)->setText(QString::fromUtf8("x\0y\rz\n", 6));
  EXPECT_EQ(Edit2(&dlg)->text(), "xyz");
  QApplication::clipboard()->setText("p\nq");
  Edit2(&dlg)->paste();
  dlg.BitBtn2Click();
  EXPECT_EQ(dlg.Lines(), Lines{"0onetwo,xyzpq"});
}

TEST(ExecWordEditor, PlacesAndReleasesTheDialog) {
  QWidget owner;
  WordList list;
  QPoint where;
  QString caption;
  RunEditor(list, [&](TWordFormDlg* d) {
    where = d->pos();
    caption = d->windowTitle();
    EXPECT_EQ(d->parent(), nullptr);
    d->reject();
  });
  EXPECT_EQ(where, QPoint(10, 20));
  EXPECT_EQ(caption, "単語の追加削除");

  OnNextModal<TWordFormDlg>([&](TWordFormDlg* d) {
    EXPECT_EQ(d->parent(), &owner);
    d->reject();
  });
  ExecWordEditor(&owner, {}, list);
  EXPECT_TRUE(owner.findChildren<TWordFormDlg*>().isEmpty());
}

}  // namespace
}  // namespace vz
