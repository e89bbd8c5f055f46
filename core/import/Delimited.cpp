#include "core/import/Delimited.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "core/import/Markup.h"

namespace vz::import {
namespace {

bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

// Where the line end at `at` (CR LF counts once) is passed; `at` itself when
// there is none.
std::size_t PastLineEnd(std::string_view text, std::size_t at) {
  if (at >= text.size() || !IsLineEnd(text[at])) return at;
  return at + (text.compare(at, 2, "\r\n") == 0 ? 2 : 1);
}

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

// What the header lines say, as they are read.
struct Header {
  DelimitedLayout layout;
  std::optional<char> sep;
  std::string_view columns;

  // One line after its "#": a key Anki writes (lower-case letters and
  // blanks, then ":") and its value; anything else is a comment.
  void Read(std::string_view line) {
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0 || !std::islower(static_cast<unsigned char>(line[0])) ||
        line.substr(0, colon).find_first_not_of("abcdefghijklmnopqrstuvwxyz ") != std::string_view::npos)
      return;
    const std::string_view key = line.substr(0, colon), value = line.substr(colon + 1);
    if (key == "separator") {
      sep = SeparatorNamed(value);
    } else if (key == "html") {
      layout.html = value == "true" || value == "True";
    } else if (key == "columns") {
      columns = value;
    } else if (key.ends_with(" column")) {  // tags, deck, notetype, guid
      layout.dropped.push_back(ColumnNumber(value));
    }
    layout.ankiHeader = true;
  }

  // A column named "Tags" holds tags, when no header line said where they are.
  void DropTagsColumn() {
    if (columns.empty() || !layout.dropped.empty()) return;
    std::size_t column = 0;
    for (std::size_t from = 0; from <= columns.size(); ++column) {
      const std::size_t to = std::min(columns.find(layout.sep, from), columns.size());
      const std::string name = CleanField(columns.substr(from, to - from));
      if (name == "Tags" || name == "tags") layout.dropped.push_back(column);
      from = to + 1;
    }
  }
};

// A quoted field from its opening quote at `at`: its text in `field` (a
// view into `text`, or into record.unescaped when it held doubled quotes),
// the line ends inside it added to `lineEnds`. Returns where the closing
// quote is passed (the end of `text` when there is none).
std::size_t ReadQuoted(std::string_view text, std::size_t at, CsvRecord& record, std::string_view& field,
                       std::size_t& lineEnds) {
  const std::size_t n = text.size(), from = at + 1;
  std::string* unescaped = nullptr;
  std::size_t copied = from;  // where the text not yet in `unescaped` starts
  std::size_t i = from;
  for (; i < n && !(text[i] == '"' && (i + 1 == n || text[i + 1] != '"')); ++i) {
    if (text[i] == '"') {  // the first of a doubled quote, which stands for one
      if (!unescaped) unescaped = &record.unescaped.emplace_back();
      unescaped->append(text.substr(copied, i + 1 - copied));
      copied = ++i + 1;
    } else if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == n || text[i + 1] != '\n'))) {
      ++lineEnds;
    }
  }
  if (unescaped) {
    field = unescaped->append(text.substr(copied, i - copied));
  } else {
    field = text.substr(from, i - from);
  }
  return std::min(i + 1, n);
}

// Passes over a record too long to be held, from its first byte through its
// line end, a piece at a time: a quote opens a quoted field at a field's
// start, two quotes in one stand for a quote, and a line end outside quotes
// ends the record. Text after a closing quote simply goes on, where a record
// short enough is read again without its quotes; a record this long is
// skipped either way. Returns the line ends passed.
class LongRecordSkipper {
 public:
  explicit LongRecordSkipper(char sep) : sep_(sep) {}

  std::size_t Skip(TextWindow& in) {
    for (;;) {
      const std::string_view text = in.Text();
      for (std::size_t i = 0; i < text.size(); ++i) {
        i = NextThatMatters(text, i);
        if (i == text.size()) break;
        if (!Ends(text[i])) continue;
        in.Consume(i + 1);
        if (text[i] == '\r') in.SkipLfAfterCr();
        return lineEnds_ + 1;
      }
      in.Consume(text.size());
      if (!in.More() && in.Text().empty()) return lineEnds_;
    }
  }

