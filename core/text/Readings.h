#pragma once
// The three readings of bytes without a byte-order mark (code page 932,
// UTF-8, EUC-JP): each reads one character at a time, the model judges how
// likely the text it reads is, and one rule breaks ties between them.
// Inline, so that each reading's loop is compiled with its reader.
#include <limits>
#include <optional>

#include "core/text/AsciiScan.h"
#include "core/text/Encoding.h"
#include "core/text/TextModel.h"
#include "core/text/Utf8Sequence.h"

namespace vz::codec {

// The score of a reading in which some character does not decode.
inline constexpr long kInvalid = std::numeric_limits<long>::min();

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

constexpr bool AsciiLetter(Byte b) { return (b | 0x20) >= 'a' && (b | 0x20) <= 'z'; }

// One character of a reading: its length (0: invalid) and code point.
struct Decoded {
  int length;
  char32_t c;
};

// The readers: each tells the length of the character at p (0: none) by
// the form of its bytes alone, and decodes it (kUnassigned where no table
// assigns the code).
struct Utf8Reader {
  static int Length(const Byte* p, const Byte* end) { return Utf8SequenceAt(p, end); }
  static Decoded Read(const Byte* p, const Byte* end) {
    // Kana and kanji (U+3000 to U+9FFF), most of a Japanese text, first.
    if (p[0] >= 0xE3 && p[0] <= 0xE9 && end - p >= 3 && (p[1] & 0xC0) == 0x80 && (p[2] & 0xC0) == 0x80) {
      return {3, char32_t(p[0] & 0x0F) << 12 | char32_t(p[1] & 0x3F) << 6 | (p[2] & 0x3F)};
    }
    const int n = Utf8SequenceAt(p, end);
    if (n == 0) return {0, 0};
    char32_t c = p[0] & (0x7F >> n);
    for (int i = 1; i < n; ++i) c = c << 6 | (p[i] & 0x3F);
    return {n, c};
  }
};

// Code page 932: which bytes may follow a lead byte.
struct SjisTrails {
  bool trail[256];
  constexpr SjisTrails() : trail() {
    for (int b = 0x40; b <= 0xFC; ++b) trail[b] = b != 0x7F;
  }
};
inline constexpr SjisTrails kSjis;
constexpr bool HalfKanaByte(Byte b) { return b >= 0xA1 && b <= 0xDF; }
constexpr char32_t kHalfKana = 0xFF61;  // the character of byte A1

struct SjisReader {
  static int Length(const Byte* p, const Byte* end) {
    if (HalfKanaByte(p[0])) return 1;
    return IsCp932Lead(p[0]) && end - p >= 2 && kSjis.trail[p[1]] ? 2 : 0;
  }
  static Decoded Read(const Byte* p, const Byte* end) {
    const int n = Length(p, end);
    if (n != 2) return {n, n ? kHalfKana + (p[0] - 0xA1) : 0};
    const Byte lead = p[0], trail = p[1];
    int row = (lead - (lead <= 0x9F ? 0x81 : 0xC1)) * 2 + 1;
    int cell = trail - 0x3F - (trail >= 0x80);
    if (trail >= 0x9F) ++row, cell = trail - 0x9E;
    return {2, JisChar(row, cell)};
  }
};

struct EucReader {
  static int Length(const Byte* p, const Byte* end) { return EucCharAt(p, end); }
  static Decoded Read(const Byte* p, const Byte* end) {
    const int n = EucCharAt(p, end);
    if (n == 3) return {3, Jis0212Char(p[1] - 0xA0, p[2] - 0xA0)};
    if (n == 2) return {2, p[0] == 0x8E ? kHalfKana + (p[1] - 0xA1) : JisChar(p[0] - 0xA0, p[1] - 0xA0)};
    return {0, 0};
  }
};

// fn(reader) with the reader of `reading` (code page 932 for any other),
// each a type of its own, so that fn is compiled with it inlined.
template <class Fn>
decltype(auto) WithReader(Encoding reading, Fn&& fn) {
  switch (reading) {
    case Encoding::Utf8:
      return fn(Utf8Reader{});
    case Encoding::EucJp:
      return fn(EucReader{});
    default:
      return fn(SjisReader{});
  }
}

// How a reading judges a text (see Judge).
struct Verdict {
  long score = 0;      // kInvalid when some character does not decode
  bool heads = false;  // some line begins with a non-ASCII byte
  bool seen = false;   // some non-ASCII byte was judged
};

// Each byte judged earns what a byte of random data would cost (8 bits), so
// that a score is how much likelier the text is than random bytes: the
// same for every reading of the same bytes, and 0 for no bytes, which
// makes lines cut in different places comparable (see MarkProof).
inline constexpr int kByteCredit = 8 * 4;

// What comes before the character at p, when it does not follow another:
// a line's start, its state mark (its first byte, whatever it is) and a
// first character cut off count as the start.
inline int ContextBefore(const Byte* p, const Byte* begin) {
  if (p == begin || p[-1] >= 0x80 || p[-1] == '\n' || p[-1] == '\r') return kStart;
  if (p - 1 == begin || p[-2] == '\n' || p[-2] == '\r') return kStart;
  return AsciiLetter(p[-1]) ? kLetter : kOther;
}

// What follows at q, when it is not another character.
inline Follow FollowAt(const Byte* q, const Byte* end) {
  if (q == end || *q == '\n' || *q == '\r') return kFollowEnd;
  return AsciiLetter(*q) ? kFollowLetter : kFollowOther;
}

// The text from `begin` to `end` as `reader` reads it, judged from p to
// `stop` by the model (TextModel.h): the score is the credit of its bytes
// less the cost of its characters, so that the likelier reading scores
// more. Each line is judged
// on its own. A line that begins with a non-ASCII byte has no state mark,
// and marking it will replace its first character as the list's encoding
// has it (its first byte in code page 932): such a head is cut as the
// encoding `cut` would mark it (with no cut, it is judged).
template <class Reader>
Verdict Judge(const Byte* const begin, const Byte* p, const Byte* const stop, const Byte* const end,
              std::optional<Encoding> cut, Reader) {
  const Model& model = Model::Get();
  Verdict v;
  int context = -1;  // the class of the character just before, or -1
  char32_t before = 0;
  while (p < stop) {
    if (*p < 0x80) {
      p = NextHigh(p, stop);
      context = -1;
      continue;
    }
    if (p == begin || p[-1] == '\n' || p[-1] == '\r') {
      v.heads = true;
      if (cut) {
        p += MarkedLength(*cut, p, end);
        continue;
      }
    }
    const Decoded d = Reader::Read(p, end);
    if (d.length == 0) return {kInvalid, true, true};
    const CharClass k = model.ClassOf(d.c);
    long cost = model.Cost(d.c, k, context >= 0 ? context : ContextBefore(p, begin), before);
    p += d.length;
    if (p == end || *p < 0x80) {
      cost += Model::FollowCost(k, FollowAt(p, end));
      context = -1;
    } else {
      context = static_cast<int>(k);
      before = d.c;
    }
    v.score += kByteCredit * d.length - cost;
    v.seen = true;
  }
  return v;
}

inline Verdict JudgeAs(Encoding reading, const Byte* begin, const Byte* p, const Byte* stop, const Byte* end,
                       std::optional<Encoding> cut) {
  return WithReader(reading, [&](auto reader) { return Judge(begin, p, stop, end, cut, reader); });
}

}  // namespace vz::codec
