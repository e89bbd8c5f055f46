#pragma once
// UTF-16 code units to UTF-8 in one streaming pass: a UTF-16 word file is
// held as UTF-8, and it is converted as it is read, a piece at a time.
#include <functional>
#include <string_view>

namespace vz::codec {

// Converts `units` (UTF-16, big-endian when `bigEndian`, no byte-order mark)
// to UTF-8 and hands the result to `sink` in pieces of up to 64 KiB, in
// order. A code unit that does not decode (a lone surrogate) and a byte
// left over at the end each become one U+FFFD. True when none did.
// `plain`: without the byte shuffles of SSSE3, as on a processor that lacks
// them (the result is the same; tests run both).
bool Utf16ToUtf8(std::string_view units, bool bigEndian, const std::function<void(std::string_view)>& sink,
                 bool plain = false);

}  // namespace vz::codec
