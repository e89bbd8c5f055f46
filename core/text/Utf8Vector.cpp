// The UTF-8 check in vectors of 16, 32 and 64 bytes, and the choice of path
// by what the processor has. The vector check is the lookup algorithm of
// J. Keiser and D. Lemire, "Validating UTF-8 In Less Than One Instruction
// Per Byte", Software: Practice and Experience 51(5), 2021
// (doi:10.1002/spe.2920): each byte's faults are looked up by nibbles in
// three tables and the lookups are ANDed; a vector with any fault left fails.
#include <cstring>

#include "core/text/Encoding.h"
#include "core/text/Utf8Sequence.h"

#ifdef __SSE2__
#include <immintrin.h>
#endif

namespace vz::codec {
namespace {

#if defined(__SSE2__) && (defined(__GNUC__) || defined(__clang__))
#define VZ_UTF8_VECTORS 1
#define VZ_SSSE3 __attribute__((target("ssse3")))
#define VZ_INLINE inline __attribute__((always_inline))
#define VZ_AVX2 __attribute__((target("avx2")))
#define VZ_AVX512 __attribute__((target("avx512f,avx512bw")))
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
// The 32-byte vectors pass only between functions compiled for AVX2.
#pragma GCC diagnostic ignored "-Wpsabi"
// GCC 12's own AVX-512 headers leave a vector they fill in uninitialised.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
constexpr char kShort = 1, kLong = 2, kOver3 = 4, kLarge = 8, kSurrogate = 16, kOver2 = 32, kLarge1000 = 64,
               kOver4 = 64, kTwoConts = static_cast<char>(128), kCarry = kShort | kLong | kTwoConts,
               kBig = kCarry | kLarge | kLarge1000, kCont = kLong | kOver2 | kTwoConts;

// UTF-8 faults a pair of bytes can make, by the high and low half of the first
// byte and the high half of the second.
alignas(16) constexpr char kFirstHigh[16] = {kLong,
                                             kLong,
                                             kLong,
                                             kLong,
                                             kLong,
                                             kLong,
                                             kLong,
                                             kLong,
                                             kTwoConts,
                                             kTwoConts,
                                             kTwoConts,
                                             kTwoConts,
                                             kShort | kOver2,
                                             kShort,
                                             kShort | kOver3 | kSurrogate,
                                             kShort | kLarge | kLarge1000 | kOver4};
alignas(16) constexpr char kFirstLow[16] = {kCarry | kOver3 | kOver2 | kOver4,
                                            kCarry | kOver2,
                                            kCarry,
                                            kCarry,
                                            kCarry | kLarge,
                                            kBig,
                                            kBig,
                                            kBig,
                                            kBig,
                                            kBig,
                                            kBig,
                                            kBig,
                                            kBig,
                                            kBig | kSurrogate,
                                            kBig,
                                            kBig};
alignas(16) constexpr char kSecondHigh[16] = {kShort,
                                              kShort,
                                              kShort,
                                              kShort,
                                              kShort,
                                              kShort,
                                              kShort,
                                              kShort,
                                              kCont | kOver3 | kLarge1000 | kOver4,
                                              kCont | kOver3 | kLarge,
                                              kCont | kSurrogate | kLarge,
                                              kCont | kSurrogate | kLarge,
                                              kShort,
                                              kShort,
                                              kShort,
                                              kShort};

// The faults of UTF-8 found in `v` with `before`, the vector before it:
// each byte is looked up, by the high and low half of the byte before it and
// the high half of its own, in tables of the faults that pair can make (too
// short, too long, overlong, surrogate, above U+10FFFF); a byte that must be
// the third or fourth of a sequence is checked against the bytes before it.
// One definition for vectors of 16, 32 and 64 bytes: the intrinsics of width
// P (_mm, _mm256, _mm512) on SI (si128, ...); TABLE(t) puts a table in every
// 16 bytes; ACROSS is the 16 bytes before each 16 of `v`.
#define VZ_UTF8_FAULTS(TARGET, T, P, SI, TABLE, ACROSS)                                                   \
  TARGET VZ_INLINE T Utf8Faults(T v, T before) {                                                          \
    const T nibble = P##_set1_epi8(0x0F), across = ACROSS;                                                \
    const T prev1 = P##_alignr_epi8(v, across, 15);                                                       \
    const T special = P##_and_##SI(                                                                       \
        P##_and_##SI(P##_shuffle_epi8(TABLE(kFirstHigh), P##_and_##SI(P##_srli_epi16(prev1, 4), nibble)), \
                     P##_shuffle_epi8(TABLE(kFirstLow), P##_and_##SI(prev1, nibble))),                    \
        P##_shuffle_epi8(TABLE(kSecondHigh), P##_and_##SI(P##_srli_epi16(v, 4), nibble)));                \
    const T third = P##_subs_epu8(P##_alignr_epi8(v, across, 14), P##_set1_epi8(0xE0 - 0x80));            \
    const T fourth = P##_subs_epu8(P##_alignr_epi8(v, across, 13), P##_set1_epi8(0xF0 - 0x80));           \
    return P##_xor_##SI(P##_and_##SI(P##_or_##SI(third, fourth), P##_set1_epi8(-0x80)), special);         \
  }
#define VZ_TABLE16(t) _mm_load_si128(reinterpret_cast<const __m128i*>(t))
#define VZ_TABLE32(t) _mm256_broadcastsi128_si256(VZ_TABLE16(t))
#define VZ_TABLE64(t) _mm512_broadcast_i32x4(VZ_TABLE16(t))
VZ_UTF8_FAULTS(VZ_SSSE3, __m128i, _mm, si128, VZ_TABLE16, before)
VZ_UTF8_FAULTS(VZ_AVX2, __m256i, _mm256, si256, VZ_TABLE32, _mm256_permute2x128_si256(before, v, 0x21))
VZ_UTF8_FAULTS(VZ_AVX512, __m512i, _mm512, si512, VZ_TABLE64, _mm512_alignr_epi32(v, before, 12))
#undef VZ_TABLE16
#undef VZ_TABLE32
#undef VZ_TABLE64
#undef VZ_UTF8_FAULTS

// The UTF-8 reading is valid, 64 bytes a step in two halves of 32.
VZ_AVX2 bool ValidUtf8Blocks32(const Byte* p, const Byte* const end) {
  __m256i before = _mm256_setzero_si256(), fault = _mm256_setzero_si256();
  for (; end - p >= 64; p += 64) {
    const __m256i v0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)),
                  v1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
    fault = _mm256_or_si256(fault, _mm256_or_si256(Utf8Faults(v0, before), Utf8Faults(v1, v0)));
    if (!_mm256_testz_si256(fault, fault)) return false;  // text in another encoding fails early
    before = v1;
  }
  Byte last[96] = {};
  std::memcpy(last, p, static_cast<std::size_t>(end - p));
  for (int i = 0; i < 96; i += 32) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(last + i));
    fault = _mm256_or_si256(fault, Utf8Faults(v, before));
    before = v;
  }
  return _mm256_testz_si256(fault, fault);
}

