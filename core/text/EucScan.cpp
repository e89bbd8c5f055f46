#include "core/text/EucScan.h"

#include <bit>
#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <immintrin.h>
#endif

#include "core/text/AsciiScan.h"
#include "core/text/Encoding.h"
#include "core/text/Readings.h"

namespace vz::codec {
namespace {

#ifdef __SSE2__
#define VZ_AVX2 __attribute__((target("avx2,pclmul")))

// A block of 64 bytes: which are 80 to FF (bit i for byte i), and whether
// any of those lies outside A1 to FE, the bytes of two-byte characters.
struct Block {
  std::uint64_t high;
  bool other;
};

constexpr std::uint64_t kEven = 0x5555555555555555u, kOdd = ~kEven;

// One block of only ASCII and bytes A1 to FE: every run of the latter must
// pair up. `open` is 1 when the block starts with the second byte of a
// character; it becomes so for the next block. False at a fault.
[[gnu::always_inline]] inline bool CarryPairs(std::uint64_t high, std::uint64_t* open) {
  if (*open && !(high & 1)) return false;
  const std::uint64_t h = high & ~*open;
  const std::uint64_t starts = h & ~(h << 1);
  // Adding a run's first bit carries to the bit after its last: a run of
  // even length ends after a bit of the parity it started on.
  const std::uint64_t fromEven = (h + (starts & kEven)) & ~h, fromOdd = (h + (starts & kOdd)) & ~h;
  if ((fromEven & kOdd) | (fromOdd & kEven)) return false;
  // A run that reaches the block's end leaves a character open when odd.
  *open = static_cast<std::uint64_t>(std::countl_one(h) & 1);
  return true;
}

// Bytes A1 to FE, less 21, are 80 to DD: below DE as signed bytes, which no
// other byte is once 21 is taken from it. A high byte not so is another.
struct Sse2 {
  static Block Masks(const Byte* p) {
    Block b{0, false};
    const __m128i minus21 = _mm_set1_epi8(0x21), limit = _mm_set1_epi8(static_cast<char>(0xDE));
    __m128i other = _mm_setzero_si128();
    for (int i = 0; i < 4; ++i) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p) + i);
      const __m128i pair = _mm_cmplt_epi8(_mm_sub_epi8(v, minus21), limit);
      other = _mm_or_si128(other, _mm_andnot_si128(pair, v));
      b.high |= std::uint64_t(static_cast<unsigned>(_mm_movemask_epi8(v))) << (16 * i);
    }
    b.other = _mm_movemask_epi8(other) != 0;
    return b;
  }
  static bool Pairs(std::uint64_t high, std::uint64_t* open) { return CarryPairs(high, open); }
};

struct Avx2 {
  VZ_AVX2 static Block Masks(const Byte* p) {
    const __m256i minus21 = _mm256_set1_epi8(0x21), limit = _mm256_set1_epi8(static_cast<char>(0xDE));
    const __m256i v0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)),
                  v1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p) + 1);
    const __m256i pair0 = _mm256_cmpgt_epi8(limit, _mm256_sub_epi8(v0, minus21)),
                  pair1 = _mm256_cmpgt_epi8(limit, _mm256_sub_epi8(v1, minus21));
    const __m256i other = _mm256_or_si256(_mm256_andnot_si256(pair0, v0), _mm256_andnot_si256(pair1, v1));
    return {std::uint64_t(static_cast<unsigned>(_mm256_movemask_epi8(v0))) |
                std::uint64_t(static_cast<unsigned>(_mm256_movemask_epi8(v1))) << 32,
            _mm256_movemask_epi8(other) != 0};
  }
  // The same as CarryPairs by the parity of the high bytes so far, which
  // a carry-less product with all ones gives at every byte: it is even at
  // every ASCII byte exactly when every run pairs up.
  VZ_AVX2 static bool Pairs(std::uint64_t high, std::uint64_t* open) {
    const __m128i all = _mm_set1_epi8(-1);
    const auto parity = static_cast<std::uint64_t>(_mm_cvtsi128_si64(
                            _mm_clmulepi64_si128(_mm_cvtsi64_si128(static_cast<long long>(high)), all, 0))) ^
                        (0 - *open);
    *open = parity >> 63;
    return !(parity & ~high);
  }
};

// The check in blocks of 64 bytes, their masks made by M.
template <class M>
[[gnu::always_inline]] inline bool Blocks(const Byte* p, const Byte* const end) {
  std::uint64_t open = 0;
  Byte last[64];
  for (const Byte* block = p; block < end;) {
    const Byte* at = block;
    if (end - block < 64) {  // the rest, padded with ASCII
      std::memset(last, 0, sizeof last);
      std::memcpy(last, block, static_cast<std::size_t>(end - block));
      at = last;
    }
    const Block b = M::Masks(at);
    if (b.other) {
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
    if (!M::Pairs(b.high, &open)) return false;
    block += 64;
  }
  return !open;
}

[[gnu::flatten]] bool Blocks16(const Byte* p, const Byte* end) { return Blocks<Sse2>(p, end); }
[[gnu::flatten]] VZ_AVX2 bool Blocks32(const Byte* p, const Byte* end) { return Blocks<Avx2>(p, end); }
#endif

}  // namespace

bool ValidEucJp(std::string_view bytes, VectorPath path) {
  const auto* p = reinterpret_cast<const Byte*>(bytes.data());
  return ValidEucJp(p, p + bytes.size(), path);
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

bool ValidEucJp(const Byte* p, const Byte* const end, VectorPath path) {
#ifdef __SSE2__
  switch (Runs(path) ? path : VectorPath::kPlain) {
    case VectorPath::kAvx512:
    case VectorPath::kAvx2: {
      // Every processor with AVX2 known has the carry-less product too.
      static const bool clmul = __builtin_cpu_supports("pclmul");
      return clmul ? Blocks32(p, end) : Blocks16(p, end);
    }
    case VectorPath::kSsse3:
      return Blocks16(p, end);
    default:
      break;
  }
#endif
  return ValidEucJpPlain(p, end);
}

}  // namespace vz::codec
