#include "gui/kit/ErrorGuard.h"

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include "gui/kit/Modal.h"
#include "gui/kit/QtText.h"

namespace vz {
namespace {

QPointer<QWidget> g_parent;
bool g_showing = false;

}  // namespace

QString ErrorBoxText(const std::string& message) {
  std::string text = message;
  if (!text.empty() && static_cast<unsigned char>(text.back()) > static_cast<unsigned char>('.')) {
    text += '.';
  }
  return codec::FromMessage(text);
}

void SetErrorBoxParent(QWidget* parent) { g_parent = parent; }

void ShowErrorBox(const std::string& message) {
  if (g_showing) return;
  g_showing = true;
  QWidget* parent = g_parent && g_parent->isVisible() ? g_parent.data() : nullptr;
  ExecModal(
      *PlainMessageBox(QMessageBox::Critical, QString::fromUtf8(kAppTitle), ErrorBoxText(message), parent));
  g_showing = false;
}

}  // namespace vz
