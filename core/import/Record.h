#pragma once
// What the readers of other formats hand the converter: one record of the
// source, in UTF-8, with its fields already cleaned.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vz::import {

struct Record {
  std::size_t line = 0;  // where the record starts in the source, from 1
  std::string question;
  std::vector<std::string> answers;  // the source's alternatives, in order
};

// A record that gives no word line, and why (UTF-8).
struct Skipped {
  std::size_t line = 0;
  std::string why;
};

using OnRecord = std::function<void(Record&)>;
using OnSkip = std::function<void(const Skipped&)>;

// A field as a word line can hold it: each line break (CR LF, CR or LF) and
// each NUL (which would end a word file) becomes a space, and blanks at both
// ends are trimmed.
std::string CleanField(std::string_view text);

}  // namespace vz::import
