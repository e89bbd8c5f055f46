#include "core/text/Utf16.h"

#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <immintrin.h>
#endif

namespace vz::codec {
namespace {

char32_t Unit(const unsigned char* at, bool big) {
  return big ? char32_t(at[0]) << 8 | at[1] : char32_t(at[1]) << 8 | at[0];
}

// Writes the UTF-8 of c at out; returns the end.
char* PutUtf8(char* out, char32_t c) {
  if (c < 0x80) {
    *out++ = static_cast<char>(c);
  } else if (c < 0x800) {
    *out++ = static_cast<char>(0xC0 | c >> 6);
    *out++ = static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *out++ = static_cast<char>(0xE0 | c >> 12);
    *out++ = static_cast<char>(0x80 | (c >> 6 & 0x3F));
    *out++ = static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *out++ = static_cast<char>(0xF0 | c >> 18);
    *out++ = static_cast<char>(0x80 | (c >> 12 & 0x3F));
    *out++ = static_cast<char>(0x80 | (c >> 6 & 0x3F));
    *out++ = static_cast<char>(0x80 | (c & 0x3F));
  }
  return out;
}

// One character of the Basic Multilingual Plane (no surrogate) at out,
// without a branch on its length: all of its bytes are made and as many
// as it has are kept. Returns the end.
char* PutBmp(char* out, std::uint32_t c) {
  const std::uint32_t two = (0xC0 | c >> 6) | (0x80 | (c & 0x3F)) << 8;
  const std::uint32_t three = (0xE0 | c >> 12) | (0x80 | (c >> 6 & 0x3F)) << 8 | (0x80 | (c & 0x3F)) << 16;
  const std::uint32_t bytes = c < 0x80 ? c : c < 0x800 ? two : three;
  std::memcpy(out, &bytes, 4);
  return out + 1 + (c >= 0x80) + (c >= 0x800);
}

#ifdef __SSE2__
// Four characters of one to three UTF-8 bytes each, one a 32-bit lane, are
// packed together by one byte shuffle: the shuffle and the bytes it keeps,
// by which lanes hold more than one byte (bits 0 to 3) and more than two
// (bits 4 to 7).
struct Pack {
  alignas(16) std::uint8_t shuffle[16];
  std::uint8_t length;
};
struct PackTable {
  Pack pack[256];
  constexpr PackTable() : pack() {
    for (int m = 0; m < 256; ++m) {
      int n = 0;
      for (int lane = 0; lane < 4; ++lane) {
        const int bytes = 1 + (m >> lane & 1) + (m >> (lane + 4) & 1);
        for (int b = 0; b < bytes; ++b) pack[m].shuffle[n++] = static_cast<std::uint8_t>(4 * lane + b);
      }
      pack[m].length = static_cast<std::uint8_t>(n);
      while (n < 16) pack[m].shuffle[n++] = 0x80;  // a zero byte, past what is kept
    }
  }
};
constexpr PackTable kPacks;

#define VZ_SSSE3 __attribute__((target("ssse3")))

// Four characters below U+10000 (no surrogate), one a 32-bit lane, as
// UTF-8 at out (16 bytes written); returns the end of their bytes.
VZ_SSSE3 char* PutFour(char* out, __m128i c) {
  const __m128i low6 = _mm_set1_epi32(0x3F), cont = _mm_set1_epi32(0x80);
  const __m128i last = _mm_or_si128(cont, _mm_and_si128(c, low6));
  const __m128i middle = _mm_or_si128(cont, _mm_and_si128(_mm_srli_epi32(c, 6), low6));
  const __m128i two =
      _mm_or_si128(_mm_or_si128(_mm_set1_epi32(0xC0), _mm_srli_epi32(c, 6)), _mm_slli_epi32(last, 8));
  const __m128i three = _mm_or_si128(_mm_or_si128(_mm_set1_epi32(0xE0), _mm_srli_epi32(c, 12)),
                                     _mm_or_si128(_mm_slli_epi32(middle, 8), _mm_slli_epi32(last, 16)));
  const __m128i more1 = _mm_cmpgt_epi32(c, _mm_set1_epi32(0x7F));
  const __m128i more2 = _mm_cmpgt_epi32(c, _mm_set1_epi32(0x7FF));
  __m128i bytes = _mm_or_si128(_mm_andnot_si128(more1, c), _mm_and_si128(more1, two));
  bytes = _mm_or_si128(_mm_andnot_si128(more2, bytes), _mm_and_si128(more2, three));
  const int m = _mm_movemask_ps(_mm_castsi128_ps(more1)) | _mm_movemask_ps(_mm_castsi128_ps(more2)) << 4;
  const Pack& pack = kPacks.pack[m];
  const __m128i shuffle = _mm_load_si128(reinterpret_cast<const __m128i*>(pack.shuffle));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_shuffle_epi8(bytes, shuffle));
  return out + pack.length;
}

#define VZ_AVX2 __attribute__((target("avx2")))

// The shuffles of two packs, one a 16-byte lane.
VZ_AVX2 __m256i Shuffles(const Pack& lane0, const Pack& lane1) {
  return _mm256_inserti128_si256(
      _mm256_castsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(lane0.shuffle))),
      _mm_load_si128(reinterpret_cast<const __m128i*>(lane1.shuffle)), 1);
}

