#pragma once
// Delimited text: CSV as RFC 4180 has it (with "," or the ";" or tab a
// spreadsheet may choose), tab-separated files, and Anki's "Notes in Plain
// Text" export with its header lines.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/import/Record.h"
#include "core/text/Encoding.h"

namespace vz::import {

// Calls onFields(fields, line) for each record of `text`: fields separated by
// `sep`; a field in double quotes may hold the separator, line breaks and
// doubled quotes; quotes followed by more text are part of the text.
// `line` is where the record starts (from 1). A blank line
// is no record. The separator, quotes and line ends are ASCII bytes that no
// character of code page 932, EUC-JP or UTF-8 contains, so the raw bytes are
// split before any decoding.
template <class OnFields>
void ForEachCsvRecord(std::string_view text, char sep, OnFields&& onFields);

// Anki's header lines ("#separator:tab", "#html:true", "#columns:...",
// "#tags column:3", ...) at the start of `text`.
struct DelimitedLayout {
  char sep = ',';
  bool html = false;
  bool ankiHeader = false;           // the text starts with Anki's header lines
  std::vector<std::size_t> dropped;  // columns (from 0) that hold no word: tags, deck, note type
  std::size_t headerBytes = 0;       // where the records start
  std::size_t headerLines = 0;
};
DelimitedLayout ReadLayout(std::string_view text);

// The separator the first record of `text` uses: a tab if it has one, else
// ";" when it has that but no ",", else ",".
char GuessSeparator(std::string_view text);

// Reads delimited `text` (in `enc`, no byte-order mark) into records: the
// first word column asks, the others are its answers. `columns` (from 0; empty
// for all) picks the question and answer columns instead.
void ReadDelimited(std::string_view text, codec::Encoding enc, const DelimitedLayout& layout,
                   const std::vector<std::size_t>& columns, const OnRecord& onRecord, const OnSkip& onSkip);

template <class OnFields>
void ForEachCsvRecord(std::string_view text, char sep, OnFields&& onFields) {
  const std::size_t n = text.size();
  std::size_t i = 0, line = 1;
  std::vector<std::string> fields;
  // Past a line end at i (CR LF counts once); false when there is none.
  auto lineEndAt = [&](std::size_t& at) {
    if (at >= n || (text[at] != '\r' && text[at] != '\n')) return false;
    at += text[at] == '\r' && at + 1 < n && text[at + 1] == '\n' ? 2 : 1;
    ++line;
    return true;
  };
  while (i < n) {
    const std::size_t first = line;
    fields.clear();
    bool quoted = false;
    for (;;) {
      std::string field;
      const std::size_t fieldStart = i, fieldLine = line;
      if (i < n && text[i] == '"') {
        quoted = true;
        for (++i; i < n;) {
          if (text[i] == '"') {
            if (i + 1 < n && text[i + 1] == '"') {
              field += '"';
              i += 2;
              continue;
            }
            ++i;
            break;
          }
          const std::size_t from = i;
          if (lineEndAt(i)) {
            field.append(text.substr(from, i - from));
            continue;
          }
          while (i < n && text[i] != '"' && text[i] != '\r' && text[i] != '\n') ++i;
          field.append(text.substr(from, i - from));
        }
      }
      // Text after a closing quote ("as above" mark) means the quotes were
      // part of the text: the field is then read unquoted.
      if (i < n && text[i] != sep && text[i] != '\r' && text[i] != '\n') {
        i = fieldStart;
        line = fieldLine;
        field.clear();
      }
      // Unquoted text up to the separator or the line end, taken as it is.
      std::size_t end = i;
      while (end < n && text[end] != sep && text[end] != '\r' && text[end] != '\n') ++end;
      field.append(text.substr(i, end - i));
      i = end;
      fields.push_back(std::move(field));
      if (i < n && text[i] == sep) {
        ++i;
        continue;
      }
      break;
    }
    lineEndAt(i);
    if (quoted || fields.size() > 1 || !fields[0].empty()) onFields(fields, first);
  }
}

}  // namespace vz::import
