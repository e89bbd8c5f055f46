#pragma once
// The encodings a word file may be in, and how a file's encoding is told
// from its bytes. A list is in one encoding for its whole life; its lines are
// never converted, only decoded for the screen and typed text encoded to
// match. A UTF-16 file is the one exception: its lines are held as UTF-8 and
// written back in the file's own byte order.
#include <cstddef>
#include <string_view>

namespace vz::codec {

enum class Encoding {
  Cp932,  // Shift-JIS as Windows has it: the program's own files, and the fallback
  Utf8,
  EucJp,    // EUC-JP with JIS X 0212 (EDICT, SKK dictionaries, older Linux text)
  Utf16Le,  // only with a byte-order mark (Notepad's "Unicode", Excel's "Unicode text")
  Utf16Be,
};

inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
inline constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
inline constexpr std::string_view kUtf16BeBom = "\xFE\xFF";

struct Detected {
  Encoding encoding = Encoding::Cp932;
  // Length of the byte-order mark the bytes start with (0: none). It is the
  // mark of `encoding`: 3 for UTF-8, 2 for UTF-16; Cp932 and EUC-JP have none.
  std::size_t bom = 0;
  // Marking lines as a list in `encoding` marks them, in any number and
  // order, keeps the text in this encoding (or makes it pure ASCII). False
  // when that is not shown: some lines without a state mark read so
  // differently that the encoding is a guess, which marking may change.
  bool stable = true;
  bool operator==(const Detected&) const = default;
};

// The byte-order mark of `enc` ("" for the encodings without one).
std::string_view BomOf(Encoding enc);

// A byte-order mark decides. Without one, the most plausible reading of the
// bytes as Japanese or Latin text: every reading must be valid, and among
// the valid ones the text scores by what its characters are (kana, kanji,
// accented letters inside Latin words against scripts far from Japanese).
// Pure ASCII, and bytes valid in no reading, are code page 932. Depends on
// the bytes alone; marking a line (see FirstCharLength) does not change it
// where Detected::stable says so.
Detected DetectEncoding(std::string_view bytes);
// What a caller that has just gone through every line of the bytes knows.
struct Seen {
  bool heads = false;  // some line begins with a non-ASCII byte (no state mark)
  bool utf8 = false;   // the bytes are valid UTF-8 (ValidUtf8)
};
// The same as DetectEncoding(bytes), without looking again.
Detected DetectEncoding(std::string_view bytes, const Seen& seen);

// The bytes are valid UTF-8, told at the speed of the processor's vector
// instructions (64 bytes a step); bytes cut in the middle of a sequence are not.
bool ValidUtf8(std::string_view bytes);

// The encoding a list's lines are held in: a UTF-16 file's lines are UTF-8.
constexpr Encoding LineEncoding(Encoding file) {
  return file == Encoding::Utf16Le || file == Encoding::Utf16Be ? Encoding::Utf8 : file;
}

// Length (2 to 4) of the valid multi-byte UTF-8 sequence `s` starts with;
// 0 when it starts with ASCII, an invalid byte or a cut-off sequence.
int Utf8SequenceAt(std::string_view s);

// How many bytes of a line the state mark replaces: its whole first
// character in a multi-byte encoding (1 when that is not a valid character),
// but one byte in code page 932, as the program always did. 0 for "".
std::size_t FirstCharLength(Encoding lines, std::string_view line);

}  // namespace vz::codec
