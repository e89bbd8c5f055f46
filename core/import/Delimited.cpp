#include "core/import/Delimited.h"
#include "core/import/Markup.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "core/text/Convert.h"

namespace vz::import {
namespace {

// The value of "#separator:": a name Anki writes, or the character itself.
char SeparatorNamed(std::string_view value) {
  std::string v(value);
  for (char& c : v) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  static constexpr std::pair<std::string_view, char> kNames[] = {
      {"tab", '\t'}, {"comma", ','}, {"semicolon", ';'}, {"space", ' '}, {"pipe", '|'}, {"colon", ':'}};
  for (const auto& [name, sep] : kNames) {
    if (v == name) return sep;
  }
  return value.size() == 1 ? value[0] : '\t';
}

std::size_t ColumnNumber(std::string_view v) {
  const long n = std::strtol(std::string(v).c_str(), nullptr, 10);
  return n > 0 ? static_cast<std::size_t>(n - 1) : static_cast<std::size_t>(-1);
}

}  // namespace

DelimitedLayout ReadLayout(std::string_view text) {
  DelimitedLayout layout;
  bool sepKnown = false;
  std::string_view columns;
  std::size_t at = 0;
  while (at < text.size() && text[at] == '#') {
    std::size_t end = text.find_first_of("\r\n", at);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(at + 1, end - at - 1);
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) break;
    const std::string_view key = line.substr(0, colon), value = line.substr(colon + 1);
    if (key == "separator") {
      layout.sep = SeparatorNamed(value);
      sepKnown = true;
    } else if (key == "html") {
      layout.html = value == "true" || value == "True";
    } else if (key == "columns") {
      columns = value;
    } else if (key.ends_with(" column")) {  // tags, deck, notetype, guid
      layout.dropped.push_back(ColumnNumber(value));
    } else if (key.empty() ||
               key.find_first_not_of("abcdefghijklmnopqrstuvwxyz ") != std::string_view::npos) {
      break;  // a record that starts with "#"
    }
    layout.ankiHeader = true;
    ++layout.headerLines;
    at = end;
    if (at < text.size()) at += text.compare(at, 2, "\r\n") == 0 ? 2 : 1;
    layout.headerBytes = at;
  }
  if (!sepKnown) layout.sep = layout.ankiHeader ? '\t' : GuessSeparator(text.substr(layout.headerBytes));
  // A column named "Tags" holds tags, when no header line said where they are.
  if (!columns.empty() && layout.dropped.empty()) {
    std::size_t column = 0;
    for (std::size_t from = 0; from <= columns.size(); ++column) {
      std::size_t to = std::min(columns.find(layout.sep, from), columns.size());
      const std::string name = CleanField(columns.substr(from, to - from));
      if (name == "Tags" || name == "tags") layout.dropped.push_back(column);
      from = to + 1;
    }
  }
  return layout;
}

char GuessSeparator(std::string_view text) {
  std::size_t end = 0;
  bool inQuotes = false;
  std::size_t counts[3] = {0, 0, 0};  // tab, ";", ","
  for (; end < text.size() && (inQuotes || (text[end] != '\r' && text[end] != '\n')); ++end) {
    const char c = text[end];
    if (c == '"') inQuotes = !inQuotes;
    if (!inQuotes) counts[0] += c == '\t', counts[1] += c == ';', counts[2] += c == ',';
  }
  if (counts[0] > 0) return '\t';
  return counts[1] > 0 && counts[2] == 0 ? ';' : ',';
}

void ReadDelimited(std::string_view text, codec::Encoding enc, const DelimitedLayout& layout,
                   const std::vector<std::size_t>& columns, const OnRecord& onRecord, const OnSkip& onSkip) {
  Record r;
  auto clean = [&](const std::string& raw) {
    return CleanField(StripHtml(codec::ToUtf8(enc, raw), layout.html));
  };
  auto dropped = [&](std::size_t c) {
    return std::find(layout.dropped.begin(), layout.dropped.end(), c) != layout.dropped.end();
  };
  ForEachCsvRecord(text.substr(layout.headerBytes), layout.sep,
                   [&](const std::vector<std::string>& fields, std::size_t line) {
                     r.line = line + layout.headerLines;
                     r.question.clear();
                     r.answers.clear();
                     if (!columns.empty()) {
                       if (columns[0] >= fields.size() || columns[1] >= fields.size()) {
                         onSkip({r.line, "指定の列がありません"});
                         return;
                       }
                       r.question = clean(fields[columns[0]]);
                       r.answers.push_back(clean(fields[columns[1]]));
                     } else {
                       bool first = true;
                       for (std::size_t c = 0; c < fields.size(); ++c) {
                         if (dropped(c)) continue;
                         (first ? r.question : r.answers.emplace_back()) = clean(fields[c]);
                         first = false;
                       }
                     }
                     onRecord(r);
                   });
}

}  // namespace vz::import
