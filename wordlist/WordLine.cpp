#include "wordlist/WordLine.h"

#include <cstring>

namespace vz {

SplitLine Split(std::string_view line) {
  const auto comma = line.find(kQuestionEnd);
  if (comma == std::string_view::npos) return {std::string(), std::string(line)};
  std::string question = comma > 1 ? std::string(line.substr(1, comma - 1)) : std::string();
  return {std::move(question), std::string(line.substr(comma + 1))};
}

std::string Join(std::string_view mark, std::string_view question, std::string_view answers) {
  std::string line;
  line.reserve(mark.size() + question.size() + 1 + answers.size());
  line.append(mark).append(question).append(1, kQuestionEnd).append(answers);
  return line;
}

bool Askable(std::string_view line) {
  return !line.empty() && line[0] != kLineAnswered && line[0] != kLineComment;
}

bool IsComment(std::string_view line) { return !line.empty() && line[0] == kLineComment; }

bool IsOneOfAnswers(std::string_view answers, std::string_view typed) {
  for (;;) {
    const auto sep = answers.find(kAnswerSeparator);
    if (answers.substr(0, sep) == typed) return true;
    if (sep == std::string_view::npos) return false;
    answers.remove_prefix(sep + 1);
  }
}

}  // namespace vz
