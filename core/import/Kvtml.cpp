#include <algorithm>
#include <map>
#include <vector>

#include "core/files/Error.h"
#include "core/import/Kvtml.h"
#include "core/import/Markup.h"

namespace vz::import {
namespace {

struct Language {
  std::string id, name, locale;
};

struct Translation {
  std::string text, comment;
};

// The value of attribute `name` in the attribute text of a tag.
std::string Attribute(std::string_view attrs, std::string_view name) {
  for (std::size_t at = attrs.find(name); at != std::string_view::npos; at = attrs.find(name, at + 1)) {
    std::size_t p = at + name.size();
    const bool starts = at == 0 || attrs[at - 1] == ' ' || attrs[at - 1] == '\t' || attrs[at - 1] == '\n';
    while (p < attrs.size() && attrs[p] == ' ') ++p;
    if (!starts || p >= attrs.size() || attrs[p] != '=') continue;
    for (++p; p < attrs.size() && attrs[p] == ' ';) ++p;
    if (p >= attrs.size() || (attrs[p] != '"' && attrs[p] != '\'')) continue;
    const std::size_t close = attrs.find(attrs[p], p + 1);
    if (close != std::string_view::npos) return std::string(attrs.substr(p + 1, close - p - 1));
  }
  return {};
}

// XML character data: entities become characters.
void AppendText(std::string& out, std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t used = AppendEntityAt(text.substr(i), out);
    if (used == 0) out += text[i];
    i += used > 0 ? used : 1;
  }
}

// The identifier `wanted` names (its number, locale or name); `fallback` when
// it is empty. Raises Error when no language has that name.
std::string Pick(const std::vector<Language>& langs, std::string_view wanted, std::size_t fallback) {
  if (wanted.empty()) return fallback < langs.size() ? langs[fallback].id : std::string();
  for (const Language& l : langs) {
    if (l.id == wanted || l.locale == wanted || l.name == wanted) return l.id;
  }
  throw Error("KVTML ファイルに言語 " + std::string(wanted) + " がありません");
}

}  // namespace

void ReadKvtml(std::string_view xml, std::string_view columns, const OnRecord& onRecord,
               const OnSkip& onSkip) {
  std::vector<Language> langs;
  std::map<std::string, Translation> entry;
  std::vector<std::string> open;  // the names of the open elements
  std::string* capture = nullptr;
  std::string translationId;
  std::size_t line = 1, entryLine = 0;
  const std::size_t comma = columns.find(',');
  const std::string_view askedIn = columns.substr(0, comma);
  const std::string_view answeredIn = comma == std::string_view::npos ? "" : columns.substr(comma + 1);
  auto parentIs = [&](std::string_view name) { return open.size() >= 2 && open[open.size() - 2] == name; };
  std::size_t at = 0;
  while (at < xml.size()) {
    const std::size_t lt = std::min(xml.find('<', at), xml.size());
    if (capture) AppendText(*capture, xml.substr(at, lt - at));
    line += static_cast<std::size_t>(
        std::count(xml.begin() + static_cast<long>(at), xml.begin() + static_cast<long>(lt), '\n'));
    if (lt >= xml.size()) break;
    const std::string_view rest = xml.substr(lt);
    std::string_view closeMark = ">";
    if (rest.starts_with("<!--")) closeMark = "-->";
    if (rest.starts_with("<![CDATA[")) closeMark = "]]>";
    const std::size_t gt = rest.find(closeMark);
    if (gt == std::string_view::npos) break;
    const std::string_view tag = rest.substr(1, gt - 1);
    at = lt + gt + closeMark.size();
    line += static_cast<std::size_t>(std::count(tag.begin(), tag.end(), '\n'));
    if (tag.starts_with("![CDATA[")) {
      if (capture) capture->append(tag.substr(8));
      continue;
    }
    if (tag.starts_with('?') || tag.starts_with('!')) continue;
    if (tag.starts_with('/')) {
      const std::string name(tag.substr(1, tag.find_first_of(" \t\r\n>", 1) - 1));
      capture = nullptr;
      if (name == "identifiers" && !columns.empty()) {
        Pick(langs, askedIn, 0);  // names a language, or raises Error
        Pick(langs, answeredIn, 1);
      }
      if (name == "entry") {
        const bool oneLanguage = langs.size() == 1 && columns.empty();
        const std::string asked = Pick(langs, askedIn, 0);
        const std::string answered = oneLanguage ? asked : Pick(langs, answeredIn, 1);
        Record r;
        r.line = entryLine;
        r.question = CleanField(oneLanguage ? entry[asked].comment : entry[asked].text);
        r.answers.push_back(CleanField(entry[answered].text));
        onRecord(r);
        entry.clear();
      }
      while (!open.empty() && open.back() != name) open.pop_back();
      if (!open.empty()) open.pop_back();
      continue;
    }
    const bool selfClosing = tag.ends_with('/');
    const std::size_t nameEnd = std::min(tag.find_first_of(" \t\r\n/"), tag.size());
    const std::string name(tag.substr(0, nameEnd));
    const std::string_view attrs = tag.substr(nameEnd);
    open.push_back(name);
    capture = nullptr;
    if (name == "identifier" && parentIs("identifiers")) {
      langs.push_back({Attribute(attrs, "id"), {}, {}});
    } else if ((name == "name" || name == "locale") && parentIs("identifier") && !langs.empty()) {
      capture = name == "name" ? &langs.back().name : &langs.back().locale;
    } else if (name == "entry") {
      entryLine = line;
    } else if (name == "translation" && parentIs("entry")) {
      translationId = Attribute(attrs, "id");
    } else if ((name == "text" || name == "comment") && parentIs("translation")) {
      Translation& t = entry[translationId];
      capture = name == "text" ? &t.text : &t.comment;
    }
    if (selfClosing) {
      open.pop_back();
      capture = nullptr;
    }
  }
  if (langs.empty()) onSkip({line, "KVTML の言語の定義がありません"});
}

}  // namespace vz::import
