#include <cctype>

#include "core/import/LineReaders.h"
#include "core/text/Convert.h"
#include "core/wordlist/WordLine.h"

namespace vz::import {
namespace {

// EDICT's tags in parentheses before a gloss: "(n)", "(v5r,vt)", "(1)",
// "(P)", "(fre: croissant)". Text in parentheses that holds a blank is part
// of the gloss ("(to be) cold"), except a language note.
bool IsTag(std::string_view inside) {
  if (inside.empty()) return false;
  const std::size_t colon = inside.find(':');
  if (colon != std::string_view::npos && colon <= 4) return true;
  for (char c : inside) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != ',') return false;
  }
  return true;
}

// `text` without the leading tags, and without a trailing "(P)".
std::string_view WithoutTags(std::string_view text) {
  for (;;) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    if (text.empty() || (text.front() != '(' && text.front() != '{')) break;
    const std::size_t close = text.find(text.front() == '(' ? ')' : '}');
    if (close == std::string_view::npos || !IsTag(text.substr(1, close - 1))) break;
    text.remove_prefix(close + 1);
  }
  while (text.ends_with(' ')) text.remove_suffix(1);
  if (text.ends_with("(P)")) text.remove_suffix(3);
  while (text.ends_with(' ')) text.remove_suffix(1);
  return text;
}

// The first of the ";" alternatives of a headword or reading, without tags.
std::string FirstForm(std::string_view text) {
  std::string_view first = text.substr(0, text.find(kAnswerSeparator));
  const std::size_t paren = first.find('(');
  return CleanField(first.substr(0, paren));
}

bool IsEntryId(std::string_view gloss) {
  if (!gloss.starts_with("EntL")) return false;
  gloss.remove_prefix(4);
  if (gloss.ends_with('X')) gloss.remove_suffix(1);
  return !gloss.empty() && gloss.find_first_not_of("0123456789") == std::string_view::npos;
}

}  // namespace

bool LooksLikeEdict(std::string_view line) {
  const std::size_t space = line.find(' ');
  if (space == 0 || space == std::string_view::npos ||
      line.substr(0, space).find(',') != std::string_view::npos)
    return false;
  std::string_view rest = line.substr(space + 1);
  if (rest.starts_with('[')) {
    const std::size_t close = rest.find("] ");
    if (close == std::string_view::npos) return false;
    rest.remove_prefix(close + 2);
  }
  return rest.size() >= 2 && rest.front() == '/' && rest.back() == '/';
}

void ReadEdict(std::string_view text, codec::Encoding enc, bool readings, const OnRecord& onRecord,
               const OnSkip& onSkip) {
  std::size_t lineNo = 0;
  Record r;
  ForEachTextLine(text, [&](std::string_view raw, std::string_view) {
    ++lineNo;
    if (raw.empty()) return;
    const std::string line = codec::ToUtf8(enc, raw);
    if (!LooksLikeEdict(line)) {
      onSkip({lineNo, "EDICT の行の形ではありません"});
      return;
    }
    if (lineNo == 1 && line.find("/EDICT") != std::string::npos) {
      onSkip({lineNo, "EDICT の見出しの行です"});
      return;
    }
    const std::size_t space = line.find(' ');
    std::string_view rest = std::string_view(line).substr(space + 1);
    std::string_view reading;
    if (rest.starts_with('[')) {
      const std::size_t close = rest.find(']');
      reading = rest.substr(1, close - 1);
      rest.remove_prefix(close + 2);
    }
    r.line = lineNo;
    r.question = FirstForm(std::string_view(line).substr(0, space));
    r.answers.clear();
    rest = rest.substr(1, rest.size() - 2);
    for (std::size_t from = 0; from <= rest.size();) {
      const std::size_t to = std::min(rest.find('/', from), rest.size());
      const std::string_view gloss = WithoutTags(rest.substr(from, to - from));
      if (!gloss.empty() && !IsEntryId(gloss)) r.answers.push_back(CleanField(gloss));
      from = to + 1;
    }
    if (readings && !reading.empty()) r.answers.push_back(FirstForm(reading));
    onRecord(r);
  });
}

void ReadPlain(std::string_view text, codec::Encoding enc, const OnRecord& onRecord, const OnSkip& onSkip) {
  std::size_t lineNo = 0;
  Record r;
  ForEachTextLine(text, [&](std::string_view raw, std::string_view) {
    ++lineNo;
    if (CleanField(raw).empty()) return;
    const std::size_t comma = raw.find(kQuestionEnd);
    if (comma == std::string_view::npos) {
      onSkip({lineNo, "問題と答えを分ける「,」がありません"});
      return;
    }
    r.line = lineNo;
    r.question = CleanField(codec::ToUtf8(enc, raw.substr(0, comma)));
    r.answers.assign(1, CleanField(codec::ToUtf8(enc, raw.substr(comma + 1))));
    onRecord(r);
  });
}

}  // namespace vz::import
