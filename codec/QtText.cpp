#include "codec/QtText.h"

#include <QFile>

#include "codec/Cp932.h"

namespace vz::codec {

QString FromCp932(std::string_view bytes) {
  const std::string utf8 = Cp932ToUtf8(bytes);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::optional<std::string> ToCp932(const QString& text) {
  // A lone surrogate would turn into a substitute in UTF-8; refuse it too.
  if (!text.isValidUtf16()) return std::nullopt;
  const QByteArray utf8 = text.toUtf8();
  return Utf8ToCp932(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
}

std::string ToCp932Lossy(const QString& text) {
  std::string out;
  for (char32_t c : text.toUcs4()) {
    const QByteArray utf8 = QString::fromUcs4(&c, 1).toUtf8();
    auto bytes = Utf8ToCp932(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
    out += bytes ? *bytes : std::string("\x81\xAC");
  }
  return out;
}

QString FromFsName(const std::string& name) {
  return QFile::decodeName(QByteArray(name.data(), static_cast<qsizetype>(name.size())));
}

std::string ToFsName(const QString& name) { return QFile::encodeName(name).toStdString(); }

QString FromMessage(const std::string& utf8) { return QString::fromStdString(utf8); }

}  // namespace vz::codec
