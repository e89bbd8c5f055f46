#include "codec/Encoding.h"

#include <cstdint>
#include <cstring>

namespace vz::codec {
namespace {

// Length (2 to 4) of the valid multi-byte sequence at p (before end); 0 when
// there is none. The range of the second byte excludes overlong forms,
// surrogates and code points above U+10FFFF.
int SequenceAt(const unsigned char* p, const unsigned char* end) {
  const unsigned char c = p[0];
  int n;
  unsigned char lo = 0x80, hi = 0xBF;
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3;
    if (c == 0xE0) lo = 0xA0;
    if (c == 0xED) hi = 0x9F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4;
    if (c == 0xF0) lo = 0x90;
    if (c == 0xF4) hi = 0x8F;
  } else {
    return 0;
  }
  if (end - p < n || p[1] < lo || p[1] > hi) return 0;
  for (int i = 2; i < n; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
  }
  return n;
}

// True when `bytes` is valid UTF-8; `multibyte` tells whether any sequence
// was longer than one byte. Runs of ASCII are passed eight bytes at a time:
// a big UTF-8 word file is mostly ASCII answers.
bool ValidUtf8(std::string_view bytes, bool* multibyte) {
  *multibyte = false;
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const auto* const end = p + bytes.size();
  while (p < end) {
    if (end - p >= 8) {
      std::uint64_t word;
      std::memcpy(&word, p, 8);
      if ((word & 0x8080808080808080u) == 0) {
        p += 8;
        continue;
      }
    }
    if (*p < 0x80) {
      ++p;
      continue;
    }
    const int n = SequenceAt(p, end);
    if (n == 0) return false;
    *multibyte = true;
    p += n;
  }
  return true;
}

}  // namespace

int Utf8SequenceAt(std::string_view s) {
  if (s.empty()) return 0;
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  return SequenceAt(p, p + s.size());
}

Detected DetectEncoding(std::string_view bytes) {
  if (bytes.starts_with(kUtf8Bom)) return {Encoding::Utf8, true};
  bool multibyte = false;
  if (ValidUtf8(bytes, &multibyte) && multibyte) return {Encoding::Utf8, false};
  return {};
}

}  // namespace vz::codec
