// Program entry: the main window is the program.
#include <QApplication>
#include <cstdio>
#include <string>

#include "core/files/Error.h"
#include "core/files/Recovery.h"
#include "core/import/ImportCommand.h"
#include "core/records/StatsCommand.h"
#include "gui/kit/ErrorGuard.h"
#include "gui/kit/Fonts.h"
#include "gui/kit/Modal.h"
#include "gui/kit/QtText.h"
#include "gui/window/CommandLine.h"
#include "gui/window/Desktop.h"
#include "gui/window/MainWindow.h"
#include "gui/window/SignalBridge.h"
#include "leakcheck/MemCheck.h"

int main(int argc, char** argv) {
  // An import converts a file and ends: no window, no display.
  if (const auto rc = vz::import::RunImportCommand(argc, argv, stdout, stderr)) return *rc;
  // So does a summary of the learning records.
  if (const auto rc = vz::records::RunStatsCommand(argc, argv, stdout, stderr)) return *rc;
  // --help, --version and usage errors need no display.
  const vz::CommandLine cmd = vz::ParseCommandLine(argc, argv);
  if (cmd.exitCode) {
    std::fputs(cmd.text.c_str(), *cmd.exitCode == 0 ? stdout : stderr);
    return *cmd.exitCode;
  }
  vz::PreferX11();
  // Without a display Qt would abort; the user is told what is missing.
  if (const std::string missing = vz::MissingDisplayMessage(argc, argv); !missing.empty()) {
    std::fputs(missing.c_str(), stderr);
    return 1;
  }
  vz::InstallFontSubstitutes();
  // Qt's own menu bar, decided before any menu bar exists: a native one
  // would be looked up (and exported) over D-Bus.
  QCoreApplication::setAttribute(Qt::AA_DontUseNativeMenuBar);
  // The board sends small areas to the X server many times a second (the
  // time bar up to 10, the sliding history up to 100); through shared memory
  // each one costs a completion round trip that wakes two threads, which
  // takes more than copying the few kilobytes.
  if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) qputenv("QT_XCB_NO_MITSHM", "1");
  // Qt takes its own platform options out of argv.
  QApplication app(argc, argv);
  // The name desktops match the window by: both parts of its WM_CLASS (the
  // instance name is the executable's) and the desktop entry's
  // StartupWMClass. Captions keep the title.
  QApplication::setApplicationName(QString::fromUtf8(vz::kDesktopFileName));
  QApplication::setApplicationVersion(QStringLiteral(VEVEZ_VERSION));
  QGuiApplication::setDesktopFileName(QString::fromUtf8(vz::kDesktopFileName));
  QApplication::setWindowIcon(vz::AppIcon());
  vz::InstallJapaneseTranslations();
  {
    // The graphics driver keeps blocks for the life of the process (Mesa's
    // LLVM keeps its options until a shutdown call nobody makes); set aside,
    // they are not the program's leaks.
    vz::memcheck::SetAside driver;
    vz::SetUpWaylandGraphics();
  }
  int rc = 0;
  {
    // A signal or the end of the desktop session ends the program through
    // its normal shutdown, so that settings and progress are saved, whatever
    // box is open; listened for before start-up, which may show a box too.
    // Nobody may be there to close a leak report's box then.
    auto endUnattended = vz::Guarded([] {
      vz::memcheck::ReportOnStandardError();
      vz::RequestShutdown();
    });
    vz::SignalBridge sigBridge;
    QObject::connect(&sigBridge, &vz::SignalBridge::terminateRequested, endUnattended);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, endUnattended);
    // A rewrite in place that a crash cut short is undone before anything
    // is loaded, and the user is told once.
    std::string undone;
    for (const vz::InterruptedRewrite& r : vz::RecoverInterruptedRewrites()) {
      undone += vz::InterruptedRewriteMessage(r) + "\n";
    }
    if (!undone.empty()) {
      vz::ShowWarning(vz::codec::FromMessage(undone));
    }
    vz::TForm1 form(nullptr, {}, cmd.file);
    if (!vz::ShutdownRequested()) {
      form.show();
      rc = app.exec();
    }
    form.hide();
    form.FormDestroy();
  }
  // Objects deleted later are released while the application still exists.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  return rc;
}
