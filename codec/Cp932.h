#pragma once
// Code page 932 (Shift-JIS as Windows has it) <-> UTF-8, through glibc iconv.
// Word lines are kept as code page 932 bytes; this is the one place where
// they are turned into text and typed text back into bytes.
#include <optional>
#include <string>
#include <string_view>

namespace vz::codec {

// Decodes like Windows; an invalid or cut-off byte sequence becomes U+FFFD.
std::string Cp932ToUtf8(std::string_view bytes);

// Encodes like Windows (also U+301C, U+2212, U+2016, U+00AC, which Linux
// input methods type). nullopt when any character has no code page 932 code
// or the input is not valid UTF-8: such text must match nothing and never be
// stored with substitutes.
std::optional<std::string> Utf8ToCp932(std::string_view utf8);

}  // namespace vz::codec