 private:
  enum class State { FieldStart, Unquoted, Quoted, QuoteInQuoted };

  // From `i` on, the first byte that can change the state: right after a
  // separator or a quote any byte can; inside a field only the separator and
  // line ends, inside quotes only a quote and line ends.
  std::size_t NextThatMatters(std::string_view text, std::size_t i) {
    if (state_ == State::FieldStart || state_ == State::QuoteInQuoted) return i;
    const char* const from = text.data() + i;
    const char* hit = text.data() + text.size();
    for (const char c : {state_ == State::Quoted ? '"' : sep_, '\r', '\n'}) {
      if (const void* found = std::memchr(from, c, static_cast<std::size_t>(hit - from)))
        hit = static_cast<const char*>(found);
    }
    if (hit != from) afterCr_ = false;
    return static_cast<std::size_t>(hit - text.data());
  }

  // Takes the next byte; true when it ends the record.
  bool Ends(char c) {
    const bool lfOfCrLf = c == '\n' && afterCr_;
    afterCr_ = c == '\r';
    switch (state_) {
      case State::Quoted:
        if (c == '"') state_ = State::QuoteInQuoted;
        lineEnds_ += IsLineEnd(c) && !lfOfCrLf;
        return false;
      case State::QuoteInQuoted:  // a second quote stands for one; anything else closed the field
      case State::FieldStart:     // a quote opens a quoted field
        if (c == '"') {
          state_ = State::Quoted;
          return false;
        }
        break;
      case State::Unquoted:
        break;
    }
    state_ = c == sep_ ? State::FieldStart : State::Unquoted;
    return IsLineEnd(c);
  }

  char sep_;
  State state_ = State::FieldStart;
  bool afterCr_ = false;
  std::size_t lineEnds_ = 0;
};

// Passes over the lines at the start that are blank or start with "#";
// returns how many.
std::size_t SkipHeaderLines(TextWindow& in) {
  std::size_t lines = 0;
  for (;;) {
    const std::string_view text = in.Text();
    if (text.empty()) {
      if (!in.More() && in.Text().empty()) return lines;
      continue;
    }
    if (text[0] != '#' && !IsLineEnd(text[0])) return lines;
    in.SkipLine();
    ++lines;
  }
}

// Makes the record `r` of a record's fields; false (with `why`) when the
// fields asked for are missing or do not decode.
class FieldReader {
 public:
  FieldReader(const DelimitedLayout& layout, const std::vector<std::size_t>& columns,
              const FieldDecoder& decoder)
      : layout_(layout), columns_(columns), decoder_(decoder) {}

  bool Read(const std::vector<std::string_view>& fields, Record& r, std::string& why) {
    r.question.clear();
    r.answers.assign(1, std::string());
    if (!columns_.empty()) {
      if (columns_[0] >= fields.size() || columns_[1] >= fields.size()) {
        why = "指定の列がありません";
        return false;
      }
      return Clean(fields[columns_[0]], r.question, why) && Clean(fields[columns_[1]], r.answers[0], why);
    }
    bool first = true;
    std::string& answers = r.answers[0];
    for (std::size_t c = 0; c < fields.size(); ++c) {
      if (std::find(layout_.dropped.begin(), layout_.dropped.end(), c) != layout_.dropped.end()) continue;
      if (!Clean(fields[c], first ? r.question : cleaned_, why)) return false;
      if (!first) (answers.empty() ? answers : answers += ';') += cleaned_;
      first = false;
    }
    return true;
  }

 private:
  bool Clean(std::string_view raw, std::string& out, std::string& why) {
    if (!decoder_.Decode(raw, decoded_)) {
      why = decoder_.Why();
      return false;
    }
    out = CleanField(StripHtml(decoded_, layout_.html));
    return true;
  }

  const DelimitedLayout& layout_;
  const std::vector<std::size_t>& columns_;
  const FieldDecoder& decoder_;
  std::string decoded_, cleaned_;
};

}  // namespace

void CsvRecord::Clear() {
  fields.clear();
  unescaped.clear();
  lineEnds = 0;
  quoted = false;
}

