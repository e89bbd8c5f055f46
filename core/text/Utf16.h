#pragma once
// UTF-16 code units to UTF-8 in one pass: a UTF-16 word file is held as
// UTF-8, converted straight into the memory that then holds it.
#include <cstddef>
#include <string>
#include <string_view>

#include "core/text/Encoding.h"

namespace vz::codec {

// The bytes Utf16ToUtf8 may write for `size` bytes of UTF-16: three of
// UTF-8 at most for each unit (and for a byte left over), and the bytes a
// vector store writes past the end of what it keeps.
constexpr std::size_t Utf8Room(std::size_t size) { return (size + 1) / 2 * 3 + 16; }

struct Utf8Written {
  std::size_t length;  // bytes of UTF-8 written
  bool clean;          // every unit decoded
};

// Converts `units` (UTF-16, big-endian when `bigEndian`, no byte-order mark)
// to UTF-8 at `out`, which has room for Utf8Room(units.size()) bytes. A
// code unit that does not decode (a lone surrogate) and a byte left over at
// the end each become one U+FFFD. `path`: the vectors it runs in (the plain
// path packs characters one by one); every path gives the same bytes, and
// one this processor does not run is taken as the plain one.
Utf8Written Utf16ToUtf8(std::string_view units, bool bigEndian, char* out,
                        VectorPath path = FastestVectorPath());

// The same, appended to `text`; true when every unit decoded.
bool AppendUtf16(std::string_view units, bool bigEndian, std::string& text,
                 VectorPath path = FastestVectorPath());

}  // namespace vz::codec
