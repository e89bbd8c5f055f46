#include "core/settings/Ini.h"

#include <cerrno>
#include <exception>
#include <vector>

#include "core/files/AtomicFile.h"
#include "core/files/Error.h"
#include "core/files/ReadFile.h"
#include "core/files/WriterLock.h"
#include "core/text/Encoding.h"
#include "core/wordlist/WordLine.h"

namespace vz::ini {
namespace {

constexpr std::string_view kNewLine = "\r\n";
// Editors on Linux and Windows may start the file with a UTF-8 byte-order
// mark: it is not part of the first line, and stays where it is.
constexpr std::string_view kBom = codec::kUtf8Bom;

std::string_view BomOf(std::string_view text) { return text.starts_with(kBom) ? kBom : std::string_view(); }

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// First byte of a double-byte character in code page 932.
bool IsLeadByte(char c) { return codec::IsCp932Lead(static_cast<unsigned char>(c)); }

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

std::string_view TrimSpaces(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

char FoldAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Equal regardless of ASCII letter case. The second byte of a double-byte
// character may fall in the letter range ("ア" is 83 41) and is compared
// exactly, so that different Japanese names never match.
bool NamesEqual(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (IsLeadByte(a[i])) {
      if (a[i] != b[i]) return false;
      if (++i < a.size() && a[i] != b[i]) return false;
    } else if (FoldAscii(a[i]) != FoldAscii(b[i])) {
      return false;
    }
  }
  return true;
}

// One line of the file: [begin, contentEnd) is its text, [contentEnd, end)
// its line end (empty on a last line without one).
struct Line {
  std::size_t begin, contentEnd, end;
};

std::vector<Line> SplitLines(std::string_view text) {
  std::vector<Line> lines;
  ForEachTextLine(text, [&](std::string_view content, std::string_view ending) {
    const auto begin = static_cast<std::size_t>(content.data() - text.data());
    lines.push_back({begin, begin + content.size(), begin + content.size() + ending.size()});
  });
  return lines;
}

enum class Kind { Other, Section, Key };

struct Parsed {
  Kind kind = Kind::Other;
  std::string_view name;       // section or key name, blanks trimmed
  std::size_t valueStart = 0;  // keys: offset in the line of the byte after '='
};

Parsed Parse(std::string_view line) {
  Parsed p;
  const std::string_view t = TrimBlanks(line);
  if (t.empty() || t.front() == ';') return p;
  if (t.front() == '[') {
    const std::size_t close = t.rfind(']');
    if (close != std::string_view::npos) {
      p.kind = Kind::Section;
      p.name = TrimBlanks(t.substr(1, close - 1));
      return p;
    }
  }
  const std::size_t eq = line.find('=');
  if (eq == std::string_view::npos) return p;
  p.kind = Kind::Key;
  p.name = TrimBlanks(line.substr(0, eq));
  p.valueStart = eq + 1;
  return p;
}

// Where a key is, or would go, in a file.
struct Location {
  bool sectionFound = false;
  std::size_t keyLine = 0;  // valid when keyFound
  bool keyFound = false;
  std::size_t lastLine = 0;  // the section's header or its last key line
};

Location Locate(std::string_view text, const std::vector<Line>& lines, std::string_view section,
                std::string_view key) {
  Location loc;
  bool inside = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const Parsed p = Parse(text.substr(lines[i].begin, lines[i].contentEnd - lines[i].begin));
    if (p.kind == Kind::Section) {
      if (inside) break;  // only the first section of that name counts
      if (NamesEqual(p.name, section)) {
        inside = loc.sectionFound = true;
        loc.lastLine = i;
      }
    } else if (inside && p.kind == Kind::Key) {
      loc.lastLine = i;
      if (NamesEqual(p.name, key)) {
        loc.keyFound = true;
        loc.keyLine = i;
        break;  // the first of duplicate keys wins
      }
    }
  }
  return loc;
}

std::string_view Unquote(std::string_view v) {
  v = TrimBlanks(v);
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
    v = v.substr(1, v.size() - 2);
  }
  return v;
}

// The text to write for `value` so that Unquote gives it back unchanged.
std::string Quote(std::string_view value) {
  const bool altered =
      !value.empty() && (IsBlank(value.front()) || IsBlank(value.back()) ||
                         (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                          value.back() == value.front()));
  if (!altered) return std::string(value);
  std::string q;
  q.reserve(value.size() + 2);
  q += '"';
  q += value;
  q += '"';
  return q;
}

bool HasLineBreakOrNul(std::string_view s) {
  return s.find_first_of(std::string_view("\r\n\0", 3)) != s.npos;
}

// A name passed in is usable when it is not empty and reads back as itself.
bool UsableName(std::string_view name) {
  return !name.empty() && TrimBlanks(name) == name && !HasLineBreakOrNul(name);
}

// The file's text; nullopt when it cannot be read (missing or not a file).
std::optional<std::string> ReadText(const std::string& path) {
  int err;
  return ReadFileText(path, err);
}

}  // namespace

std::optional<std::string> ReadFileText(const std::string& path, int& err) {
  return TryReadRegularFile(path, err, nullptr, kMaxFileBytes);
}

