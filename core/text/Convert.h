#pragma once
// Text in any of the word files' encodings <-> UTF-8, through glibc iconv.
// The core's one converter: the screen's text, typed answers and imported
// files all pass through here.
#include <optional>
#include <string>
#include <string_view>

#include "core/text/Encoding.h"

namespace vz::codec {

// `bytes` (without a byte-order mark) in `enc` as UTF-8. `bytes` may be any
// piece of a file cut at a line end. A byte (a code unit in UTF-16) that
// does not decode, or a cut-off sequence, becomes U+FFFD.
std::string ToUtf8(Encoding enc, std::string_view bytes);

// `utf8` in `enc` (no byte-order mark). nullopt when `utf8` is not valid
// UTF-8 or holds a character `enc` lacks: such text must match nothing and
// never be stored with substitutes.
std::optional<std::string> FromUtf8(Encoding enc, std::string_view utf8);

// True when `bytes` decode in `enc` without a single substitute.
bool Decodes(Encoding enc, std::string_view bytes);

}  // namespace vz::codec
