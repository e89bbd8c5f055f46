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

// Drops sound references "[sound:...]" as note-taking programs export them,
// and with `markup` HTML too: tags go (<br>, <div> and <p> become a space, so
// that lines do not run together; <img> leaves nothing), and entities become
// their characters.
std::string StripHtml(std::string_view text, bool markup);

// Appends the UTF-8 form of `code` (U+FFFD when it is no character).
void AppendUtf8(std::string& out, unsigned long code);

// When `text` starts with an entity ("&amp;", "&#233;"), appends its
// character and returns the entity's length; else returns 0.
std::size_t AppendEntityAt(std::string_view text, std::string& out);

// The character of an HTML or XML entity body ("amp", "#233", "#xE9"), as
// UTF-8; empty when it is not one.
std::string EntityText(std::string_view body);

}  // namespace vz::import
