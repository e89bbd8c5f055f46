#include "core/text/Utf8Sequence.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace vz::codec {
namespace {

// The first non-ASCII byte from p (end when there is none in reach): whole
// blocks of 64 bytes of ASCII (the answers), then 16, then a byte at a time.
const Byte* SkipAscii(const Byte* p, const Byte* const end) {
#ifdef __SSE2__
  while (end - p >= 64) {
    const auto* block = reinterpret_cast<const __m128i*>(p);
    const __m128i any = _mm_or_si128(_mm_or_si128(_mm_loadu_si128(block), _mm_loadu_si128(block + 1)),
                                     _mm_or_si128(_mm_loadu_si128(block + 2), _mm_loadu_si128(block + 3)));
    if (_mm_movemask_epi8(any)) break;
    p += 64;
  }
  while (end - p >= 16) {
    const int high = _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    if (high) return p + __builtin_ctz(static_cast<unsigned>(high));
    p += 16;
  }
#endif
  while (p < end && *p < 0x80) ++p;
  return p;
}

}  // namespace

// The three-byte characters of kana and kanji are checked without the
// general rule.
bool ValidUtf8Plain(const Byte* p, const Byte* const end) {
  for (p = SkipAscii(p, end); p < end; p = SkipAscii(p, end)) {
    // A run of characters, to the next ASCII byte.
    while (p < end && *p >= 0x80) {
      if (*p >= 0xE1 && *p <= 0xEC && end - p >= 3 && ((p[1] & 0xC0) | (p[2] & 0xC0) >> 2) == 0xA0) {
        p += 3;
        continue;
      }
      const int n = Utf8SequenceAt(p, end);
      if (n == 0) return false;
      p += n;
    }
  }
  return true;
}

}  // namespace vz::codec
