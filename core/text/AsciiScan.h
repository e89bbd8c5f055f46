#pragma once
// Scans of a text for its non-ASCII bytes, by vectors where the processor
// has them: most of a word file is ASCII answers, which no reading judges.
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "core/text/Utf8Sequence.h"

namespace vz::codec {

// The bytes from p to end are all ASCII.
bool AllAscii(const Byte* p, const Byte* end);

// The first non-ASCII byte from p (end when there is none), 16 bytes at a
// time: inline, as readings call it for every run of ASCII.
inline const Byte* NextHigh(const Byte* p, const Byte* const end) {
#ifdef __SSE2__
  for (; end - p >= 16; p += 16) {
    const int high = _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    if (high) return p + __builtin_ctz(static_cast<unsigned>(high));
  }
#endif
  while (p < end && *p < 0x80) ++p;
  return p;
}

// Some line begins with a non-ASCII byte (has no state mark).
bool HasHeads(const Byte* p, const Byte* end);

// The end of the line at p (its CR or LF, or `end`), and in `last` the end
// of its last non-ASCII byte (p when it has none).
const Byte* LineEnd(const Byte* p, const Byte* end, const Byte** last);

}  // namespace vz::codec
