#include "gui/kit/QtText.h"

#include <QFile>

#include "core/text/Convert.h"

namespace vz::codec {
namespace {

QString QFromUtf8(std::string_view utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::optional<std::string> Encode(Encoding enc, const QString& text) {
  // A lone surrogate would turn into a substitute in UTF-8; refuse it too.
  if (!text.isValidUtf16()) return std::nullopt;
  const QByteArray utf8 = text.toUtf8();
  return FromUtf8(enc, std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
}

}  // namespace

QString FromBytes(Encoding enc, std::string_view bytes) {
  // Qt's UTF-8 decoder turns every invalid sequence into U+FFFD.
  enc = LineEncoding(enc);
  return enc == Encoding::Utf8 ? QFromUtf8(bytes) : QFromUtf8(ToUtf8(enc, bytes));
}

std::optional<std::string> ToBytes(Encoding enc, const QString& text) {
  // Qt's UTF-8 encoder always gives valid UTF-8 (a lone surrogate becomes a
  // substitute): a UTF-8 list can store whatever can be typed.
  enc = LineEncoding(enc);
  if (enc == Encoding::Utf8) return text.toStdString();
  return Encode(enc, text);
}

std::string ToBytesLossy(Encoding enc, const QString& text) {
  if (auto bytes = ToBytes(enc, text)) return std::move(*bytes);
  enc = LineEncoding(enc);
  const std::string geta = *FromUtf8(enc, "〓");
  std::string out;
  for (char32_t c : text.toUcs4()) {
    auto bytes = Encode(enc, QString::fromUcs4(&c, 1));
    out += bytes ? *bytes : geta;
  }
  return out;
}

QString FromFsName(const std::string& name) {
  return QFile::decodeName(QByteArray(name.data(), static_cast<qsizetype>(name.size())));
}

std::string ToFsName(const QString& name) { return QFile::encodeName(name).toStdString(); }

QString FromMessage(const std::string& utf8) { return QString::fromStdString(utf8); }

}  // namespace vz::codec
