#pragma once
// Qt text <-> the program's byte strings: word lines and typed answers in
// their word list's encoding, file-system bytes for file and directory names.
#include <QString>
#include <optional>
#include <string>
#include <string_view>

#include "codec/Encoding.h"

namespace vz::codec {

// Bytes in `enc` as text; bytes that do not decode show as U+FFFD.
QString FromBytes(Encoding enc, std::string_view bytes);
// Text as bytes in `enc`. nullopt when the text holds a character code page
// 932 cannot represent; UTF-8 holds every character.
std::optional<std::string> ToBytes(Encoding enc, const QString& text);
// For showing typed text that ToBytes refused: each character code page 932
// lacks becomes "〓" (the geta mark). Never compared with answers.
std::string ToBytesLossy(Encoding enc, const QString& text);

// File and directory names are file-system bytes, never a word list's.
QString FromFsName(const std::string& name);
std::string ToFsName(const QString& name);

// Messages of the program's errors are UTF-8.
QString FromMessage(const std::string& utf8);

}  // namespace vz::codec
