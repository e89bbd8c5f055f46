#include "core/import/LineReaders.h"

#include <algorithm>
#include <cctype>

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

// The line EDICT and ENAMDICT start with, whose headword is full-width
// question marks ("？？？？ /EDICT, EDICT_SUB(P)/...", "　？？？ /ENAMDICT ...").
bool IsHeader(std::string_view line) {
  std::string_view head = line.substr(0, line.find(' '));
  constexpr std::string_view kSpace = "\xE3\x80\x80", kQuestionMark = "\xEF\xBC\x9F";  // "　", "？"
  while (head.starts_with(kSpace)) head.remove_prefix(kSpace.size());
  if (head.empty()) return false;
  for (; head.starts_with(kQuestionMark); head.remove_prefix(kQuestionMark.size())) {
  }
  return head.empty();
}

// The record of an EDICT line (UTF-8, of EDICT's shape).
void FillRecord(std::string_view line, bool readings, Record& r) {
  const std::size_t space = line.find(' ');
  std::string_view rest = line.substr(space + 1);
  std::string_view reading;
  if (rest.starts_with('[')) {
    const std::size_t close = rest.find(']');
    reading = rest.substr(1, close - 1);
    rest.remove_prefix(close + 2);
  }
  r.question = FirstForm(line.substr(0, space));
  r.answers.clear();
  rest = rest.substr(1, rest.size() - 2);
  for (std::size_t from = 0; from <= rest.size();) {
    const std::size_t to = std::min(rest.find('/', from), rest.size());
    const std::string_view gloss = WithoutTags(rest.substr(from, to - from));
    if (!gloss.empty() && !IsEntryId(gloss)) r.answers.push_back(CleanField(gloss));
    from = to + 1;
  }
  if (readings && !reading.empty()) r.answers.push_back(FirstForm(reading));
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

void ReadEdict(TextWindow& in, const FieldDecoder& decoder, bool readings, const OnRecord& onRecord,
               const OnSkip& onSkip) {
  Record r;
  std::string line;
  ForEachStreamLine(in, [&](std::string_view raw, std::size_t number, bool tooLong) {
    if (tooLong) return onSkip({number, TooLongWhy()});
    if (raw.empty()) return;
    if (!decoder.Decode(raw, line)) return onSkip({number, decoder.Why()});
    if (!LooksLikeEdict(line)) return onSkip({number, "EDICT の行の形ではありません"});
    if (number == 1 && IsHeader(line)) return onSkip({number, "EDICT の見出しの行です"});
    r.line = number;
    FillRecord(line, readings, r);
    onRecord(r);
  });
}

void ReadPlain(TextWindow& in, const FieldDecoder& decoder, const OnRecord& onRecord, const OnSkip& onSkip) {
  Record r;
  r.answers.resize(1);
  ForEachStreamLine(in, [&](std::string_view raw, std::size_t number, bool tooLong) {
    if (tooLong) return onSkip({number, TooLongWhy()});
    if (CleanField(raw).empty()) return;
    const std::size_t comma = raw.find(kQuestionEnd);
    if (comma == std::string_view::npos) return onSkip({number, "問題と答えを分ける「,」がありません"});
    if (!decoder.Decode(raw.substr(0, comma), r.question) ||
        !decoder.Decode(raw.substr(comma + 1), r.answers[0]))
      return onSkip({number, decoder.Why()});
    r.line = number;
    r.question = CleanField(r.question);
    r.answers[0] = CleanField(r.answers[0]);
    onRecord(r);
  });
}

}  // namespace vz::import
