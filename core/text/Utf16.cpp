#include "core/text/Utf16.h"

#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace vz::codec {
namespace {

constexpr std::size_t kPiece = 64 * 1024;
// Room for the longest output of one step: eight characters of three bytes
// and one more byte written past them.
constexpr std::size_t kStep = 32;

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

// Eight units at once, most of a word file (its answers in ASCII, the
// questions in kana and kanji): returns the end of their UTF-8 at out, or
// nullptr when a surrogate is among them.
char* PutBlock(char* out, const unsigned char* p, bool big) {
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

}  // namespace

bool Utf16ToUtf8(std::string_view units, bool bigEndian, const std::function<void(std::string_view)>& sink) {
  const auto* p = reinterpret_cast<const unsigned char*>(units.data());
  const auto* const end = p + units.size();
  char buf[kPiece + kStep];
  char* out = buf;
  bool clean = true;
  while (end - p >= 2) {
    if (out - buf >= static_cast<std::ptrdiff_t>(kPiece)) {
      sink({buf, static_cast<std::size_t>(out - buf)});
      out = buf;
    }
    if (end - p >= 16) {
      if (char* next = PutBlock(out, p, bigEndian)) {
        out = next;
        p += 16;
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
  if (out > buf) sink({buf, static_cast<std::size_t>(out - buf)});
  return clean;
}

}  // namespace vz::codec
