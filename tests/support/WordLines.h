#pragma once
// Word lines as tests write and compare them: a list made from lines, the
// lines of a list or of file text, and file text made from lines.
#include <string>
#include <string_view>
#include <vector>

#include "core/wordlist/WordLine.h"
#include "core/wordlist/WordList.h"

namespace vz::test {

using Lines = std::vector<std::string>;

inline WordList ListOf(const Lines& lines) {
  WordList list;
  for (const auto& l : lines) list.Add(l);
  return list;
}

inline Lines LinesOf(const WordList& list) {
  Lines out;
  for (int i = 0; i < list.Count(); ++i) out.emplace_back(list.Get(i));
  return out;
}

// The lines of word-file text, as the word list finds them.
inline Lines LinesOf(std::string_view text, bool* bytesAfterNul = nullptr) {
  Lines out;
  ForEachLine(text, bytesAfterNul, [&](std::string_view line) { out.emplace_back(line); });
  return out;
}

// Every line followed by CR LF, as a save writes them.
inline std::string CrLfText(const Lines& lines) {
  std::string text;
  for (const auto& l : lines) text.append(l).append("\r\n");
  return text;
}

inline std::vector<std::string_view> Views(const Lines& lines) { return {lines.begin(), lines.end()}; }

}  // namespace vz::test