// Four characters packed by `pack` at out; returns the end of their bytes.
inline char* Put(char* out, __m128i packed, const Pack& pack) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), packed);
  return out + pack.length;
}

// Sixteen units at once (see PutBlock); the processor has AVX2. Without a
// branch between ASCII and the rest, which alternate too often in a word
// file to be foretold: each unit's bytes are made in 16-bit lanes (its
// first byte and its second: the middle of three, the last of two; apart,
// its last), paired into 32-bit lanes, and each four packed by the shuffle
// for their lengths, as in PutFour.
VZ_AVX2 char* PutBlock16(char* out, const unsigned char* p, bool big) {
  __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  if (big) c = _mm256_or_si256(_mm256_srli_epi16(c, 8), _mm256_slli_epi16(c, 8));
  // Surrogates are D800 to DFFF: 1B in their top five bits.
  const __m256i top5 = _mm256_srli_epi16(c, 11), zero = _mm256_setzero_si256();
  const __m256i surrogate = _mm256_cmpeq_epi16(top5, _mm256_set1_epi16(0x1B));
  if (!_mm256_testz_si256(surrogate, surrogate)) return nullptr;
  const __m256i one = _mm256_cmpeq_epi16(_mm256_srli_epi16(c, 7), zero);  // below 80: one byte
  const __m256i upToTwo = _mm256_cmpeq_epi16(top5, zero);                 // below 800
  const __m256i c6 = _mm256_srli_epi16(c, 6);
  __m256i first = _mm256_blendv_epi8(_mm256_or_si256(c6, _mm256_set1_epi16(0xC0)), c, one);
  first =
      _mm256_blendv_epi8(_mm256_or_si256(_mm256_srli_epi16(c, 12), _mm256_set1_epi16(0xE0)), first, upToTwo);
  const __m256i second = _mm256_slli_epi16(_mm256_blendv_epi8(c6, c, upToTwo), 8);
  const __m256i firstTwo = _mm256_or_si256(
      first,
      _mm256_or_si256(_mm256_and_si256(second, _mm256_set1_epi16(0x3F00)), _mm256_set1_epi16(-0x8000)));
  const __m256i last = _mm256_or_si256(_mm256_and_si256(c, _mm256_set1_epi16(0x3F)), _mm256_set1_epi16(0x80));
  // Units 0 to 3 and 8 to 11, and 4 to 7 and 12 to 15, one a 32-bit lane.
  const __m256i low = _mm256_unpacklo_epi16(firstTwo, last), high = _mm256_unpackhi_epi16(firstTwo, last);
  // The lengths of each four units in a byte, as kPacks is indexed: the
  // masks narrowed to a byte a unit, their quarters put in order, negated.
  const __m256i shorts = _mm256_shuffle_epi32(_mm256_packs_epi16(one, upToTwo), 0xD8);
  const auto m = ~static_cast<std::uint32_t>(_mm256_movemask_epi8(shorts));
  const Pack &p0 = kPacks.pack[m & 0xFF], &p1 = kPacks.pack[m >> 8 & 0xFF], &p2 = kPacks.pack[m >> 16 & 0xFF],
             &p3 = kPacks.pack[m >> 24];
  const __m256i packedLow = _mm256_shuffle_epi8(low, Shuffles(p0, p2));
  const __m256i packedHigh = _mm256_shuffle_epi8(high, Shuffles(p1, p3));
  out = Put(out, _mm256_castsi256_si128(packedLow), p0);
  out = Put(out, _mm256_castsi256_si128(packedHigh), p1);
  out = Put(out, _mm256_extracti128_si256(packedLow, 1), p2);
  return Put(out, _mm256_extracti128_si256(packedHigh, 1), p3);
}
#endif

