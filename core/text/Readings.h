#pragma once
// The three readings of bytes without a byte-order mark (code page 932,
// UTF-8, EUC-JP): each reads one character at a time and gives it points
// for how plausible it is in a word file, and one rule breaks ties between
// them. Inline, so that each reading's loop is compiled with its reader.
#include <limits>
#include <optional>

#include "core/text/Encoding.h"
#include "core/text/Utf8Sequence.h"

namespace vz::codec {

// The score of a reading in which some character does not decode.
inline constexpr long kInvalid = std::numeric_limits<long>::min();

// One character of a reading: its length (0: invalid) and points.
struct Char {
  int length;
  int points;
};

// Ties between readings go to UTF-8 (what such a file was always taken
// for), then to code page 932 (the program's own encoding), then to EUC-JP.
constexpr int Rank(Encoding e) { return e == Encoding::Utf8 ? 2 : e == Encoding::Cp932 ? 1 : 0; }
// Reading `a` with `aScore` points beats reading `b` with `bScore`.
constexpr bool Beats(Encoding a, long aScore, Encoding b, long bScore) {
  return aScore > bScore || (aScore == bScore && Rank(a) > Rank(b));
}
// The readings, each at the index of its value.
inline constexpr Encoding kReadings[] = {Encoding::Cp932, Encoding::Utf8, Encoding::EucJp};
// The reading whose score (by value; kInvalid when not valid) beats the
// others; nullopt when none is valid.
std::optional<Encoding> Best(const long (&scores)[3]);

// EUC-JP: a byte of a two-byte JIS X 0208 (or the last two of a JIS X 0212)
// character.
constexpr bool EucByte(Byte b) { return b >= 0xA1 && b <= 0xFE; }

// Length of the valid EUC-JP character at p (1 for ASCII); 0 when none.
inline int EucCharAt(const Byte* p, const Byte* end) {
  if (p[0] < 0x80) return 1;
  if (p[0] == 0x8E) return end - p >= 2 && p[1] >= 0xA1 && p[1] <= 0xDF ? 2 : 0;
  if (p[0] == 0x8F) return end - p >= 3 && EucByte(p[1]) && EucByte(p[2]) ? 3 : 0;
  return end - p >= 2 && EucByte(p[0]) && EucByte(p[1]) ? 2 : 0;
}

// How many bytes at p (a line's first) marking the line in `lines` replaces:
// the whole first character, one byte in code page 932 or when it is not a
// valid character.
inline int MarkedLength(Encoding lines, const Byte* p, const Byte* end) {
  int n = 1;
  if (lines == Encoding::Utf8) n = Utf8SequenceAt(p, end);
  if (lines == Encoding::EucJp) n = EucCharAt(p, end);
  return n > 1 ? n : 1;
}

// Points for one character of each reading. A plausible character of a
// reading scores more per byte than what the same bytes make in the other
// readings: kana and kanji in UTF-8 (4 for 3 bytes) and EUC-JP (3 for 2)
// against half-width katakana in code page 932 (1 a byte); an accented
// letter inside a Latin word (3) against the two half-width katakana its
// UTF-8 bytes make in code page 932 (2). Scripts far from Japanese cost.
inline constexpr int kFar = -4;

inline int Utf8Points(char32_t c, bool inWord) {
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

constexpr int EucPoints(Byte lead) {
  if (lead == 0xA4 || lead == 0xA5) return 3;  // hiragana, katakana
  if (lead <= 0xA3 || (lead >= 0xB0 && lead <= 0xCF) || lead == 0xA6 || lead == 0xA7) return 2;
  if (lead >= 0xD0 && lead <= 0xF4) return 1;  // second-level kanji
  return 0;
}

constexpr bool AsciiLetter(Byte b) { return (b | 0x20) >= 'a' && (b | 0x20) <= 'z'; }

// The character at p of a text from `begin` to `end`, in each reading.
inline Char Utf8Char(const Byte* p, const Byte* begin, const Byte* end) {
  // Kana and kanji (U+3000 to U+9FFF), most of a Japanese text, first.
  if (p[0] >= 0xE3 && p[0] <= 0xE9 && end - p >= 3 && (p[1] & 0xC0) == 0x80 && (p[2] & 0xC0) == 0x80) {
    return {3, 4};
  }
  const int n = Utf8SequenceAt(p, end);
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
      first[b] = c >= 0xA1 && c <= 0xDF ? Char{1, 1} : IsCp932Lead(c) ? Char{2, SjisPoints(c)} : Char{0, 0};
      trail[b] = c >= 0x40 && c <= 0xFC && c != 0x7F;
    }
  }
};
inline constexpr SjisTable kSjis;

inline Char SjisChar(const Byte* p, const Byte*, const Byte* end) {
  const Char c = kSjis.first[p[0]];
  if (c.length == 2 && (end - p < 2 || !kSjis.trail[p[1]])) return {0, 0};
  return c;
}

inline Char EucChar(const Byte* p, const Byte*, const Byte* end) {
  const int n = EucCharAt(p, end);
  return {n, n == 2 ? (p[0] == 0x8E ? 2 : EucPoints(p[0])) : n == 3 ? 2 : 0};
}

// fn(read) with the reader of `reading` (code page 932 for any other), each
// a type of its own, so that fn is compiled with it inlined.
template <class Fn>
decltype(auto) WithReader(Encoding reading, Fn&& fn) {
  switch (reading) {
    case Encoding::Utf8:
      return fn([](const Byte* p, const Byte* b, const Byte* e) { return Utf8Char(p, b, e); });
    case Encoding::EucJp:
      return fn([](const Byte* p, const Byte* b, const Byte* e) { return EucChar(p, b, e); });
    default:
      return fn([](const Byte* p, const Byte* b, const Byte* e) { return SjisChar(p, b, e); });
  }
}

}  // namespace vz::codec
