#include "ui/Modal.h"

#include <QCoreApplication>
#include <QDialog>
#include <QList>
#include <QPointer>
#include <cstdio>

namespace vz {
namespace {

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
  const int result = dialog.exec();
  g_open.removeIf([&](const QPointer<QDialog>& d) { return d.isNull() || d == &dialog; });
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
                                             const QString& text, QWidget* parent) {
  auto box = std::make_unique<QMessageBox>(icon, title, QString(), QMessageBox::Ok, parent);
  box->setTextFormat(Qt::PlainText);
  box->setText(text);
  return box;
}

}  // namespace vz
