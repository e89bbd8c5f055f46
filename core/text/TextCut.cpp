#include "core/text/TextCut.h"

#include <algorithm>

namespace vz::codec {
namespace {

// UTF-8: a byte that continues a character.
bool IsContinuation(char b) { return (static_cast<unsigned char>(b) & 0xC0) == 0x80; }

// Length of the character at `i` in code page 932 or EUC-JP (a broken one
// counts as what its first byte starts, cut at the end of the text).
std::size_t CharAt(std::string_view bytes, std::size_t i, Encoding enc) {
  const auto b = static_cast<unsigned char>(bytes[i]);
  if (enc == Encoding::EucJp) return b < 0x80 ? 1 : b == 0x8F ? 3 : 2;
  return IsCp932Lead(b) ? 2 : 1;
}

// Length of the longest run of whole characters from `from` that fits in
// `maxBytes`; `from` starts a character.
std::size_t WholeCharacters(std::string_view bytes, std::size_t from, std::size_t maxBytes, Encoding enc) {
  std::size_t to = from + maxBytes;
  if (to >= bytes.size()) return bytes.size() - from;
  if (LineEncoding(enc) == Encoding::Utf8) {
    while (to > from && IsContinuation(bytes[to])) --to;
    return to - from;
  }
  std::size_t i = from;
  while (i < to) {
    const std::size_t next = i + CharAt(bytes, i, enc);
    if (next > to) break;
    i = next;
  }
  return i - from;
}

}  // namespace

std::string_view Head(std::string_view bytes, std::size_t maxBytes, Encoding enc) {
  if (bytes.size() <= maxBytes) return bytes;
  return bytes.substr(0, WholeCharacters(bytes, 0, maxBytes, enc));
}

std::string_view Middle(std::string_view bytes, std::size_t maxBytes, Encoding enc) {
  if (bytes.size() <= maxBytes) return bytes;
  std::size_t from = (bytes.size() - maxBytes) / 2;
  if (LineEncoding(enc) == Encoding::Utf8) {
    while (from < bytes.size() && IsContinuation(bytes[from])) ++from;
  } else if (enc == Encoding::EucJp) {
    // Characters are read from the last ASCII byte before the middle (or
    // from a bounded look-back, which at worst pairs the shown bytes one off).
    constexpr std::size_t kLookBack = 256;
    std::size_t i = from;
    while (i > 0 && from - i < kLookBack && static_cast<unsigned char>(bytes[i - 1]) >= 0x80) --i;
    while (i < from) i += CharAt(bytes, i, enc);
    from = std::min(i, bytes.size());
  } else {
    // The byte before a run of possible first bytes ends a character, and
    // the run pairs up from there: `from` starts a character when the run
    // before it is even. Runs longer than the look-back are taken as even,
    // which at worst pairs the shown bytes one off within such a run.
    constexpr std::size_t kLookBack = 256;
    std::size_t run = 0;
    while (run < kLookBack && run < from && IsCp932Lead(static_cast<unsigned char>(bytes[from - run - 1])))
      ++run;
    if (run % 2 == 1 && run < kLookBack) ++from;
  }
  return bytes.substr(from, WholeCharacters(bytes, from, maxBytes, enc));
}

}  // namespace vz::codec
