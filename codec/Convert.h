#pragma once
// Text of any encoding a word file may be in <-> UTF-8, for converters that
// read files in one encoding and write them in another.
#include <optional>
#include <string>
#include <string_view>

#include "codec/Encoding.h"

namespace vz::codec {

// Decodes `bytes` (no byte-order mark; a piece of a text cut at a line end is
// fine). An undecodable sequence becomes U+FFFD.
std::string ToUtf8(Encoding enc, std::string_view bytes);

// Encodes UTF-8 text; nullopt when a character has no code in `enc` (or the
// text is not valid UTF-8).
std::optional<std::string> FromUtf8(Encoding enc, std::string_view utf8);

}  // namespace vz::codec
