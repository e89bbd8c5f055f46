#include "leakcheck/LeakBox.h"

#include "app/Fonts.h"

#include <QApplication>
#include <QFont>
#include <QMessageBox>
#include <charconv>
#include <cstring>

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

void InstallLeakBoxFont() { QFont::insertSubstitution(kUiFace, "IPAPGothic"); }

void UseLeakBoxFont() {
  QFont font(kUiFace);
  font.setPixelSize(kPx9pt);
  QApplication::setFont(font);
}

std::unique_ptr<QMessageBox> MakeLeakBox(int count) {
  return std::make_unique<QMessageBox>(QMessageBox::Warning, LeakBoxCaption(), LeakBoxText(count),
                                       QMessageBox::Ok, nullptr);
}

}  // namespace vz::memcheck
