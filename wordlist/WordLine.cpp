#include "wordlist/WordLine.h"

#include <cstring>

namespace vz {

SplitView SplitInPlace(std::string_view line) {
  const auto comma = line.find(',');
  if (comma == std::string_view::npos) return {{}, line};
  return {comma > 1 ? line.substr(1, comma - 1) : std::string_view(), line.substr(comma + 1)};
}

SplitLine Split(std::string_view line) {
  const SplitView v = SplitInPlace(line);
  return {std::string(v.question), std::string(v.answers)};
}

std::string Join(std::string_view mark, std::string_view question, std::string_view answers) {
  std::string line;
  line.reserve(mark.size() + question.size() + 1 + answers.size());
  line.append(mark).append(question).append(1, ',').append(answers);
  return line;
}

bool Askable(std::string_view line) { return !line.empty() && line[0] != '1' && line[0] != ';'; }

std::vector<std::string_view> SplitLineViews(std::string_view text, bool* bytesAfterNul) {
  std::vector<std::string_view> lines;
  lines.reserve(text.size() / 32 + 1);
  ForEachLine(text, bytesAfterNul, [&](std::string_view line) { lines.push_back(line); });
  return lines;
}

std::vector<std::string> SplitLines(std::string_view text, bool* bytesAfterNul) {
  const std::vector<std::string_view> views = SplitLineViews(text, bytesAfterNul);
  return {views.begin(), views.end()};
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