// The UTF-8 reading is valid, 64 bytes a step in one vector.
VZ_AVX512 bool ValidUtf8Blocks64(const Byte* p, const Byte* const end) {
  __m512i before = _mm512_setzero_si512(), fault = _mm512_setzero_si512();
  for (; end - p >= 64; p += 64) {
    const __m512i v = _mm512_loadu_si512(p);
    fault = _mm512_or_si512(fault, Utf8Faults(v, before));
    if (_mm512_test_epi64_mask(fault, fault)) return false;  // text in another encoding fails early
    before = v;
  }
  Byte last[128] = {};
  std::memcpy(last, p, static_cast<std::size_t>(end - p));
  for (int i = 0; i < 128; i += 64) {
    const __m512i v = _mm512_loadu_si512(last + i);
    fault = _mm512_or_si512(fault, Utf8Faults(v, before));
    before = v;
  }
  return !_mm512_test_epi64_mask(fault, fault);
}

// The UTF-8 reading is valid, told 64 bytes at a time without a branch per
// character (needs the byte shuffle of SSSE3).
VZ_SSSE3 bool ValidUtf8Blocks16(const Byte* p, const Byte* const end) {
  // A sequence still open at the end of 16 bytes.
  const __m128i open =
      _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, static_cast<char>(0xF0 - 1),
                    static_cast<char>(0xE0 - 1), static_cast<char>(0xC0 - 1));
  __m128i before = _mm_setzero_si128(), fault = _mm_setzero_si128();
  for (; end - p >= 64; p += 64) {
    const auto* block = reinterpret_cast<const __m128i*>(p);
    const __m128i v0 = _mm_loadu_si128(block), v1 = _mm_loadu_si128(block + 1),
                  v2 = _mm_loadu_si128(block + 2), v3 = _mm_loadu_si128(block + 3);
    if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(v0, v1), _mm_or_si128(v2, v3))) == 0) {
      fault = _mm_or_si128(fault, _mm_subs_epu8(before, open));
    } else {
      fault = _mm_or_si128(_mm_or_si128(fault, Utf8Faults(v0, before)),
                           _mm_or_si128(Utf8Faults(v1, v0), Utf8Faults(v2, v1)));
      fault = _mm_or_si128(fault, Utf8Faults(v3, v2));
      // Text in another encoding fails early.
      if (_mm_movemask_epi8(_mm_cmpeq_epi8(fault, _mm_setzero_si128())) != 0xFFFF) return false;
    }
    before = v3;
  }
  // The rest, padded with NULs: a sequence cut off by the end meets one.
  Byte last[80] = {};
  std::memcpy(last, p, static_cast<std::size_t>(end - p));
  for (int i = 0; i < 80; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(last + i));
    fault = _mm_or_si128(fault, Utf8Faults(v, before));
    before = v;
  }
  return _mm_movemask_epi8(_mm_cmpeq_epi8(fault, _mm_setzero_si128())) == 0xFFFF;
}
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
#undef VZ_SSSE3
#undef VZ_INLINE
#undef VZ_AVX2
#undef VZ_AVX512
#endif

}  // namespace

