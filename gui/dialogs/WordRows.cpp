#include "gui/dialogs/WordRows.h"

#include <numeric>

#include "core/wordlist/WordLine.h"

namespace vz {

const char* const WordRows::kFallbackLine = "0\x83\x6C\x83\x52,cat";  // 0ネコ,cat
const char* const WordRows::kUtf8FallbackLine = "0ネコ,cat";
const char* const WordRows::kEucJpFallbackLine = "0\xA5\xCD\xA5\xB3,cat";

WordRows::WordRows(std::vector<std::string_view> lines, codec::Encoding enc)
    : lines_(std::move(lines)), rows_(lines_.size()), encoding_(enc) {
  std::iota(rows_.begin(), rows_.end(), 0);
}

std::string_view WordRows::Cell(int row, int column) const {
  const std::int32_t r = rows_.at(static_cast<size_t>(row));
  if (r < 0) {
    const Added& a = added_[static_cast<size_t>(~r)];
    static constexpr char kMark[] = {kLineToAsk, '\0'};
    return column == 0 ? std::string_view(kMark) : column == 1 ? a.question : a.answers;
  }
  const std::string_view line = lines_[static_cast<size_t>(r)];
  // The mark is the line's whole first character, as the list marks it.
  if (column == 0) return line.substr(0, codec::FirstCharLength(encoding_, line));
  const SplitView s = SplitInPlace(line, encoding_);
  return column == 1 ? s.question : s.answers;
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
  const SplitLine s = Split(line, encoding_);
  return Join(line.substr(0, codec::FirstCharLength(encoding_, line)), s.question, s.answers);
}

std::vector<std::string> WordRows::Lines() const {
  if (rows_.empty()) {
    switch (codec::LineEncoding(encoding_)) {
      case codec::Encoding::Utf8:
        return {kUtf8FallbackLine};
      case codec::Encoding::EucJp:
        return {kEucJpFallbackLine};
      default:
        return {kFallbackLine};
    }
  }
  std::vector<std::string> out;
  out.reserve(rows_.size());
  for (int i = 0; i < Count(); ++i) out.push_back(Line(i));
  return out;
}

}  // namespace vz
