#include "codec/Encoding.h"

#include "codec/Cp932.h"

namespace vz::codec {

int Utf8SequenceAt(std::string_view s) {
  if (s.empty()) return 0;
  const auto b = [&s](size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char c = b(0);
  int n;
  // The range of the second byte excludes overlong forms, surrogates and
  // code points above U+10FFFF.
  unsigned char lo = 0x80, hi = 0xBF;
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3;
    if (c == 0xE0) lo = 0xA0;
    if (c == 0xED) hi = 0x9F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4;
    if (c == 0xF0) lo = 0x90;
    if (c == 0xF4) hi = 0x8F;
  } else {
    return 0;
  }
  if (s.size() < static_cast<size_t>(n) || b(1) < lo || b(1) > hi) return 0;
  for (int i = 2; i < n; ++i) {
    if ((b(static_cast<size_t>(i)) & 0xC0) != 0x80) return 0;
  }
  return n;
}

namespace {

// True when `bytes` is valid UTF-8; `multibyte` tells whether any sequence
// was longer than one byte.
bool ValidUtf8(std::string_view bytes, bool* multibyte) {
  *multibyte = false;
  for (size_t i = 0; i < bytes.size();) {
    if (static_cast<unsigned char>(bytes[i]) < 0x80) {
      ++i;
      continue;
    }
    const int n = Utf8SequenceAt(bytes.substr(i));
    if (n == 0) return false;
    *multibyte = true;
    i += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

Detected DetectEncoding(std::string_view bytes) {
  if (bytes.starts_with(kUtf8Bom)) return {Encoding::Utf8, true};
  bool multibyte = false;
  if (ValidUtf8(bytes, &multibyte) && multibyte) return {Encoding::Utf8, false};
  return {};
}

std::optional<std::string> EncodeText(Encoding enc, std::string_view utf8) {
  if (enc == Encoding::Cp932) return Utf8ToCp932(utf8);
  bool multibyte = false;
  if (!ValidUtf8(utf8, &multibyte)) return std::nullopt;
  return std::string(utf8);
}

}  // namespace vz::codec