std::optional<std::string> FindValue(std::string_view text, std::string_view section, std::string_view key) {
  section = TrimSpaces(section);
  key = TrimSpaces(key);
  if (section.empty() || key.empty()) return std::nullopt;
  text.remove_prefix(BomOf(text).size());
  const auto lines = SplitLines(text);
  const Location loc = Locate(text, lines, section, key);
  if (!loc.keyFound) return std::nullopt;
  const Line& l = lines[loc.keyLine];
  const std::string_view line = text.substr(l.begin, l.contentEnd - l.begin);
  return std::string(Unquote(line.substr(Parse(line).valueStart)));
}

std::optional<std::string> WithValue(std::string_view text, std::string_view section, std::string_view key,
                                     std::string_view value) {
  section = TrimSpaces(section);
  key = TrimSpaces(key);
  if (!UsableName(section) || !UsableName(key) || HasLineBreakOrNul(value)) return std::nullopt;
  if (key.find('=') != key.npos || key.front() == ';' || key.front() == '[') return std::nullopt;

  const std::string_view bom = BomOf(text);
  text.remove_prefix(bom.size());
  const auto lines = SplitLines(text);
  const Location loc = Locate(text, lines, section, key);
  const std::string quoted = Quote(value);
  std::string out(bom);
  out.reserve(bom.size() + text.size() + section.size() + key.size() + quoted.size() + 8);

  if (loc.keyFound) {
    // Keep everything up to the value; replace the value to the line end.
    const Line& l = lines[loc.keyLine];
    const std::string_view line = text.substr(l.begin, l.contentEnd - l.begin);
    std::size_t from = Parse(line).valueStart;
    while (from < line.size() && IsBlank(line[from])) ++from;
    out.append(text.substr(0, l.begin + from));
    out.append(quoted);
    out.append(text.substr(l.contentEnd));
    return out;
  }

  std::string newLine;
  newLine.append(key).append("=").append(quoted).append(kNewLine);
  if (loc.sectionFound) {
    const Line& after = lines[loc.lastLine];
    out.append(text.substr(0, after.end));
    if (after.end == after.contentEnd) out.append(kNewLine);  // last line had no line end
    out.append(newLine);
    out.append(text.substr(after.end));
    return out;
  }

  out.append(text);
  if (!text.empty() && out.back() != '\n' && out.back() != '\r') out.append(kNewLine);
  out.append("[").append(section).append("]").append(kNewLine);
  out.append(newLine);
  return out;
}

std::string FitBuffer(std::string value, std::size_t bufSize) {
  if (bufSize == 0) return {};
  const std::size_t limit = bufSize - 1;
  if (value.size() <= limit) return value;
  std::size_t cut = 0;
  while (cut < value.size()) {
    const std::size_t step = (IsLeadByte(value[cut]) && cut + 1 < value.size()) ? 2 : 1;
    if (cut + step > limit) break;
    cut += step;
  }
  value.resize(cut);
  return value;
}

std::int32_t ParseInt(std::string_view value) {
  std::size_t i = 0;
  bool negative = false;
  if (i < value.size() && (value[i] == '-' || value[i] == '+')) negative = value[i++] == '-';
  std::uint32_t n = 0;  // unsigned, so that overflow wraps modulo 2^32
  for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
    n = n * 10u + static_cast<std::uint32_t>(value[i] - '0');
  }
  if (negative) n = 0u - n;
  return static_cast<std::int32_t>(n);
}

std::string ReadString(const std::string& path, std::string_view section, std::string_view key,
                       std::string_view def, std::size_t bufSize) {
  if (auto text = ReadText(path)) {
    if (auto v = FindValue(*text, section, key)) return FitBuffer(std::move(*v), bufSize);
  }
  // As the profile functions do, a default loses its trailing spaces.
  while (!def.empty() && def.back() == ' ') def.remove_suffix(1);
  return FitBuffer(std::string(def), bufSize);
}

std::int32_t ReadInt(const std::string& path, std::string_view section, std::string_view key,
                     std::int32_t def) {
  auto text = ReadText(path);
  if (!text) return def;
  auto v = FindValue(*text, section, key);
  if (!v || v->empty()) return def;
  return ParseInt(*v);
}

bool WriteString(const std::string& path, std::string_view section, std::string_view key,
                 std::string_view value) {
  try {
    return Edit(path, [&](std::string& text) {
      auto updated = WithValue(text, section, key, value);
      if (updated) text = std::move(*updated);
      return updated.has_value();
    });
  } catch (const Error&) {
    return false;
  }
}

bool Edit(const std::string& path, const std::function<bool(std::string& text)>& edit) {
  try {
    const WriterLock lock(path, WriterLock::Wait::kUntilFree);
    int err = 0;
    const std::optional<std::string> old = ReadFileText(path, err);
    // Start a new file only when there is none; a file that exists but
    // cannot be read must not be replaced by one holding these keys alone.
    if (!old && err != ENOENT) throw CreateError(path, err);
    std::string text = old.value_or(std::string());
    const bool complete = edit(text);
    if (!old || text != *old) WriteFileAtomic(path, text);
    return complete;
  } catch (const Error&) {
    throw;
  } catch (const std::exception&) {
    throw CreateError(path);  // no memory for the text
  }
}

}  // namespace vz::ini
