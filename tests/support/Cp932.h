#pragma once
// Code page 932 text for tests and benchmarks, which write their inputs as
// UTF-8 and compare with the bytes a word file holds.
#include <optional>
#include <string>
#include <string_view>

#include "core/text/Convert.h"

namespace vz::codec {

// Decodes like Windows; an invalid or cut-off byte sequence becomes U+FFFD.
inline std::string Cp932ToUtf8(std::string_view bytes) { return ToUtf8(Encoding::Cp932, bytes); }

// Encodes like Windows; nullopt when a character has no code page 932 code.
inline std::optional<std::string> Utf8ToCp932(std::string_view utf8) {
  return FromUtf8(Encoding::Cp932, utf8);
}

}  // namespace vz::codec
