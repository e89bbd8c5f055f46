#pragma once
// The word-line format: byte 1 is the state mark ("0" to be asked, "1"
// answered in this pass, ";" comment), then the question up to the first
// ",", then the answers (alternatives separated by ";").
#include <cstring>
#include <string>
#include <string_view>

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

// Question: bytes 2 .. first comma - 1. Answers: everything after the first
// comma; the whole line (state mark included) when there is no comma.
SplitLine Split(std::string_view line);

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
// `text`: the lines of ForEachTextLine, except that a NUL ends the text.
// `bytesAfterNul` (optional) tells whether anything followed that NUL.
template <class OnLine>
void ForEachLine(std::string_view text, bool* bytesAfterNul, OnLine&& onLine) {
  const void* nul = text.empty() ? nullptr : std::memchr(text.data(), '\0', text.size());
  if (bytesAfterNul) {
    *bytesAfterNul = nul && static_cast<const char*>(nul) + 1 < text.data() + text.size();
  }
  if (nul) text = text.substr(0, static_cast<size_t>(static_cast<const char*>(nul) - text.data()));
  ForEachTextLine(text, [&](std::string_view line, std::string_view) { onLine(line); });
}

}  // namespace vz
