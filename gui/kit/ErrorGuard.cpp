#include "gui/kit/ErrorGuard.h"

#include <QMessageBox>
#include <QPointer>
#include <QWidget>
#include <algorithm>

#include "gui/kit/Modal.h"
#include "gui/kit/QtText.h"

namespace vz {
namespace {

QPointer<QWidget> g_parent;
bool g_showing = false;

}  // namespace

QString ErrorBoxText(const std::string& message) {
  // The full stop belongs to the message's first line, the system's own
  // text; a reason given on the lines after it stays as it is.
  std::string text = message;
  const std::size_t end = std::min(text.find('\n'), text.size());
  if (end > 0 && static_cast<unsigned char>(text[end - 1]) > static_cast<unsigned char>('.')) {
    text.insert(end, 1, '.');
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
