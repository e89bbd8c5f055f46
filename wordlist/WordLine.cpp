#include "wordlist/WordLine.h"

#include <cstring>

namespace vz {

SplitLine Split(std::string_view line) {
  const auto comma = line.find(',');
  if (comma == std::string_view::npos) return {std::string(), std::string(line)};
  std::string question = comma > 1 ? std::string(line.substr(1, comma - 1)) : std::string();
  return {std::move(question), std::string(line.substr(comma + 1))};
}

std::string Join(std::string_view mark, std::string_view question, std::string_view answers) {
  std::string line;
  line.reserve(mark.size() + question.size() + 1 + answers.size());
  line.append(mark).append(question).append(1, ',').append(answers);
  return line;
}

bool Askable(std::string_view line) {
  return !line.empty() && line[0] != '1' && line[0] != ';';
}

std::vector<std::string> SplitLines(std::string_view text, bool* bytesAfterNul) {
  const void* nul = text.empty() ? nullptr : std::memchr(text.data(), '\0', text.size());
  if (bytesAfterNul) {
    *bytesAfterNul = nul && static_cast<const char*>(nul) + 1 < text.data() + text.size();
  }
  if (nul) text = text.substr(0, static_cast<size_t>(static_cast<const char*>(nul) - text.data()));

  std::vector<std::string> lines;
  lines.reserve(text.size() / 32 + 1);
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
    lines.emplace_back(p, q);
    if (q < end && *q == '\r' && q + 1 < end && q[1] == '\n') ++q;
    p = q + 1;
  }
  return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  size_t total = 0;
  for (const auto& l : lines) total += l.size() + 2;
  std::string text;
  text.reserve(total);
  for (const auto& l : lines) text.append(l).append("\r\n");
  return text;
}

}  // namespace vz
