#include "gui/leakbox/LeakBox.h"

#include <QApplication>
#include <QMessageBox>
#include <charconv>
#include <cstring>

#include "gui/kit/Fonts.h"

namespace vz::memcheck {

QString LeakBoxCaption() { return QStringLiteral("メモリーリークエラー"); }

QString LeakBoxText(int count) {
  return QString::number(count) + QStringLiteral(" 回メモリーを解放し忘れています");
}

std::optional<int> ParseCount(const char* arg) {
  if (!arg) return std::nullopt;
  const char* end = arg + std::strlen(arg);
  int value = 0;
  auto [rest, ec] = std::from_chars(arg, end, value);
  if (ec != std::errc() || rest != end || rest == arg) return std::nullopt;
  return value;
}

void InstallLeakBoxFont() { InstallFontSubstitutes(); }

void UseLeakBoxFont() { QApplication::setFont(UiFont(kPx9pt)); }

std::unique_ptr<QMessageBox> MakeLeakBox(int count) {
  auto box = std::make_unique<QMessageBox>(QMessageBox::Warning, LeakBoxCaption(), QString(), QMessageBox::Ok,
                                           nullptr);
  box->setTextFormat(Qt::PlainText);
  box->setText(LeakBoxText(count));
  return box;
}

}  // namespace vz::memcheck
