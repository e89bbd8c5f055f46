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

// The byte-order mark of each encoding, by its value ("" for the encodings
// without one). A file that starts with one is in that encoding.
inline constexpr std::string_view kBoms[] = {"", "\xEF\xBB\xBF", "", "\xFF\xFE", "\xFE\xFF"};
constexpr std::string_view BomOf(Encoding enc) { return kBoms[static_cast<int>(enc)]; }
inline constexpr std::string_view kUtf8Bom = BomOf(Encoding::Utf8);

// Code page 932: a byte that starts a two-byte character. It may also be
// the second byte of one.
constexpr bool IsCp932Lead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

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

// How the UTF-8 and EUC-JP checks and the UTF-16 conversion run: in vectors
// of 16, 32 or 64 bytes (the processor needs SSSE3, AVX2 or AVX-512; the
// EUC-JP check and the conversion take 32 for 64), or a character at a time
// past runs of ASCII. Every path gives the same answer; each is fastest
// where it runs.
enum class VectorPath { kPlain = 0, kSsse3 = 16, kAvx2 = 32, kAvx512 = 64 };
inline constexpr VectorPath kVectorPaths[] = {VectorPath::kPlain, VectorPath::kSsse3, VectorPath::kAvx2,
                                              VectorPath::kAvx512};
// This processor (and this build) runs `path`: the plain path runs everywhere.
bool Runs(VectorPath path);
// The fastest path this processor runs, chosen once.
VectorPath FastestVectorPath();

// The bytes are valid UTF-8; bytes cut in the middle of a sequence are not.
// A path this processor does not run is taken as the plain one.
bool ValidUtf8(std::string_view bytes, VectorPath path = FastestVectorPath());

// The bytes read as EUC-JP by the form of their characters (a code no
// table assigns still reads); bytes cut in the middle of one do not.
bool ValidEucJp(std::string_view bytes, VectorPath path = FastestVectorPath());

// A byte-order mark decides. Without one, the most plausible reading of the
// bytes as Japanese or Latin text: every reading must be valid, and among
// the valid ones the text scores by what its characters are (kana, kanji,
// accented letters inside Latin words against scripts far from Japanese).
// Pure ASCII, and bytes valid in no reading, are code page 932. Depends on
// the bytes alone; marking a line (see FirstCharLength) does not change it
// where Detected::stable says so. `path` is how ValidUtf8 and ValidEucJp check
// the bytes.
Detected DetectEncoding(std::string_view bytes, VectorPath path = FastestVectorPath());
// What a caller that has just gone through every line of the bytes knows.
struct Seen {
  bool heads = false;  // some line begins with a non-ASCII byte (no state mark)
  bool utf8 = false;   // the bytes are valid UTF-8 (ValidUtf8)
  bool eucJp = false;  // the bytes read as EUC-JP (ValidEucJp)
};
// The same as DetectEncoding(bytes), without looking again.
Detected DetectEncoding(std::string_view bytes, const Seen& seen);

// The encoding a list's lines are held in: a UTF-16 file's lines are UTF-8.
constexpr Encoding LineEncoding(Encoding file) {
  return file == Encoding::Utf16Le || file == Encoding::Utf16Be ? Encoding::Utf8 : file;
}

// How many bytes of a line the state mark replaces: its whole first
// character in a multi-byte encoding (1 when that is not a valid character),
// but one byte in code page 932, as the program always did. 0 for "".
std::size_t FirstCharLength(Encoding lines, std::string_view line);

}  // namespace vz::codec