DelimitedLayout ReadLayout(std::string_view head) {
  Header header;
  std::size_t at = 0;
  while (at < head.size() && (head[at] == '#' || IsLineEnd(head[at]))) {
    const std::size_t end = std::min(head.find_first_of("\r\n", at), head.size());
    if (head[at] == '#') header.Read(head.substr(at + 1, end - at - 1));
    at = PastLineEnd(head, end);
  }
  header.layout.sep = header.sep ? *header.sep : GuessSeparator(head.substr(at));
  header.DropTagsColumn();
  return header.layout;
}

char GuessSeparator(std::string_view text) {
  constexpr int kLines = 5;
  std::size_t end = 0;
  for (int line = 0; line < kLines && end < text.size(); ++line) {
    bool inQuotes = false;
    std::size_t counts[3] = {0, 0, 0};  // tab, ";", ","
    for (; end < text.size() && (inQuotes || !IsLineEnd(text[end])); ++end) {
      const char c = text[end];
      if (c == '"') inQuotes = !inQuotes;
      if (!inQuotes) counts[0] += c == '\t', counts[1] += c == ';', counts[2] += c == ',';
    }
    if (counts[0] > 0) return '\t';
    if (counts[1] + counts[2] > 0) return counts[1] > 0 && counts[2] == 0 ? ';' : ',';
    end = PastLineEnd(text, end);
  }
  return ',';
}

std::size_t ParseCsvRecord(std::string_view text, std::size_t at, char sep, CsvRecord& record) {
  const std::size_t n = text.size();
  std::size_t i = at;
  auto fieldEndsAt = [&](std::size_t k) { return k >= n || text[k] == sep || IsLineEnd(text[k]); };
  for (;;) {
    const std::size_t start = i;
    std::string_view field;
    if (i < n && text[i] == '"') {
      record.quoted = true;
      std::size_t lineEnds = 0;
      i = ReadQuoted(text, i, record, field, lineEnds);
      // Text after the closing quote (an "as above" mark) means the quotes
      // were part of the text: the field is then read unquoted.
      if (fieldEndsAt(i)) {
        record.lineEnds += lineEnds;
      } else {
        i = start;
      }
    }
    if (i == start) {
      while (!fieldEndsAt(i)) ++i;
      field = text.substr(start, i - start);
    }
    record.fields.push_back(field);
    if (i < n && text[i] == sep) {
      ++i;
      continue;
    }
    break;
  }
  if (i < n) ++record.lineEnds;
  return PastLineEnd(text, i);
}

void ReadDelimited(TextWindow& in, const DelimitedLayout& layout, const std::vector<std::size_t>& columns,
                   const FieldDecoder& decoder, const OnRecord& onRecord, const OnSkip& onSkip) {
  std::size_t lineEnds = SkipHeaderLines(in);
  FieldReader reader(layout, columns, decoder);
  CsvRecord record;
  Record r;
  std::string why;
  for (;;) {
    const std::string_view text = in.Text();
    if (text.empty()) {
      if (!in.More() && in.Text().empty()) return;
      continue;
    }
    // A record that runs past kMaxRecordBytes is not read further.
    const std::string_view held = text.substr(0, kMaxRecordBytes + 1);
    record.Clear();
    const std::size_t end = ParseCsvRecord(held, 0, layout.sep, record);
    if (end == held.size() && !(in.Ended() && held.size() == text.size())) {
      if (held.size() == text.size()) {
        in.More();  // the record may go on
      } else {
        onSkip({lineEnds + 1, TooLongWhy()});
        lineEnds += LongRecordSkipper(layout.sep).Skip(in);
      }
      continue;
    }
    r.line = lineEnds + 1;
    lineEnds += record.lineEnds;
    in.Consume(end);
    if (end > kMaxRecordBytes) {
      onSkip({r.line, TooLongWhy()});
    } else if (record.quoted || record.fields.size() > 1 || !record.fields[0].empty()) {
      if (reader.Read(record.fields, r, why)) {
        onRecord(r);
      } else {
        onSkip({r.line, why});
      }
    }
  }
}

}  // namespace vz::import
