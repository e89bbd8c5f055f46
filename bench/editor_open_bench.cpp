// Prints what opening the word editor on a word file costs: time from
// creating the dialog to its first painted frame, the same for the delete
// page with the grid, the heap and resident memory the open dialog holds,
// and the time of deleting a block, deleting one row, adding one row and
// building the lines for OK.
//
//   editor_open_bench WORDFILE [ROUNDS]
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.
#include <malloc.h>

#include <QApplication>
#include <QItemSelectionModel>
#include <QTabWidget>
#include <QTableView>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "core/wordlist/WordList.h"
#include "gui/dialogs/WordForm.h"
#include "gui/dialogs/WordGridModel.h"
#include "gui/kit/Fonts.h"

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point t0) {
  return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

double HeapMiB() { return static_cast<double>(mallinfo2().uordblks) / (1024.0 * 1024.0); }

double RssMiB() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return static_cast<double>(resident) * 4096.0 / (1024.0 * 1024.0);
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

void SelectRows(vz::TWordFormDlg& dlg, int top, int bottom) {
  QAbstractItemModel* m = dlg.findChild<QTableView*>("StringGrid1")->model();
  auto* sel = dlg.findChild<QTableView*>("StringGrid1")->selectionModel();
  sel->setCurrentIndex(m->index(bottom, 0), QItemSelectionModel::NoUpdate);
  sel->select(QItemSelection(m->index(top, 0), m->index(bottom, 2)),
              QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

struct Round {
  double open, delPage, heap, rss, delBlock, delOne, add, selectAllDelete, okLines;
};

Round OneRound(const vz::WordList& list) {
  Round r{};
  const double heap0 = HeapMiB();
  const double rss0 = RssMiB();

  auto t0 = Clock::now();
  auto* dlg = new vz::TWordFormDlg;
  dlg->move(0, 0);
  dlg->Fill(list);
  dlg->show();
  QApplication::processEvents();  // lays out and paints the first frame
  r.open = MsSince(t0);

  t0 = Clock::now();
  dlg->findChild<QTabWidget*>("WordControl")->setCurrentWidget(dlg->findChild<QWidget*>("WordDel"));
  QApplication::processEvents();
  r.delPage = MsSince(t0);
  r.heap = HeapMiB() - heap0;
  r.rss = RssMiB() - rss0;

  const int rows = dlg->Grid()->rowCount();
  SelectRows(*dlg, rows / 2, rows / 2 + 999);
  t0 = Clock::now();
  dlg->BitBtn1Click();
  QApplication::processEvents();
  r.delBlock = MsSince(t0);

  SelectRows(*dlg, 1, 1);
  t0 = Clock::now();
  dlg->BitBtn1Click();
  QApplication::processEvents();
  r.delOne = MsSince(t0);

  t0 = Clock::now();
  dlg->BitBtn2Click();
  QApplication::processEvents();
  r.add = MsSince(t0);

  t0 = Clock::now();
  std::vector<std::string> lines = dlg->Lines();
  r.okLines = MsSince(t0);
  if (rows > 2000 && lines.size() != static_cast<size_t>(rows - 1 - 1000 - 1 + 1))
    std::fprintf(stderr, "unexpected line count\n");

  dlg->findChild<QTableView*>("StringGrid1")->selectAll();
  t0 = Clock::now();
  dlg->BitBtn1Click();
  QApplication::processEvents();
  r.selectAllDelete = MsSince(t0);

  delete dlg;
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s WORDFILE [ROUNDS]\n", argv[0]);
    return 2;
  }
  if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
  vz::InstallFontSubstitutes();
  QApplication app(argc, argv);
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;

  vz::WordList list;
  list.Load(argv[1]);
  std::printf("word file: %s, %d lines\n", argv[1], list.Count());

  // The first dialog of the process also loads fonts and styles; in the
  // program the main window has done that already.
  vz::WordList empty;
  const Round cold = OneRound(empty);
  std::printf("first opening in the process, empty list (cold fonts, styles): %.1f ms\n", cold.open);
  std::vector<double> emptyOpen;
  for (int i = 0; i < rounds; ++i) emptyOpen.push_back(OneRound(empty).open);
  std::printf("median opening, empty list: %.2f ms\n", Median(emptyOpen));
  const Round first = OneRound(list);
  std::printf("first opening on the word file: %.2f ms\n", first.open);

  std::vector<Round> all;
  for (int i = 0; i < rounds; ++i) all.push_back(OneRound(list));
  auto med = [&](double Round::*f) {
    std::vector<double> v;
    for (const Round& r : all) v.push_back(r.*f);
    return Median(v);
  };
  std::printf("median of %d openings:\n", rounds);
  std::printf("  open (create, fill, show, first paint):  %7.2f ms\n", med(&Round::open));
  std::printf("  switch to the delete page, paint grid:   %7.2f ms\n", med(&Round::delPage));
  std::printf("  heap held by the open dialog:            %7.2f MiB\n", med(&Round::heap));
  std::printf("  resident memory grown (first: %.2f):     %7.2f MiB\n", first.rss, med(&Round::rss));
  std::printf("  delete a 1000-row block mid-list:        %7.2f ms\n", med(&Round::delBlock));
  std::printf("  delete row 1:                            %7.2f ms\n", med(&Round::delOne));
  std::printf("  add a row:                               %7.2f ms\n", med(&Round::add));
  std::printf("  build the lines for OK:                  %7.2f ms\n", med(&Round::okLines));
  std::printf("  select all and delete:                   %7.2f ms\n", med(&Round::selectAllDelete));
  return 0;
}
