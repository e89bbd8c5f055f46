#pragma once
// The word-line format: byte 1 is the state mark ("0" to be asked, "1"
// answered in this pass, ";" comment), then the question up to the first
// ",", then the answers (alternatives separated by ";").
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace vz {

struct SplitLine {
  std::string question;
  std::string answers;
};

// Question: bytes 2 .. first comma - 1. Answers: everything after the first
// comma; the whole line (state mark included) when there is no comma.
SplitLine Split(std::string_view line);

// mark + question + "," + answers.
std::string Join(std::string_view mark, std::string_view question, std::string_view answers);

// Not empty, and the first byte is neither "1" nor ";".
bool Askable(std::string_view line);

// Calls `onLine` with each line of file text, as a view into `text`. A line
// ends at CR, LF or CR LF; a final line end adds no empty line; a NUL ends
// the text. `bytesAfterNul` (optional) tells whether anything followed that
// NUL.
template <class OnLine>
void ForEachLine(std::string_view text, bool* bytesAfterNul, OnLine&& onLine) {
  const void* nul = text.empty() ? nullptr : std::memchr(text.data(), '\0', text.size());
  if (bytesAfterNul) {
    *bytesAfterNul = nul && static_cast<const char*>(nul) + 1 < text.data() + text.size();
  }
  if (nul) text = text.substr(0, static_cast<size_t>(static_cast<const char*>(nul) - text.data()));
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
    onLine(std::string_view(p, static_cast<size_t>(q - p)));
    if (q < end && *q == '\r' && q + 1 < end && q[1] == '\n') ++q;
    p = q + 1;
  }
}

// The lines of file text, as ForEachLine finds them.
std::vector<std::string> SplitLines(std::string_view text, bool* bytesAfterNul = nullptr);
// The same lines as views into `text`.
std::vector<std::string_view> SplitLineViews(std::string_view text, bool* bytesAfterNul = nullptr);

// Every line followed by CR LF.
std::string JoinLines(const std::vector<std::string>& lines);

}  // namespace vz
