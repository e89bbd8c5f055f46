#include "core/text/Score.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "core/text/Readings.h"

namespace vz::codec {
namespace {

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
        p += MarkedLength(*cut, p, end);
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

Verdict JudgeAs(Encoding reading, const Byte* begin, const Byte* end, std::optional<Encoding> cut) {
  return WithReader(reading, [&](auto read) { return Judge(begin, end, cut, read); });
}

}  // namespace

Encoding WholeWinner(const Byte* p, const Byte* end, bool utf8) {
  auto score = [&](Encoding reading) { return JudgeAs(reading, p, end, std::nullopt).score; };
  long scores[3] = {kInvalid, kInvalid, kInvalid};  // by value; kInvalid also when not judged
  long& s = scores[static_cast<int>(Encoding::Cp932)];
  long& e = scores[static_cast<int>(Encoding::EucJp)];
  e = score(Encoding::EucJp);
  // Without UTF-8, code page 932 also when it is not valid either: the
  // fallback. It needs judging only against a valid EUC-JP.
  if (!utf8) {
    if (e != kInvalid) s = score(Encoding::Cp932);
    return Best(scores).value_or(Encoding::Cp932);
  }
  s = score(Encoding::Cp932);
  if (s == kInvalid && e == kInvalid) return Encoding::Utf8;
  scores[static_cast<int>(Encoding::Utf8)] = score(Encoding::Utf8);
  return Best(scores).value_or(Encoding::Cp932);
}

std::optional<Encoding> Winner(const Byte* p, const Byte* end, std::optional<Encoding> cut, bool* heads,
                               bool* empty) {
  long scores[3];
  *heads = false;
  *empty = true;
  for (Encoding r : kReadings) {
    const Verdict v = JudgeAs(r, p, end, cut);
    scores[static_cast<int>(r)] = v.score;
    *heads = *heads || v.heads;
    *empty = *empty && !v.seen;
  }
  if (*empty) return std::nullopt;
  return Best(scores);
}

}  // namespace vz::codec
