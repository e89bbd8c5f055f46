// Widget tests run with QT_QPA_PLATFORM=offscreen under one QApplication. A
// modal window that a test does not expect fails it at once (support/Modal.h).
#include <gtest/gtest.h>

#include <QApplication>

#include "gui/kit/Fonts.h"
#include "support/Modal.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
  vz::InstallFontSubstitutes();
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  vz::test::WatchModals(app);
  return RUN_ALL_TESTS();
}
