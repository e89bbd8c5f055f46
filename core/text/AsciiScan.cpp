#include "core/text/AsciiScan.h"

#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace vz::codec {

bool AllAscii(const Byte* p, const Byte* end) {
  for (; end - p >= 8; p += 8) {
    std::uint64_t word;
    std::memcpy(&word, p, 8);
    if (word & 0x8080808080808080u) return false;
  }
  for (; p < end; ++p) {
    if (*p >= 0x80) return false;
  }
  return true;
}

// 64 bytes at a time: the non-ASCII bytes against the bytes just after a CR or LF.
bool HasHeads(const Byte* p, const Byte* const end) {
  const Byte* const begin = p;
  std::uint64_t after = 1;  // the next byte starts a line
#ifdef __SSE2__
  const __m128i cr = _mm_set1_epi8('\r'), lf = _mm_set1_epi8('\n');
  auto bits = [](__m128i v) { return std::uint64_t(static_cast<unsigned>(_mm_movemask_epi8(v))); };
  for (; end - p >= 64; p += 64) {
    const auto* block = reinterpret_cast<const __m128i*>(p);
    std::uint64_t high = 0, ends = 0;
    for (int i = 0; i < 4; ++i) {
      const __m128i v = _mm_loadu_si128(block + i);
      high |= bits(v) << (16 * i);
      ends |= bits(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf))) << (16 * i);
    }
    if (high & (ends << 1 | after)) return true;
    after = ends >> 63;
  }
#endif
  for (; p < end; ++p) {
    if (*p >= 0x80 && (p == begin || p[-1] == '\n' || p[-1] == '\r')) return true;
  }
  (void)after;
  return false;
}

// 16 bytes at a time.
const Byte* LineEnd(const Byte* p, const Byte* end, const Byte** last) {
  *last = p;
#ifdef __SSE2__
  const __m128i cr = _mm_set1_epi8('\r'), lf = _mm_set1_epi8('\n');
  for (; end - p >= 16; p += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const unsigned ends =
        static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf))));
    unsigned high = static_cast<unsigned>(_mm_movemask_epi8(v));
    if (ends) high &= (ends & (0 - ends)) - 1;
    if (high) *last = p + 32 - __builtin_clz(high);
    if (ends) return p + __builtin_ctz(ends);
  }
#endif
  for (; p < end && *p != '\n' && *p != '\r'; ++p) {
    if (*p >= 0x80) *last = p + 1;
  }
  return p;
}

}  // namespace vz::codec
