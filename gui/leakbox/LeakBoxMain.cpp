// vevez-leakbox COUNT: shows the leak report's warning box and returns when
// the user has closed it. The program starts it from its very last exit
// handler, when Qt can no longer be used inside the program itself.

#include <QApplication>
#include <QMessageBox>
#include <cstdio>

#include "gui/leakbox/LeakBox.h"

int main(int argc, char** argv) {
  std::optional<int> count = argc == 2 ? vz::memcheck::ParseCount(argv[1]) : std::nullopt;
  if (!count) {
    std::fputs("usage: vevez-leakbox COUNT\n", stderr);
    return 2;
  }
  vz::memcheck::InstallLeakBoxFont();
  QApplication app(argc, argv);
  vz::memcheck::UseLeakBoxFont();
  vz::memcheck::MakeLeakBox(*count)->exec();
  return 0;
}
