#include "core/text/EucScan.h"

#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "core/text/AsciiScan.h"
#include "core/text/Encoding.h"
#include "core/text/Readings.h"

namespace vz::codec {
namespace {

#ifdef __SSE2__
struct Block {
  std::uint64_t high;   // bytes 80 to FF
  std::uint64_t bytes;  // bytes A1 to FE, the two-byte characters'
};

Block Masks(const Byte* p) {
  Block b{0, 0};
  const __m128i below = _mm_set1_epi8(static_cast<char>(0xA1 - 1)),
                above = _mm_set1_epi8(static_cast<char>(0xFF));
  for (int i = 0; i < 4; ++i) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p) + i);
    // Signed bytes: A1 to FE lie above A0 and below FF.
    const __m128i in = _mm_and_si128(_mm_cmpgt_epi8(v, below), _mm_cmplt_epi8(v, above));
    auto bits = [](__m128i m) { return std::uint64_t(static_cast<unsigned>(_mm_movemask_epi8(m))); };
    b.high |= bits(v) << (16 * i);
    b.bytes |= bits(in) << (16 * i);
  }
  return b;
}

constexpr std::uint64_t kEven = 0x5555555555555555u, kOdd = ~kEven;

// One block of only ASCII and bytes A1 to FE: every run of the latter must
// pair up. `open` is 1 when the block starts with the second byte of a
// character; it becomes so for the next block. False at a fault.
bool Pairs(std::uint64_t high, std::uint64_t* open) {
  if (*open && !(high & 1)) return false;
  const std::uint64_t h = high & ~*open;
  const std::uint64_t starts = h & ~(h << 1);
  // Adding a run's first bit carries to the bit after its last: a run of
  // even length ends after a bit of the parity it started on.
  const std::uint64_t fromEven = (h + (starts & kEven)) & ~h, fromOdd = (h + (starts & kOdd)) & ~h;
  if ((fromEven & kOdd) || (fromOdd & kEven)) return false;
  // A run that reaches the block's end leaves a character open when odd.
  const int last = h >> 63 ? __builtin_clzll(~h) : 0;
  *open = static_cast<std::uint64_t>(last & 1);
  return true;
}
#endif

}  // namespace

bool ValidEucJp(std::string_view bytes) {
  const auto* p = reinterpret_cast<const Byte*>(bytes.data());
  return ValidEucJp(p, p + bytes.size());
}

bool ValidEucJpPlain(const Byte* p, const Byte* const end) {
  for (p = NextHigh(p, end); p < end; p = NextHigh(p, end)) {
    while (p < end && *p >= 0x80) {
      const int n = EucCharAt(p, end);
      if (n == 0) return false;
      p += n;
    }
  }
  return true;
}

bool ValidEucJp(const Byte* p, const Byte* const end) {
#ifdef __SSE2__
  std::uint64_t open = 0;
  Byte last[64];
  for (const Byte* block = p; block < end;) {
    const Byte* at = block;
    if (end - block < 64) {  // the rest, padded with ASCII
      std::memset(last, 0, sizeof last);
      std::memcpy(last, block, static_cast<std::size_t>(end - block));
      at = last;
    }
    const Block b = Masks(at);
    if (b.high & ~b.bytes) {
      // Half-width katakana and JIS X 0212 (after 8E and 8F), and faults,
      // are read a character at a time, to the first character that ends
      // past the block.
      const Byte* q = block - open;
      const Byte* const stop = end - block < 64 ? end : block + 64;
      while (q < stop) {
        const int n = *q < 0x80 ? 1 : EucCharAt(q, end);
        if (n == 0) return false;
        q += n;
      }
      block = q;
      open = 0;
      continue;
    }
    if (!b.high && open) return false;
    if (!Pairs(b.high, &open)) return false;
    block += 64;
  }
  return !open;
#else
  return ValidEucJpPlain(p, end);
#endif
}

}  // namespace vz::codec
