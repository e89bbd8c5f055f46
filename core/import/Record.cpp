#include "core/import/Record.h"

#include <algorithm>

#include "core/import/TextWindow.h"
#include "core/text/Convert.h"

namespace vz::import {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::string CleanField(std::string_view text) {
  if (std::none_of(text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n' || c == '\0'; })) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return std::string(text);
  }
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;  // the LF makes the space
    out += c == '\r' || c == '\n' || c == '\0' ? ' ' : c;
  }
  std::size_t b = 0, e = out.size();
  while (b < e && IsBlank(out[b])) ++b;
  while (e > b && IsBlank(out[e - 1])) --e;
  return out.substr(b, e - b);
}

std::string TooLongWhy() {
  return "長すぎます (" + std::to_string(kMaxRecordBytes) + " バイトを超えています)";
}

FieldDecoder::FieldDecoder(codec::Encoding text, bool replaced, std::string_view sourceName)
    : text_(text), replaced_(replaced), why_(std::string(sourceName) + " として読めないバイトがあります") {}

bool FieldDecoder::Decode(std::string_view raw, std::string& out) const {
  if (text_ != codec::Encoding::Utf8) {
    out = codec::ToUtf8(text_, raw);
    return out.find(kReplacement) == std::string::npos;
  }
  out.assign(raw);
  return replaced_ ? out.find(kReplacement) == std::string::npos : codec::ValidUtf8(raw);
}

}  // namespace vz::import
