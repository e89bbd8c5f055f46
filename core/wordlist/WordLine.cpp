#include "core/wordlist/WordLine.h"

#include <cstring>

namespace vz {

SplitView SplitInPlace(std::string_view line, codec::Encoding enc) {
  const auto comma = line.find(kQuestionEnd);
  if (comma == std::string_view::npos) return {{}, line};
  const std::size_t from = codec::FirstCharLength(enc, line);
  return {comma > from ? line.substr(from, comma - from) : std::string_view(), line.substr(comma + 1)};
}

SplitLine Split(std::string_view line, codec::Encoding enc) {
  const SplitView v = SplitInPlace(line, enc);
  return {std::string(v.question), std::string(v.answers)};
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
