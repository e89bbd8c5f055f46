#pragma once
// Qt text <-> the program's byte strings: word lines and typed answers in
// their word list's encoding, file-system bytes for file and directory names.
#include <QString>
#include <optional>
#include <string>
#include <string_view>

#include "core/text/Encoding.h"

namespace vz::codec {

// Bytes in `enc` as text; bytes that do not decode show as U+FFFD. `enc`
// is a list's encoding: UTF-16 stands for the UTF-8 its lines are held in.
QString FromBytes(Encoding enc, std::string_view bytes);
// Text as bytes in `enc`. nullopt when the text holds a character `enc`
// cannot represent (code page 932 and EUC-JP lack many); UTF-8 holds every
// character.
std::optional<std::string> ToBytes(Encoding enc, const QString& text);
// For showing typed text that ToBytes refused: each character `enc` lacks
// becomes "〓" (the geta mark). Never compared with answers.
std::string ToBytesLossy(Encoding enc, const QString& text);

// File and directory names are file-system bytes, never a word list's. A
// name that is not valid UTF-8 shows with U+FFFD and does not come back from
// its text: keep such names as bytes.
QString FromFsName(const std::string& name);
std::string ToFsName(const QString& name);

// Messages of the program's errors are UTF-8.
QString FromMessage(const std::string& utf8);

}  // namespace vz::codec
