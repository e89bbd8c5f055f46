#include "codec/TextCut.h"

namespace vz::codec {
namespace {

// A byte that starts a two-byte character; it can also be a second byte.
bool IsLeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// Length of the longest run of whole characters from `from` that fits in
// `maxBytes`.
std::size_t WholeCharacters(std::string_view bytes, std::size_t from, std::size_t maxBytes) {
  std::size_t i = from;
  while (i < bytes.size()) {
    const std::size_t next = i + (IsLeadByte(static_cast<unsigned char>(bytes[i])) ? 2 : 1);
    if (next - from > maxBytes) break;
    i = next;
  }
  return (i < bytes.size() ? i : bytes.size()) - from;
}

}  // namespace

std::string_view Cp932Head(std::string_view bytes, std::size_t maxBytes) {
  if (bytes.size() <= maxBytes) return bytes;
  return bytes.substr(0, WholeCharacters(bytes, 0, maxBytes));
}

std::string_view Cp932Middle(std::string_view bytes, std::size_t maxBytes) {
  if (bytes.size() <= maxBytes) return bytes;
  std::size_t from = (bytes.size() - maxBytes) / 2;
  // The byte before a run of possible first bytes ends a character, and the
  // run pairs up from there: `from` starts a character when the run before
  // it is even. Runs longer than the look-back are taken as even, which at
  // worst pairs the shown bytes one off within such a run.
  constexpr std::size_t kLookBack = 256;
  std::size_t run = 0;
  while (run < kLookBack && run < from && IsLeadByte(static_cast<unsigned char>(bytes[from - run - 1])))
    ++run;
  if (run % 2 == 1 && run < kLookBack) ++from;
  return bytes.substr(from, WholeCharacters(bytes, from, maxBytes));
}

}  // namespace vz::codec
