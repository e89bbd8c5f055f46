#pragma once
// The two encodings a word file may be in, and how a file's encoding is told
// from its bytes. A list is in one encoding for its whole life; its lines are
// never converted, only decoded for the screen and typed text encoded to match.
#include <string_view>

namespace vz::codec {

enum class Encoding {
  Cp932,  // Shift-JIS as Windows has it: the program's own files, and the fallback
  Utf8,
};

inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

struct Detected {
  Encoding encoding = Encoding::Cp932;
  bool bom = false;  // the bytes start with the UTF-8 byte-order mark
};

// A byte-order mark means UTF-8; so does text that is valid UTF-8 and holds
// at least one multi-byte sequence. Everything else (code page 932, pure
// ASCII, broken bytes) is code page 932. Depends on the bytes alone.
Detected DetectEncoding(std::string_view bytes);

// Length (2 to 4) of the valid multi-byte UTF-8 sequence `s` starts with;
// 0 when it starts with ASCII, an invalid byte or a cut-off sequence.
int Utf8SequenceAt(std::string_view s);

}  // namespace vz::codec
