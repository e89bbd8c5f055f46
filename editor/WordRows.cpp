#include "editor/WordRows.h"

#include <numeric>

#include "wordlist/WordLine.h"

namespace vz {

const char* const WordRows::kFallbackLine = "0\x83\x6C\x83\x52,cat";  // 0ネコ,cat
const char* const WordRows::kUtf8FallbackLine = "0ネコ,cat";

WordRows::WordRows(std::vector<std::string_view> lines, codec::Encoding enc)
    : lines_(std::move(lines)), rows_(lines_.size()), encoding_(enc) {
  std::iota(rows_.begin(), rows_.end(), 0);
}

std::string WordRows::Cell(int row, int column) const {
  const std::int32_t r = rows_.at(static_cast<size_t>(row));
  if (r < 0) {
    const Added& a = added_[static_cast<size_t>(~r)];
    return column == 0 ? std::string(1, kLineToAsk) : column == 1 ? a.question : a.answers;
  }
  const std::string_view line = lines_[static_cast<size_t>(r)];
  if (column == 0) return std::string(line.substr(0, 1));
  SplitLine s = Split(line);
  return column == 1 ? std::move(s.question) : std::move(s.answers);
}

void WordRows::Append(std::string question, std::string answers) {
  added_.push_back({std::move(question), std::move(answers)});
  rows_.push_back(~static_cast<std::int32_t>(added_.size() - 1));
}

void WordRows::Remove(int first, int count) {
  const auto begin = rows_.begin() + first;
  rows_.erase(begin, begin + count);
}

std::string WordRows::Line(int row) const {
  const std::int32_t r = rows_[static_cast<size_t>(row)];
  if (r < 0) {
    const Added& a = added_[static_cast<size_t>(~r)];
    return Join(std::string_view(&kLineToAsk, 1), a.question, a.answers);
  }
  const std::string_view line = lines_[static_cast<size_t>(r)];
  if (line.empty() || line[0] == kQuestionEnd) return std::string(line);
  const SplitLine s = Split(line);
  return Join(std::string_view(line).substr(0, 1), s.question, s.answers);
}

std::vector<std::string> WordRows::Lines() const {
  if (rows_.empty()) return {encoding_ == codec::Encoding::Utf8 ? kUtf8FallbackLine : kFallbackLine};
  std::vector<std::string> out;
  out.reserve(rows_.size());
  for (int i = 0; i < Count(); ++i) out.push_back(Line(i));
  return out;
}

}  // namespace vz
