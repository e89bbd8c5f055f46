#include "core/import/Markup.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <utility>

namespace vz::import {
namespace {

// A tag after which the text reads as a new line.
bool BreaksLine(std::string_view tag) {
  std::size_t a = tag.starts_with('/') ? 1 : 0, b = a;
  while (b < tag.size() && std::isalpha(static_cast<unsigned char>(tag[b]))) ++b;
  std::string name(tag.substr(a, b - a));
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name == "br" || name == "div" || name == "p" || name == "li" || name == "tr";
}

}  // namespace

void AppendUtf8(std::string& out, unsigned long code) {
  if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000)) code = 0xFFFD;
  if (code < 0x80) {
    out += static_cast<char>(code);
    return;
  }
  const int n = code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
  out += static_cast<char>((0xF00 >> n & 0xFF) | code >> (6 * (n - 1)));
  for (int k = n - 2; k >= 0; --k) out += static_cast<char>(0x80 | (code >> (6 * k) & 0x3F));
}

std::string EntityText(std::string_view body) {
  static constexpr std::pair<std::string_view, std::string_view> kNamed[] = {
      {"amp", "&"}, {"lt", "<"}, {"gt", ">"}, {"quot", "\""}, {"apos", "'"}, {"nbsp", " "}};
  for (const auto& [name, text] : kNamed) {
    if (body == name) return std::string(text);
  }
  if (body.size() < 2 || body[0] != '#') return {};
  const bool hex = body[1] == 'x' || body[1] == 'X';
  const std::string digits(body.substr(hex ? 2 : 1));
  if (digits.empty() || digits.size() > 8) return {};
  char* end = nullptr;
  const unsigned long code = std::strtoul(digits.c_str(), &end, hex ? 16 : 10);
  if (*end != '\0') return {};
  std::string out;
  AppendUtf8(out, code);
  return out;
}

std::size_t AppendEntityAt(std::string_view text, std::string& out) {
  constexpr std::size_t kLongest = 12;  // "&#x10FFFF;" and the names known
  const std::size_t semi = text.substr(0, kLongest).find(';');
  if (!text.starts_with('&') || semi == std::string_view::npos) return 0;
  const std::string entity = EntityText(text.substr(1, semi - 1));
  out += entity;
  return entity.empty() ? 0 : semi + 1;
}

std::string StripHtml(std::string_view html, bool markup) {
  constexpr std::string_view kSound = "[sound:";
  if (std::none_of(html.begin(), html.end(),
                   [markup](char c) { return c == '[' || (markup && (c == '<' || c == '&')); }))
    return std::string(html);
  std::string out;
  out.reserve(html.size());
  // The next ">" and "]" at or after i, each searched again only once i has
  // passed it, so that a field full of "<" costs one scan, not one per "<".
  std::size_t gt = html.find('>'), bracket = html.find(']');
  auto next = [&](std::size_t& at, char c, std::size_t i) {
    if (at != std::string_view::npos && at < i) at = html.find(c, i);
    return at;
  };
  // A blank next to one that a removed tag or sound left is dropped, so
  // that "<div>cat</div><div>kitty</div>" reads "cat kitty", as typed.
  bool removed = false;  // something was removed since the last text
  auto blank = [&](char b) {
    if (!(removed && !out.empty() && (out.back() == ' ' || out.back() == '\t'))) out += b;
  };
  for (std::size_t i = 0; i < html.size();) {
    const char c = html[i];
    const std::string_view rest = html.substr(i);
    std::size_t used = 0;
    if (markup && c == '<' && next(gt, '>', i) != std::string_view::npos) {
      removed = true;
      if (BreaksLine(html.substr(i + 1, gt - i - 1))) blank(' ');
      i = gt + 1;
    } else if (rest.starts_with(kSound) && next(bracket, ']', i) != std::string_view::npos) {
      removed = true;
      i = bracket + 1;
    } else if (markup && (used = AppendEntityAt(rest, out)) > 0) {
      removed = false;
      i += used;
    } else if (c == ' ' || c == '\t') {
      blank(c);
      ++i;
    } else {
      removed = false;
      out += c;
      ++i;
    }
  }
  return out;
}

}  // namespace vz::import
