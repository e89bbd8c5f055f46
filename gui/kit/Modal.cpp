#include "gui/kit/Modal.h"

#include <QApplication>
#include <QDialog>
#include <QList>
#include <QPointer>
#include <QScreen>
#include <cstdio>

#include "gui/kit/AppTitle.h"

namespace vz {
namespace {

// A box without an owner is centred on the screen. Qt centres it before it
// has taken its final size, which it does only while it is being shown; so
// it is centred again then, before it appears.
class PlainBox : public QMessageBox {
 public:
  using QMessageBox::QMessageBox;

 protected:
  void showEvent(QShowEvent* event) override {
    QMessageBox::showEvent(event);
    if (parentWidget() || !screen()) return;
    const QSize frame = frameGeometry().size();
    move(screen()->availableGeometry().center() - QPoint(frame.width() / 2, frame.height() / 2));
  }
};

bool g_shutdown = false;
QList<QPointer<QDialog>> g_open;  // the dialogs ExecModal is running, outermost first

}  // namespace

int ExecModal(QDialog& dialog) {
  if (g_shutdown) {
    if (auto* box = qobject_cast<QMessageBox*>(&dialog)) {
      std::fprintf(stderr, "%s\n", box->text().toLocal8Bit().constData());
    }
    return QDialog::Rejected;
  }
  g_open.append(&dialog);
  // The window that had the keyboard gets it back once the dialog closes, so
  // that its shortcuts work at once (without a window manager nothing else
  // would hand it back).
  const QPointer<QWidget> active = QApplication::activeWindow();
  const int result = dialog.exec();
  g_open.removeIf([&](const QPointer<QDialog>& d) { return d.isNull() || d == &dialog; });
  if (active && active != &dialog && active->isVisible()) active->activateWindow();
  return result;
}

void RequestShutdown() {
  g_shutdown = true;
  for (auto it = g_open.crbegin(); it != g_open.crend(); ++it) {
    if (*it) (*it)->reject();
  }
  QCoreApplication::exit(0);
}

bool ShutdownRequested() { return g_shutdown; }

std::unique_ptr<QMessageBox> PlainMessageBox(QMessageBox::Icon icon, const QString& title,
                                             const QString& text, QWidget* parent,
                                             QMessageBox::StandardButtons buttons) {
  std::unique_ptr<QMessageBox> box = std::make_unique<PlainBox>(icon, title, QString(), buttons, parent);
  box->setTextFormat(Qt::PlainText);
  box->setText(text);
  return box;
}

void ShowWarning(const QString& text, QWidget* parent) {
  ExecModal(*PlainMessageBox(QMessageBox::Warning, QString::fromUtf8(kAppTitle), text, parent));
}

}  // namespace vz
