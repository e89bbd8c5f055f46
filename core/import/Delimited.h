#pragma once
// Delimited text: CSV as RFC 4180 has it (with "," or the ";" or tab a
// spreadsheet may choose), tab-separated files, and Anki's "Notes in Plain
// Text" export with its header lines.
#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "core/import/Record.h"
#include "core/import/TextWindow.h"

namespace vz::import {

// One record of delimited text, as views into the text it was read from.
struct CsvRecord {
  std::vector<std::string_view> fields;
  std::deque<std::string> unescaped;  // the fields that held doubled quotes
  std::size_t lineEnds = 0;           // line ends inside the record and after it
  bool quoted = false;                // some field was in quotes
  void Clear();
};

// Reads the record of `text` that starts at `at` into `record` and returns
// where the next one starts: fields separated by `sep`; a field in double
// quotes may hold the separator, line breaks and doubled quotes; quotes
// followed by more text are part of the text. The separator, quotes and line
// ends are ASCII bytes that no character of code page 932, EUC-JP or UTF-8
// contains, so the raw bytes are split before any decoding. A record that
// runs to the end of `text` may go on in text not read yet.
std::size_t ParseCsvRecord(std::string_view text, std::size_t at, char sep, CsvRecord& record);

// What the lines at the start of the text say: Anki's header lines
// ("#separator:tab", "#html:true", "#columns:...", "#tags column:3", ...),
// among which other lines that start with "#" are comments.
struct DelimitedLayout {
  char sep = ',';
  bool html = false;
  bool ankiHeader = false;           // the text starts with Anki's header lines
  std::vector<std::size_t> dropped;  // columns (from 0) that hold no word: tags, deck, note type
};
// `head`: the start of the text. A separator no header line names is told
// from the first records.
DelimitedLayout ReadLayout(std::string_view head);

// The separator the first records of `text` use: the first line that holds
// a tab, ";" or "," outside quotes decides: a tab if it has one, else ";"
// when it has that but no ",", else ",".
char GuessSeparator(std::string_view text);

// Reads delimited text into records: the first word column asks, the others
// are its answers. `columns` (from 0; empty for all) picks the question and
// answer columns instead. The lines at the start that are blank or start
// with "#" are passed over.
void ReadDelimited(TextWindow& in, const DelimitedLayout& layout, const std::vector<std::size_t>& columns,
                   const FieldDecoder& decoder, const OnRecord& onRecord, const OnSkip& onSkip);

}  // namespace vz::import
