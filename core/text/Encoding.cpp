#include "core/text/Encoding.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>

#ifdef __SSE2__
#include <emmintrin.h>
#include <immintrin.h>
#endif

namespace vz::codec {
namespace {

using Byte = unsigned char;

// Length (2 to 4) of the valid multi-byte sequence at p (before end); 0 when
// there is none. The range of the second byte excludes overlong forms,
// surrogates and code points above U+10FFFF.
int SequenceAt(const Byte* p, const Byte* end) {
  const Byte c = p[0];
  int n;
  Byte lo = 0x80, hi = 0xBF;
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

// Code page 932: a byte that starts a two-byte character, and one that may
// follow it.
constexpr bool SjisLead(Byte b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
constexpr bool SjisTrail(Byte b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }
// EUC-JP: a byte of a two-byte JIS X 0208 (or the last two of a JIS X 0212)
// character.
bool EucByte(Byte b) { return b >= 0xA1 && b <= 0xFE; }
bool AsciiLetter(Byte b) { return (b | 0x20) >= 'a' && (b | 0x20) <= 'z'; }

// Length of the valid EUC-JP character at p (1 for ASCII); 0 when none.
int EucCharAt(const Byte* p, const Byte* end) {
  if (p[0] < 0x80) return 1;
  if (p[0] == 0x8E) return end - p >= 2 && p[1] >= 0xA1 && p[1] <= 0xDF ? 2 : 0;
  if (p[0] == 0x8F) return end - p >= 3 && EucByte(p[1]) && EucByte(p[2]) ? 3 : 0;
  return end - p >= 2 && EucByte(p[0]) && EucByte(p[1]) ? 2 : 0;
}

// Points for one character of each reading. A plausible character of a
// reading scores more per byte than what the same bytes make in the other
// readings: kana and kanji in UTF-8 (4 for 3 bytes) and EUC-JP (3 for 2)
// against half-width katakana in code page 932 (1 a byte); an accented
// letter inside a Latin word (3) against the two half-width katakana its
// UTF-8 bytes make in code page 932 (2). Scripts far from Japanese cost.
constexpr int kFar = -4;

int Utf8Points(char32_t c, bool inWord) {
  if (c < 0xA0) return kFar;                         // C1 controls
  if (c < 0xC0 || c == 0xD7 || c == 0xF7) return 1;  // Latin-1 signs
  if (c < 0x250) return inWord ? 3 : 1;              // accented Latin letters
  if (c < 0x370) return 0;                           // phonetics, combining marks
  if (c < 0x500) return 2;                           // Greek and Cyrillic (JIS has them)
  if (c < 0x1E00) return kFar;                       // Hebrew, Arabic, Indic, Thai, ...
  if (c < 0x1F00) return 3;                          // more accented Latin letters
  if (c >= 0x2000 && c < 0x2C00) return 3;           // punctuation, signs, arrows, boxes
  if (c >= 0x2E80 && c < 0xA000) return 4;           // CJK signs, kana, kanji
  if (c >= 0xF900 && c < 0xFB00) return 4;           // compatibility kanji
  if (c >= 0xFE30 && c < 0xFE50) return 4;           // vertical forms
  if (c >= 0xFF00 && c < 0xFFF0) return 4;           // full-width and half-width forms
  if (c >= 0x1F000 && c < 0x1FB00) return 4;         // pictographs
  if (c >= 0x20000 && c < 0x30000) return 4;         // rare kanji
  return kFar;                                       // Hangul, private use, ...
}

constexpr int SjisPoints(Byte lead) {
  if (lead <= 0x84 || (lead >= 0x88 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xEA)) return 2;
  if (lead == 0x87 || lead == 0xED || lead == 0xEE || lead >= 0xFA) return 1;  // NEC, IBM rows
  return 0;                                                                    // unassigned, user-defined
}

int EucPoints(Byte lead) {
  if (lead == 0xA4 || lead == 0xA5) return 3;  // hiragana, katakana
  if (lead <= 0xA3 || (lead >= 0xB0 && lead <= 0xCF) || lead == 0xA6 || lead == 0xA7) return 2;
  if (lead >= 0xD0 && lead <= 0xF4) return 1;  // second-level kanji
  return 0;
}

constexpr long kInvalid = std::numeric_limits<long>::min();

// One character of a reading: its length (0: invalid) and points.
struct Char {
  int length;
  int points;
};

Char Utf8Char(const Byte* p, const Byte* begin, const Byte* end) {
  // Kana and kanji (U+3000 to U+9FFF), most of a Japanese text, first.
  if (p[0] >= 0xE3 && p[0] <= 0xE9 && end - p >= 3 && (p[1] & 0xC0) == 0x80 && (p[2] & 0xC0) == 0x80) {
    return {3, 4};
  }
  const int n = SequenceAt(p, end);
  if (n == 0) return {0, 0};
  char32_t c = p[0] & (0x7F >> n);
  for (int i = 1; i < n; ++i) c = c << 6 | (p[i] & 0x3F);
  // A line's first byte is its state mark, or a letter marking would
  // replace: it never counts.
  const bool inWord = (p - begin >= 2 && p[-2] != '\n' && p[-2] != '\r' && AsciiLetter(p[-1])) ||
                      (p + n < end && AsciiLetter(p[n]));
  return {n, Utf8Points(c, inWord)};
}

// Code page 932 by table, for speed: for each first byte, the character's
// length (0: invalid) and points; and which bytes may follow a lead byte.
struct SjisTable {
  Char first[256];
  bool trail[256];
  constexpr SjisTable() : first(), trail() {
    for (int b = 0; b < 256; ++b) {
      const auto c = static_cast<Byte>(b);
      first[b] = c >= 0xA1 && c <= 0xDF ? Char{1, 1} : SjisLead(c) ? Char{2, SjisPoints(c)} : Char{0, 0};
      trail[b] = SjisTrail(c);
    }
  }
};
constexpr SjisTable kSjis;

Char SjisChar(const Byte* p, const Byte*, const Byte* end) {
  const Char c = kSjis.first[p[0]];
  if (c.length == 2 && (end - p < 2 || !kSjis.trail[p[1]])) return {0, 0};
  return c;
}

Char EucChar(const Byte* p, const Byte*, const Byte* end) {
  const int n = EucCharAt(p, end);
  return {n, n == 2 ? (p[0] == 0x8E ? 2 : EucPoints(p[0])) : n == 3 ? 2 : 0};
}

// How a reading judges a text. A line that begins with a non-ASCII byte has
// no state mark, and marking it will replace its first character as the
// list's encoding has it (its first byte in code page 932). Such a head is
// cut as the encoding `cut` would mark it, and the rest is judged (with no
// cut, the whole text is).
struct Verdict {
  long score = 0;      // kInvalid when some character does not decode
  bool heads = false;  // some line begins with a non-ASCII byte
  bool seen = false;   // some non-ASCII byte was judged
};

int HeadLength(Encoding cut, const Byte* p, const Byte* end) {
  int n = 1;
  if (cut == Encoding::Utf8) n = SequenceAt(p, end);
  if (cut == Encoding::EucJp) n = EucCharAt(p, end);
  return n > 1 ? n : 1;
}

template <class ReadChar>
Verdict Judge(const Byte* const begin, const Byte* const end, std::optional<Encoding> cut, ReadChar&& read) {
  Verdict v;
  const Byte* p = begin;
  while (p < end) {
    if (*p < 0x80) {
#ifdef __SSE2__
      // Straight to the next non-ASCII byte, 16 bytes at a time: most of a
      // word file is ASCII answers.
      if (end - p >= 16) {
        const int high = _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
        p += high ? __builtin_ctz(static_cast<unsigned>(high)) : 16;
        continue;
      }
#endif
      ++p;
      continue;
    }
    if (p == begin || p[-1] == '\n' || p[-1] == '\r') {
      v.heads = true;
      if (cut) {
        p += HeadLength(*cut, p, end);
        continue;
      }
    }
    const Char c = read(p, begin, end);
    if (c.length == 0) return {kInvalid, true, true};
    v.score += c.points;
    v.seen = true;
    p += c.length;
  }
  return v;
}

// The reading that wins on the text with heads cut as `cut` marks them:
// nullopt when nothing but ASCII is left to judge, or when no reading is
// valid. Ties go to UTF-8 (what such a file was always taken for), then to
// code page 932, the program's own encoding. `empty` tells the first case.
std::optional<Encoding> Winner(const Byte* p, const Byte* end, std::optional<Encoding> cut, bool* heads,
                               bool* empty) {
  // Lambdas, so that each reading's loop is compiled with its reader inlined.
  const Verdict u =
      Judge(p, end, cut, [](const Byte* q, const Byte* b, const Byte* z) { return Utf8Char(q, b, z); });
  const Verdict s =
      Judge(p, end, cut, [](const Byte* q, const Byte* b, const Byte* z) { return SjisChar(q, b, z); });
  const Verdict e =
      Judge(p, end, cut, [](const Byte* q, const Byte* b, const Byte* z) { return EucChar(q, b, z); });
  *heads = u.heads || s.heads || e.heads;
  *empty = !u.seen && !s.seen && !e.seen;
  if (*empty) return std::nullopt;
  if (u.score != kInvalid && u.score >= s.score && u.score >= e.score) return Encoding::Utf8;
  if (e.score != kInvalid && e.score > s.score) return Encoding::EucJp;
  if (s.score != kInvalid) return Encoding::Cp932;
  return std::nullopt;
}

// Some line begins with a non-ASCII byte (has no state mark). 64 bytes at a
// time: the non-ASCII bytes against the bytes just after a CR or LF.
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

#if defined(__SSE2__) && (defined(__GNUC__) || defined(__clang__))
#define VZ_UTF8_BLOCKS 1
#define VZ_SSSE3 __attribute__((target("ssse3")))
#define VZ_INLINE inline __attribute__((always_inline))
#define VZ_AVX2 __attribute__((target("avx2")))
#define VZ_AVX512 __attribute__((target("avx512f,avx512bw")))
#if defined(__GNUC__) && !defined(__clang__)
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
VZ_SSSE3 bool ValidUtf8Blocks(const Byte* p, const Byte* const end) {
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
#endif

// The UTF-8 reading is valid: ASCII skipped 16 bytes at a time, and the
// three-byte characters of kana and kanji checked without the general rule.
bool ValidUtf8(const Byte* p, const Byte* const end) {
#ifdef VZ_UTF8_BLOCKS
  static const int blocks = __builtin_cpu_supports("avx512bw") ? 64
                            : __builtin_cpu_supports("avx2")   ? 32
                            : __builtin_cpu_supports("ssse3")  ? 16
                                                               : 0;
  if (blocks == 64) return ValidUtf8Blocks64(p, end);
  if (blocks == 32) return ValidUtf8Blocks32(p, end);
  if (blocks == 16) return ValidUtf8Blocks(p, end);
#endif
  while (p < end) {
#ifdef __SSE2__
    // Whole blocks of 64 bytes of ASCII (the answers), then 16.
    while (end - p >= 64) {
      const auto* block = reinterpret_cast<const __m128i*>(p);
      const __m128i any = _mm_or_si128(_mm_or_si128(_mm_loadu_si128(block), _mm_loadu_si128(block + 1)),
                                       _mm_or_si128(_mm_loadu_si128(block + 2), _mm_loadu_si128(block + 3)));
      if (_mm_movemask_epi8(any)) break;
      p += 64;
    }
    while (end - p >= 16) {
      const int high = _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
      if (high) {
        p += __builtin_ctz(static_cast<unsigned>(high));
        break;
      }
      p += 16;
    }
#endif
    if (*p < 0x80) {
      ++p;
      continue;
    }
    // A run of characters, to the next ASCII byte.
    while (p < end && *p >= 0x80) {
      if (*p >= 0xE1 && *p <= 0xEC && end - p >= 3 && ((p[1] & 0xC0) | (p[2] & 0xC0) >> 2) == 0xA0) {
        p += 3;
        continue;
      }
      const int n = SequenceAt(p, end);
      if (n == 0) return false;
      p += n;
    }
  }
  return true;
}

// Winner() of a text with no line without a state mark, judging no more
// than it takes: most files are valid in one reading only, and the others
// fail at their first non-ASCII character. Only readings that are all valid
// are scored.
Encoding WholeWinner(const Byte* p, const Byte* end, bool utf8) {
  const auto judge = [&](auto read) { return Judge(p, end, std::nullopt, read); };
  const auto sjis = [](const Byte* q, const Byte* b, const Byte* z) { return SjisChar(q, b, z); };
  const long e = judge([](const Byte* q, const Byte* b, const Byte* z) { return EucChar(q, b, z); }).score;
  if (!utf8) {
    // Code page 932 also when it is not valid either: the fallback.
    return e != kInvalid && e > judge(sjis).score ? Encoding::EucJp : Encoding::Cp932;
  }
  const long s = judge(sjis).score;
  if (s == kInvalid && e == kInvalid) return Encoding::Utf8;
  const long u = judge([](const Byte* q, const Byte* b, const Byte* z) { return Utf8Char(q, b, z); }).score;
  if (u >= s && u >= e) return Encoding::Utf8;
  return e > s ? Encoding::EucJp : Encoding::Cp932;
}

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

// The end of the line at p (its CR or LF, or `end`), and in `last` the end
// of its last non-ASCII byte (p when it has none). 16 bytes at a time.
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

// Points of the characters that start from p to `stop` as `read` reads
// them, in a text from `begin` to `end`; kInvalid when one does not decode.
template <class ReadChar>
long Span(const Byte* begin, const Byte* p, const Byte* stop, const Byte* end, ReadChar&& read) {
  long score = 0;
  while (p < stop) {
    if (*p < 0x80) {
      ++p;
      continue;
    }
    const Char c = read(p, begin, end);
    if (c.length == 0) return kInvalid;
    score += c.points;
    p += c.length;
  }
  return score;
}

long Add(long a, long b) { return a == kInvalid || b == kInvalid ? kInvalid : a + b; }

// The reading that wins whatever lines without a state mark are marked as
// it marks them (the first character, one byte in code page 932): nullopt
// when none is shown to. Lines are judged one by one. An encoding c wins
// when, against every other reading r:
// - its points with those lines cut as c marks them (which marking in c
//   never changes) beat the most r makes of each such line cut either as
//   r or as c marks it (what r's own judgment of the text could become);
// - the least c keeps of each line, as it is or marked, beats the most r
//   makes of it, as it is or marked in c (the text as it is);
// and c reads the text as it is. Marking in c only raises what c keeps and
// lowers what r makes, so c still wins, and no two encodings win at once.
// A text made of ASCII and such lines of one character each, all read best
// in one encoding, is that one: marking leaves the rest so.
std::optional<Encoding> MarkProof(const Byte* const begin, const Byte* const end) {
  constexpr Encoding kReadings[] = {Encoding::Cp932, Encoding::Utf8, Encoding::EucJp};  // by value
  const Byte* last = begin;  // the end of the line's last non-ASCII byte
  auto span = [begin, &last](Encoding r, const Byte* p, const Byte* q) {
    switch (r) {
      case Encoding::Utf8:
        return Span(begin, p, last, q,
                    [](const Byte* a, const Byte* b, const Byte* z) { return Utf8Char(a, b, z); });
      case Encoding::EucJp:
        return Span(begin, p, last, q,
                    [](const Byte* a, const Byte* b, const Byte* z) { return EucChar(a, b, z); });
      default:
        return Span(begin, p, last, q,
                    [](const Byte* a, const Byte* b, const Byte* z) { return SjisChar(a, b, z); });
    }
  };
  // Ties go to UTF-8, then to code page 932, as in Winner().
  auto rank = [](Encoding e) { return e == Encoding::Utf8 ? 2 : e == Encoding::Cp932 ? 1 : 0; };
  long whole[3] = {}, own[3] = {}, bound[3][3] = {};  // bound[r][c]
  // The same for the text as it is: the least c keeps of each line, the
  // most r makes of it, as it is or marked in c.
  long least[3] = {}, most[3][3] = {};
  // Lines of one character and ASCII, by the reading each reads best in
  // (bit 1 << encoding), when all other lines are ASCII: see below.
  bool asciiElse = true;
  unsigned singles = 0;
  bool allSingle = true;
  for (const Byte* line = begin; line < end;) {
    const Byte* const lineEnd = LineEnd(line, end, &last);
    const bool head = lineEnd > line && *line >= 0x80;
    if (!head) asciiElse = asciiElse && last == line;
    long all[3];
    for (Encoding r : kReadings) all[static_cast<int>(r)] = span(r, line, lineEnd);
    if (head) {
      std::optional<Encoding> best;
      for (Encoding r : kReadings) {
        const long v = all[static_cast<int>(r)];
        const long b = best ? all[static_cast<int>(*best)] : kInvalid;
        if (v != kInvalid && (v > b || (v == b && rank(r) > rank(*best)))) best = r;
      }
      const bool single = best && AllAscii(line + HeadLength(*best, line, lineEnd), lineEnd);
      if (single) singles |= 1u << static_cast<int>(*best);
      allSingle = allSingle && single;
    }
    for (Encoding r : kReadings) {
      const int i = static_cast<int>(r);
      whole[i] = Add(whole[i], all[i]);
      if (!head) {
        own[i] = Add(own[i], all[i]);
        least[i] = Add(least[i], all[i]);
        for (long& b : bound[i]) b = Add(b, all[i]);
        for (long& b : most[i]) b = Add(b, all[i]);
        continue;
      }
      // The line cut as each encoding marks it: 1 to 4 bytes.
      long cut[5] = {kInvalid, kInvalid, kInvalid, kInvalid, kInvalid};
      bool known[5] = {};
      auto after = [&](Encoding e) {
        const int n = HeadLength(e, line, lineEnd);
        if (!known[n]) cut[n] = span(r, line + n, lineEnd), known[n] = true;
        return cut[n];
      };
      const long mine = after(r);
      own[i] = Add(own[i], mine);
      least[i] = Add(least[i], std::min(mine, all[i]));
      for (Encoding c : kReadings) {
        const long theirs = after(c);
        long& b = bound[i][static_cast<int>(c)];
        b = Add(b, std::max(mine, theirs));
        long& m = most[i][static_cast<int>(c)];
        m = Add(m, std::max(all[i], theirs));
      }
    }
    line = lineEnd + 1;
  }
  // A text whose only non-ASCII characters are the first ones of lines
  // without a mark, all read best in one encoding: that one. Marking such a
  // line leaves ASCII, so the rest still agree (or the whole is ASCII).
  if (asciiElse && allSingle && std::has_single_bit(singles)) return Encoding(std::countr_zero(singles));
  for (Encoding c : kReadings) {
    const int j = static_cast<int>(c);
    if (whole[j] == kInvalid || own[j] == kInvalid) continue;
    // Marking in c could leave such a text read best in another.
    if (asciiElse && (singles & ~(1u << j))) continue;
    bool wins = true;
    for (Encoding r : kReadings) {
      const int i = static_cast<int>(r);
      auto beats = [&](long mine, long theirs) {
        return mine > theirs || (mine == theirs && rank(c) > rank(r));
      };
      wins = wins && (r == c || (beats(own[j], bound[i][j]) && beats(least[j], most[i][j])));
    }
    if (wins) return c;
  }
  return std::nullopt;
}

}  // namespace

std::string_view BomOf(Encoding enc) {
  switch (enc) {
    case Encoding::Utf8:
      return kUtf8Bom;
    case Encoding::Utf16Le:
      return kUtf16LeBom;
    case Encoding::Utf16Be:
      return kUtf16BeBom;
    default:
      return {};
  }
}

int Utf8SequenceAt(std::string_view s) {
  if (s.empty()) return 0;
  const auto* p = reinterpret_cast<const Byte*>(s.data());
  return SequenceAt(p, p + s.size());
}

std::size_t FirstCharLength(Encoding lines, std::string_view line) {
  if (line.empty()) return 0;
  const auto* p = reinterpret_cast<const Byte*>(line.data());
  int n = 0;
  switch (LineEncoding(lines)) {
    case Encoding::Utf8:
      n = SequenceAt(p, p + line.size());
      break;
    case Encoding::EucJp:
      n = EucCharAt(p, p + line.size());
      break;
    default:
      break;
  }
  return n > 1 ? static_cast<std::size_t>(n) : 1;
}

bool ValidUtf8(std::string_view bytes) {
  const auto* p = reinterpret_cast<const Byte*>(bytes.data());
  return ValidUtf8(p, p + bytes.size());
}

Detected DetectEncoding(std::string_view bytes) {
  const auto* p = reinterpret_cast<const Byte*>(bytes.data());
  const auto* const end = p + bytes.size();
  return DetectEncoding(bytes, {HasHeads(p, end), ValidUtf8(p, end)});
}

Detected DetectEncoding(std::string_view bytes, const Seen& seen) {
  for (Encoding e : {Encoding::Utf8, Encoding::Utf16Le, Encoding::Utf16Be}) {
    if (bytes.starts_with(BomOf(e))) return {e, BomOf(e).size()};
  }
  const auto* p = reinterpret_cast<const Byte*>(bytes.data());
  const auto* const end = p + bytes.size();
  if (AllAscii(p, end)) return {};
  // Without lines lacking a state mark, marking changes only first bytes
  // that are ASCII, which no reading judges.
  if (!seen.heads) return {WholeWinner(p, end, seen.utf8), 0};
  // With them: the encoding that wins however they are marked.
  if (const std::optional<Encoding> proven = MarkProof(p, end)) return {*proven, 0};
  // Otherwise the best guess, which marking may change (Detected::stable):
  // an encoding is taken when the text, with those lines cut as it would
  // mark them, reads best in it; when nothing but the heads is left, the
  // whole text decides.
  bool cut = false, empty = false;
  const Encoding plain = Winner(p, end, std::nullopt, &cut, &empty).value_or(Encoding::Cp932);
  if (!cut) return {plain, 0, false};
  for (Encoding e : {plain, Encoding::Utf8, Encoding::Cp932, Encoding::EucJp}) {
    const std::optional<Encoding> w = Winner(p, end, e, &cut, &empty);
    if (w == e || (empty && plain == e)) return {e, 0, false};
  }
  return {plain, 0, false};
}

}  // namespace vz::codec