// Eight units at once, most of a word file (its answers in ASCII, the
// questions in kana and kanji): returns the end of their UTF-8 at out, or
// nullptr when a surrogate is among them. `shuffle`: the processor has
// SSSE3 (and the caller is compiled for it).
template <bool shuffle>
[[gnu::always_inline]] inline char* PutBlock(char* out, const unsigned char* p, bool big) {
#ifdef __SSE2__
  __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  if (big) v = _mm_or_si128(_mm_srli_epi16(v, 8), _mm_slli_epi16(v, 8));
  const __m128i ascii = _mm_cmpeq_epi16(_mm_and_si128(v, _mm_set1_epi16(-0x80)), _mm_setzero_si128());
  if (_mm_movemask_epi8(ascii) == 0xFFFF) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(v, v));
    return out + 8;
  }
  // Surrogates are D800 to DFFF: F800 masked.
  const __m128i surrogate =
      _mm_cmpeq_epi16(_mm_and_si128(v, _mm_set1_epi16(-0x800)), _mm_set1_epi16(static_cast<short>(0xD800)));
  if (_mm_movemask_epi8(surrogate)) return nullptr;
  if constexpr (shuffle) {
    out = PutFour(out, _mm_unpacklo_epi16(v, _mm_setzero_si128()));
    return PutFour(out, _mm_unpackhi_epi16(v, _mm_setzero_si128()));
  }
  alignas(16) std::uint16_t u[8];
  _mm_store_si128(reinterpret_cast<__m128i*>(u), v);
  for (std::uint16_t c : u) out = PutBmp(out, c);
  return out;
#else
  for (int i = 0; i < 8; ++i) {
    if ((Unit(p + 2 * i, big) & 0xF800) == 0xD800) return nullptr;
  }
  for (int i = 0; i < 8; ++i) out = PutBmp(out, Unit(p + 2 * i, big));
  return out;
#endif
}

// The conversion (see Utf16ToUtf8) in blocks of `path`: sixteen units with
// AVX2, eight otherwise, packed by shuffles from SSSE3 on.
template <VectorPath path>
[[gnu::always_inline]] inline Utf8Written Convert(std::string_view units, bool bigEndian, char* out) {
  constexpr std::ptrdiff_t kBlockBytes = path == VectorPath::kAvx2 ? 32 : 16;
  const auto* p = reinterpret_cast<const unsigned char*>(units.data());
  const auto* const end = p + units.size();
  char* const start = out;
  bool clean = true;
  while (end - p >= 2) {
    if (end - p >= kBlockBytes) {
      char* next = nullptr;
#ifdef __SSE2__
      if constexpr (path == VectorPath::kAvx2) next = PutBlock16(out, p, bigEndian);
#endif
      if constexpr (path != VectorPath::kAvx2) next = PutBlock<path == VectorPath::kSsse3>(out, p, bigEndian);
      if (next) {
        out = next;
        p += kBlockBytes;
        continue;
      }
    }
    char32_t c = Unit(p, bigEndian);
    p += 2;
    if (c >= 0xD800 && c < 0xE000) {
      // A high surrogate and a low one make one character; any other
      // surrogate is one unit that does not decode.
      const char32_t low = end - p >= 2 ? Unit(p, bigEndian) : 0;
      if (c < 0xDC00 && low >= 0xDC00 && low < 0xE000) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        p += 2;
      } else {
        c = 0xFFFD;
        clean = false;
      }
    }
    out = PutUtf8(out, c);
  }
  if (p < end) {  // an odd byte at the end
    out = PutUtf8(out, 0xFFFD);
    clean = false;
  }
  return {static_cast<std::size_t>(out - start), clean};
}

#ifdef __SSE2__
[[gnu::flatten]] VZ_SSSE3 Utf8Written ConvertShuffled(std::string_view units, bool bigEndian, char* out) {
  return Convert<VectorPath::kSsse3>(units, bigEndian, out);
}

[[gnu::flatten]] VZ_AVX2 Utf8Written ConvertAvx2(std::string_view units, bool bigEndian, char* out) {
  return Convert<VectorPath::kAvx2>(units, bigEndian, out);
}
#endif

}  // namespace

Utf8Written Utf16ToUtf8(std::string_view units, bool bigEndian, char* out, VectorPath path) {
  switch (Runs(path) ? path : VectorPath::kPlain) {
#ifdef __SSE2__
    case VectorPath::kAvx512:
    case VectorPath::kAvx2:
      return ConvertAvx2(units, bigEndian, out);
    case VectorPath::kSsse3:
      return ConvertShuffled(units, bigEndian, out);
#endif
    default:
      return Convert<VectorPath::kPlain>(units, bigEndian, out);
  }
}

bool AppendUtf16(std::string_view units, bool bigEndian, std::string& text, VectorPath path) {
  const std::size_t at = text.size();
  text.resize(at + Utf8Room(units.size()));
  const Utf8Written written = Utf16ToUtf8(units, bigEndian, text.data() + at, path);
  text.resize(at + written.length);
  return written.clean;
}

}  // namespace vz::codec
