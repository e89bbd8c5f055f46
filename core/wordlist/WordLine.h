#pragma once
// The word-line format: byte 1 is the state mark ("0" to be asked, "1"
// answered in this pass, ";" comment), then the question up to the first
// ",", then the answers (alternatives separated by ";"). In a multi-byte
// encoding other than code page 932 a line without a mark begins with a
// whole character in its place (see codec::FirstCharLength): the question
// starts after it, where marking the line leaves it.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "core/text/Encoding.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace vz {

// The state mark, byte 1 of a word line.
inline constexpr char kLineToAsk = '0';     // to be asked in this pass
inline constexpr char kLineAnswered = '1';  // answered in this pass
inline constexpr char kLineComment = ';';   // never asked, never marked
// The question ends at the first kQuestionEnd; the answers after it are
// alternatives separated by kAnswerSeparator.
inline constexpr char kQuestionEnd = ',';
inline constexpr char kAnswerSeparator = ';';

struct SplitLine {
  std::string question;
  std::string answers;
};

// Question: from the end of the first character (byte 2 in code page 932)
// to the first comma. Answers: everything after the first comma; the whole
// line (state mark included) when there is no comma.
SplitLine Split(std::string_view line, codec::Encoding enc = codec::Encoding::Cp932);

// The same split, as views into `line`.
struct SplitView {
  std::string_view question;
  std::string_view answers;
};
SplitView SplitInPlace(std::string_view line, codec::Encoding enc = codec::Encoding::Cp932);

// mark + question + "," + answers.
std::string Join(std::string_view mark, std::string_view question, std::string_view answers);

// Not empty, and the first byte is neither kLineAnswered nor kLineComment.
bool Askable(std::string_view line);
// The first byte is kLineComment.
bool IsComment(std::string_view line);

// True when `typed` equals `answers` or one of its ";" alternatives.
bool IsOneOfAnswers(std::string_view answers, std::string_view typed);

// Calls `onLine(content, ending)` with each line of `text`, both as views
// into it. A line ends at CR, LF or CR LF (`ending`, empty on a last line
// without one); a final line end adds no empty line. Every other byte, NUL
// included, is content. The settings file is read this way.
template <class OnLine>
void ForEachTextLine(std::string_view text, OnLine&& onLine) {
  const char* p = text.data();
  const char* const end = p + text.size();
  // The next CR and the next LF at or after p, each searched with memchr
  // only once p has passed it, so a file with one kind of line end never
  // searches the whole rest of the file for the other kind on every line.
  auto next = [end](const char* from, char c) {
    const void* hit = std::memchr(from, c, static_cast<size_t>(end - from));
    return hit ? static_cast<const char*>(hit) : end;
  };
  const char* cr = nullptr;
  const char* lf = nullptr;
  while (p < end) {
    if (!cr || cr < p) cr = next(p, '\r');
    if (!lf || lf < p) lf = next(p, '\n');
    const char* q = cr < lf ? cr : lf;
    const char* after = q;
    if (q < end) after = (*q == '\r' && q + 1 < end && q[1] == '\n') ? q + 2 : q + 1;
    onLine(std::string_view(p, static_cast<size_t>(q - p)),
           std::string_view(q, static_cast<size_t>(after - q)));
    p = after;
  }
}

// Calls `onLine` with each line of a word file's text, as a view into
// `text`: the lines of ForEachTextLine, except that a NUL ends the text. `bytesAfterNul` (optional) tells
// whether anything followed that NUL. Returns the length of the text before the NUL (all of it if none).
template <class OnLine>
std::size_t ForEachLine(std::string_view text, bool* bytesAfterNul, OnLine&& onLine) {
  const char* p = text.data();
  const char* const end = p + text.size();
  const char* stop = end;  // the NUL, once found
  const char* start = p;
  // Ends the line at `q`, a CR or LF; returns where the next line starts.
  auto lineEnd = [end, &onLine](const char* from, const char* q) {
    onLine(std::string_view(from, static_cast<size_t>(q - from)));
    return q + (*q == '\r' && q + 1 < end && q[1] == '\n' ? 2 : 1);
  };
#ifdef __SSE2__
  // 64 bytes at a time, finding line ends and the NUL at once, with the LF
  // of each CR LF pair masked out: a word file's lines are short, and a
  // call of memchr per line end would cost more than the scan itself.
  const __m128i cr = _mm_set1_epi8('\r'), lf = _mm_set1_epi8('\n'), zero = _mm_setzero_si128();
  auto bits = [](__m128i v) { return std::uint64_t(static_cast<unsigned>(_mm_movemask_epi8(v))); };
  std::uint64_t crBefore = 0;  // the previous block ended in a CR
  for (; end - p >= 64; p += 64) {
    const auto* block = reinterpret_cast<const __m128i*>(p);
    const __m128i v0 = _mm_loadu_si128(block), v1 = _mm_loadu_si128(block + 1),
                  v2 = _mm_loadu_si128(block + 2), v3 = _mm_loadu_si128(block + 3);
    auto mask = [&](__m128i c) {
      return bits(_mm_cmpeq_epi8(v0, c)) | bits(_mm_cmpeq_epi8(v1, c)) << 16 |
             bits(_mm_cmpeq_epi8(v2, c)) << 32 | bits(_mm_cmpeq_epi8(v3, c)) << 48;
    };
    const std::uint64_t crs = mask(cr);
    std::uint64_t hits = crs | (mask(lf) & ~((crs << 1) | crBefore));
    crBefore = crs >> 63;
    if (const std::uint64_t nul = mask(zero)) {
      stop = p + __builtin_ctzll(nul);
      hits &= (nul & (0 - nul)) - 1;  // the line ends before the NUL
    }
    for (; hits; hits &= hits - 1) start = lineEnd(start, p + __builtin_ctzll(hits));
    if (stop != end) break;
  }
#endif
  for (; stop == end && p < end; ++p) {
    if (*p == '\0') {
      stop = p;
    } else if ((*p == '\r' || *p == '\n') && p >= start) {  // not the LF of a CR LF
      start = lineEnd(start, p);
    }
  }
  if (bytesAfterNul) *bytesAfterNul = stop + 1 < end;
  if (start < stop) onLine(std::string_view(start, static_cast<size_t>(stop - start)));
  return static_cast<size_t>(stop - text.data());
}

}  // namespace vz
