#include <gtest/gtest.h>

#include <QBarSet>
#include <QChartView>
#include <QComboBox>
#include <QHeaderView>
#include <QMenu>
#include <QStackedBarSeries>
#include <QTabWidget>
#include <QTableWidget>
#include <string>
#include <vector>

#include "gui/stats/HardestPage.h"
#include "gui/stats/RecordsWindow.h"
#include "gui/window/MainWindow.h"
#include "support/Files.h"
#include "support/Modal.h"
#include "support/QuizAccess.h"
#include "support/Records.h"
#include "support/Widgets.h"

namespace vz::stats {
namespace {

constexpr int kToday = 20000;

// The correct, wrong and time-out bars of the month chart, from its last day back.
std::vector<std::string> MonthBars(const RecordsWindow& w, int days) {
  auto* series =
      qobject_cast<QStackedBarSeries*>(test::Child<QChartView>(&w, "DaysChart")->chart()->series()[0]);
  std::vector<std::string> bars;
  for (int i = 29; i > 29 - days; --i) {
    std::string bar;
    for (QBarSet* set : series->barSets()) bar += std::to_string(int(set->at(i))) + " ";
    bars.push_back(bar);
  }
  return bars;
}

std::vector<std::string> Questions(const QTableWidget* table) {
  std::vector<std::string> rows;
  for (int r = 0; r < table->rowCount(); ++r) rows.push_back(table->item(r, 0)->text().toStdString());
  return rows;
}

// A generated history of two word files: the month chart counts each day's
// outcomes of the file chosen (or of both), the hardest words come with the
// most misses first, sort by any column, and go to a new word file in the
// order shown.
TEST(RecordsWindow, ChartsAndHardestWordsFollowTheRecords) {
  const test::TempDir dir("vevez-stats");
  const std::string db = dir / "records.sqlite", a = dir / "a.txt", b = dir / "b.txt";
  test::WriteBytes(a, "");
  test::WriteBytes(b, "");
  std::vector<records::Judgement> js;
  auto add = [&](const std::string& f, int day, int line, Outcome o, int times) {
    for (int i = 0; i < times; ++i) js.push_back(test::JudgementOn(f, day, line, o));
  };
  add(a, kToday, 1, Outcome::Correct, 3);
  add(a, kToday, 2, Outcome::Wrong, 4);
  add(a, kToday, 3, Outcome::TimeOut, 2);
  add(a, kToday - 1, 3, Outcome::Wrong, 1);
  add(a, kToday - 29, 4, Outcome::Correct, 5);
  add(a, kToday - 40, 5, Outcome::Wrong, 9);  // before the month
  add(b, kToday, 6, Outcome::Wrong, 6);
  records::RecordWriter(db).Write(js);

  RecordsWindow w(nullptr, db, a, kToday);
  EXPECT_EQ(MonthBars(w, 2), (std::vector<std::string>{"3 4 2 ", "0 1 0 "}));
  EXPECT_EQ(MonthBars(w, 30).back(), "5 0 0 ");
  EXPECT_NE(test::Child<QChartView>(&w, "DaysChart")
                ->accessibleDescription()
                .indexOf(QStringLiteral("解答 15 (正解 8、不正解 5、時間切れ 2)")),
            -1);
  auto* pages = test::Child<QTabWidget>(&w, "Pages");
  pages->setCurrentIndex(pages->count() - 1);
  auto* table = test::Child<QTableWidget>(&w, "HardestTable");
  EXPECT_EQ(Questions(table), (std::vector<std::string>{"q5", "q2", "q3"}));

  test::Child<QComboBox>(&w, "ScopeBox")->setCurrentIndex(1);  // every file
  table = test::Child<QTableWidget>(&w, "HardestTable");
  EXPECT_EQ(Questions(table), (std::vector<std::string>{"q5", "q6", "q2", "q3"}));
  table->horizontalHeader()->setSortIndicator(0, Qt::AscendingOrder);
  EXPECT_EQ(Questions(table), (std::vector<std::string>{"q2", "q3", "q5", "q6"}));

  pages->setCurrentIndex(0);
  EXPECT_EQ(MonthBars(w, 1), std::vector<std::string>{"3 10 2 "});

  test::ShownBox box;
  test::RecordNextBox(box);
  test::Child<HardestPage>(&w, "HardestPage")->ExportTo(dir / "hard.txt");
  EXPECT_EQ(test::ReadBytes(dir / "hard.txt"), "0q2,a2\r\n0q3,a3\r\n0q5,a5\r\n0q6,a6\r\n");
  EXPECT_EQ(box.text.left(2), QStringLiteral("4 "));
}

// The main window records every judgement unless [RECORDS] KEEP is "N",
// writes the key back as it was, and adds its menu item after every
// existing one of the edit menu, which all stay as they were.
TEST(RecordsWindow, MainWindowRecordsUnlessKeepIsN) {
  for (const std::string keep : {"Y", "N"}) {
    const test::TempDir dir("vevez-stats");
    test::WriteBytes(dir / "word.txt", "0a,b\r\n");
    test::WriteBytes(dir / "kobeli.ini", "[RECORDS]\r\nKEEP=" + keep + "\r\n");
    {
      TForm1 form(nullptr, dir.dir());
      form.Quiz().S1Click();
      form.Quiz().Judgment("x");
      form.Quiz().Judgment("b");
      QStringList items;
      for (QAction* a : test::Child<QMenu>(&form, "Edit2")->actions())
        items << a->objectName() + " " + a->text() + " " + a->shortcut().toString();
      EXPECT_EQ(items.join("|").toStdString(),
                "A1 単語追加削除(&A)... Ctrl+P|  |O1 設定(&O)...\tCtrl+O |"
                "R1 学習の記録(&S)... Ctrl+T");
      form.FormDestroy();
    }
    EXPECT_EQ(test::ReadBytes(dir / "word.txt"), "1a,b\r\n");
    EXPECT_NE(test::ReadBytes(dir / "kobeli.ini").find("[RECORDS]\r\nKEEP=" + keep + "\r\n"),
              std::string::npos);
    records::StatsReader stats(dir / "records.sqlite");
    EXPECT_EQ(stats.Summarize({}, kToday).counts.Judged(), keep == "Y" ? 2 : 0) << keep;
  }
}

}  // namespace
}  // namespace vz::stats
