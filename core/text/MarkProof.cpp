#include "core/text/MarkProof.h"

#include <algorithm>
#include <bit>

#include "core/text/AsciiScan.h"
#include "core/text/Readings.h"

namespace vz::codec {
namespace {

// Lines are judged one by one. An encoding c wins when, against every other
// reading r:
// - its points with those lines cut as c marks them (which marking in c
//   never changes) beat the most r makes of each such line cut either as
//   r or as c marks it (what r's own judgment of the text could become);
// - the least c keeps of each line, as it is or marked, beats the most r
//   makes of it, as it is or marked in c (the text as it is);
// and c reads the text as it is. Marking in c only raises what c keeps and
// lowers what r makes, so c still wins, and no two encodings win at once.
// A text made of ASCII and such lines of one character each, all read best
// in one encoding, is that one: marking leaves the rest so.

constexpr int kCount = 3;  // readings, each at the index of its value
int At(Encoding e) { return static_cast<int>(e); }
long Add(long a, long b) { return a == kInvalid || b == kInvalid ? kInvalid : a + b; }

// One line from `line` to `lineEnd` of a text that starts at `begin`; `last`
// is the end of its last non-ASCII byte.
struct Line {
  const Byte* begin;
  const Byte* line;
  const Byte* lineEnd;
  const Byte* last;
  bool head;  // it begins with a non-ASCII byte: it has no state mark

  // The score of the characters that start from p as `reading` reads
  // them; kInvalid when one does not decode.
  long Span(Encoding reading, const Byte* p) const {
    return JudgeAs(reading, begin, p, last, lineEnd, std::nullopt).score;
  }
};

// What each reading makes of one line.
struct LineScores {
  long all[kCount];          // of the line as it is
  long cut[kCount][kCount];  // [r][e]: cut as e marks it, in reading r (head lines only)
};

LineScores ScoreLine(const Line& l) {
  LineScores s;
  for (Encoding r : kReadings) s.all[At(r)] = l.Span(r, l.line);
  if (!l.head) return s;
  for (Encoding r : kReadings) {
    // 1 to 4 bytes cut; the readings that cut as many share the score.
    long byLength[5];
    bool known[5] = {};
    for (Encoding e : kReadings) {
      const int n = MarkedLength(e, l.line, l.lineEnd);
      if (!known[n]) byLength[n] = l.Span(r, l.line + n), known[n] = true;
      s.cut[At(r)][At(e)] = byLength[n];
    }
  }
  return s;
}

// The sums over the lines, in reading r (first index) against c.
struct Totals {
  long whole[kCount] = {};          // the text as it is
  long own[kCount] = {};            // head lines cut as r marks them
  long bound[kCount][kCount] = {};  // the most of each head line cut as r or as c marks it
  long least[kCount] = {};          // the least of each line, as it is or cut as r marks it
  long most[kCount][kCount] = {};   // the most of each line, as it is or cut as c marks it
  bool asciiElse = true;            // all lines but head lines are ASCII
  bool allSingle = true;            // every head line is one character and ASCII
  unsigned singles = 0;             // by the reading each reads best in (bit 1 << encoding)
};

void AddLine(Totals& t, const LineScores& s, bool head) {
  for (Encoding r : kReadings) {
    const int i = At(r);
    const long all = s.all[i], mine = head ? s.cut[i][i] : all;
    t.whole[i] = Add(t.whole[i], all);
    t.own[i] = Add(t.own[i], mine);
    t.least[i] = Add(t.least[i], std::min(mine, all));
    for (Encoding c : kReadings) {
      const long theirs = head ? s.cut[i][At(c)] : all;
      t.bound[i][At(c)] = Add(t.bound[i][At(c)], std::max(mine, theirs));
      t.most[i][At(c)] = Add(t.most[i][At(c)], std::max(all, theirs));
    }
  }
}

// A head line is one character and ASCII, and the reading it reads best in.
void NoteSingle(Totals& t, const Line& l, const LineScores& s) {
  if (!l.head) {
    t.asciiElse = t.asciiElse && l.last == l.line;
    return;
  }
  const std::optional<Encoding> best = Best(s.all);
  const bool single = best && AllAscii(l.line + MarkedLength(*best, l.line, l.lineEnd), l.lineEnd);
  if (single) t.singles |= 1u << At(*best);
  t.allSingle = t.allSingle && single;
}

// The encoding the totals prove, as told above.
std::optional<Encoding> Decide(const Totals& t) {
  // A text whose only non-ASCII characters are the first ones of lines
  // without a mark, all read best in one encoding: that one. Marking such a
  // line leaves ASCII, so the rest still agree (or the whole is ASCII).
  if (t.asciiElse && t.allSingle && std::has_single_bit(t.singles))
    return Encoding(std::countr_zero(t.singles));
  for (Encoding c : kReadings) {
    const int j = At(c);
    if (t.whole[j] == kInvalid || t.own[j] == kInvalid) continue;
    // Marking in c could leave such a text read best in another.
    if (t.asciiElse && (t.singles & ~(1u << j))) continue;
    const bool wins = std::all_of(std::begin(kReadings), std::end(kReadings), [&](Encoding r) {
      const int i = At(r);
      return r == c || (Beats(c, t.own[j], r, t.bound[i][j]) && Beats(c, t.least[j], r, t.most[i][j]));
    });
    if (wins) return c;
  }
  return std::nullopt;
}

}  // namespace

std::optional<Encoding> MarkProof(const Byte* const begin, const Byte* const end) {
  Totals totals;
  for (const Byte* line = begin; line < end;) {
    Line l{begin, line, nullptr, nullptr, false};
    l.lineEnd = LineEnd(line, end, &l.last);
    l.head = l.lineEnd > line && *line >= 0x80;
    const LineScores scores = ScoreLine(l);
    NoteSingle(totals, l, scores);
    AddLine(totals, scores, l.head);
    line = l.lineEnd + 1;
  }
  return Decide(totals);
}

}  // namespace vz::codec