bool Runs(VectorPath path) {
  switch (path) {
    case VectorPath::kPlain:
      return true;
#ifdef VZ_UTF8_VECTORS
    case VectorPath::kSsse3:
      return __builtin_cpu_supports("ssse3");
    case VectorPath::kAvx2:
      return __builtin_cpu_supports("avx2");
    case VectorPath::kAvx512:
      return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
#endif
    default:
      return false;
  }
}

VectorPath FastestVectorPath() {
  static const VectorPath fastest = [] {
    for (VectorPath path : {VectorPath::kAvx512, VectorPath::kAvx2, VectorPath::kSsse3}) {
      if (Runs(path)) return path;
    }
    return VectorPath::kPlain;
  }();
  return fastest;
}

bool ValidUtf8(std::string_view bytes, VectorPath path) {
  const auto* p = reinterpret_cast<const Byte*>(bytes.data());
  const auto* const end = p + bytes.size();
  switch (Runs(path) ? path : VectorPath::kPlain) {
#ifdef VZ_UTF8_VECTORS
    case VectorPath::kAvx512:
      return ValidUtf8Blocks64(p, end);
    case VectorPath::kAvx2:
      return ValidUtf8Blocks32(p, end);
    case VectorPath::kSsse3:
      return ValidUtf8Blocks16(p, end);
#endif
    default:
      return ValidUtf8Plain(p, end);
  }
}

}  // namespace vz::codec
