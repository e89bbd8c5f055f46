// Program entry: the main window is the program.
#include <QApplication>

#include "app/Main.h"
#include "app/SignalBridge.h"
#include "ui/ErrorGuard.h"
#include "ui/Fonts.h"
#include "ui/Modal.h"

int main(int argc, char** argv) {
  vz::InstallFontSubstitutes();
  // Qt's own menu bar, decided before any menu bar exists: a native one
  // would be looked up (and exported) over D-Bus.
  QCoreApplication::setAttribute(Qt::AA_DontUseNativeMenuBar);
  // The board sends small areas to the X server up to 100 times a second;
  // through shared memory each one costs a completion round trip that
  // wakes two threads, which takes more than copying the few kilobytes.
  if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) qputenv("QT_XCB_NO_MITSHM", "1");
  // Qt reads its own platform options from argv; the program takes none.
  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromUtf8(vz::kAppTitle));
  int rc = 0;
  {
    // A signal or the end of the desktop session ends the program through
    // its normal shutdown, so that settings and progress are saved, whatever
    // box is open; listened for before start-up, which may show a box too.
    vz::SignalBridge sigBridge;
    QObject::connect(&sigBridge, &vz::SignalBridge::terminateRequested, &vz::RequestShutdown);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &vz::RequestShutdown);
    vz::TForm1 form;
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
