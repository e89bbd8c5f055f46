#pragma once
// Qt text <-> the program's byte strings: code page 932 for word lines and
// typed answers, file-system bytes for file and directory names.
#include <QString>
#include <optional>
#include <string>
#include <string_view>

namespace vz::codec {

QString FromCp932(std::string_view bytes);
// nullopt when the text holds a character code page 932 cannot represent.
std::optional<std::string> ToCp932(const QString& text);
// For showing typed text that ToCp932 refused: each character code page 932
// lacks becomes "〓" (the geta mark). Never compared with answers.
std::string ToCp932Lossy(const QString& text);

// File and directory names are file-system bytes, never code page 932.
QString FromFsName(const std::string& name);
std::string ToFsName(const QString& name);

// Messages of the program's errors are UTF-8.
QString FromMessage(const std::string& utf8);

}  // namespace vz::codec
