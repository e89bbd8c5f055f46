#include "core/text/Score.h"

#include "core/text/AsciiScan.h"
#include "core/text/Readings.h"

namespace vz::codec {
namespace {

// Every character of the text reads in `reading` (by the form of its bytes).
template <class Reader>
bool ValidAs(const Byte* p, const Byte* const end, Reader) {
  for (p = NextHigh(p, end); p < end; p = NextHigh(p, end)) {
    while (p < end && *p >= 0x80) {
      const int n = Reader::Length(p, end);
      if (n == 0) return false;
      p += n;
    }
  }
  return true;
}

}  // namespace

Encoding WholeWinner(const Byte* p, const Byte* end, bool utf8, bool euc) {
  // Most files are valid in one reading only, and the others fail at their
  // first characters: then nothing needs judging. Code page 932 is the
  // fallback, valid or not: it needs checking only against another.
  if (!utf8 && !euc) return Encoding::Cp932;
  const bool sjis = ValidAs(p, end, SjisReader{});
  if (!sjis && utf8 != euc) return utf8 ? Encoding::Utf8 : Encoding::EucJp;
  long scores[3];  // by value
  for (Encoding r : kReadings) {
    const bool v = r == Encoding::Utf8 ? utf8 : r == Encoding::EucJp ? euc : sjis;
    scores[static_cast<int>(r)] = v ? JudgeAs(r, p, p, end, end, std::nullopt).score : kInvalid;
  }
  return Best(scores).value_or(Encoding::Cp932);
}

std::optional<Encoding> Winner(const Byte* p, const Byte* end, std::optional<Encoding> cut, bool* heads,
                               bool* empty) {
  long scores[3];
  *heads = false;
  *empty = true;
  for (Encoding r : kReadings) {
    const Verdict v = JudgeAs(r, p, p, end, end, cut);
    scores[static_cast<int>(r)] = v.score;
    *heads = *heads || v.heads;
    *empty = *empty && !v.seen;
  }
  if (*empty) return std::nullopt;
  return Best(scores);
}

}  // namespace vz::codec
