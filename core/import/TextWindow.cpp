#include "core/import/TextWindow.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "core/text/Convert.h"

namespace vz::import {
namespace {

constexpr std::size_t kPiece = 256 * 1024;
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

bool IsUtf16(codec::Encoding enc) {
  return enc == codec::Encoding::Utf16Le || enc == codec::Encoding::Utf16Be;
}

// How much of `raw` can be decoded now without cutting a character: in
// UTF-16 whole code units, keeping a high surrogate for its pair; else up to
// an ASCII byte, which ends a character in code page 932 (whose lead bytes
// are all above 0x80), EUC-JP and UTF-8 alike. A run without one is cut once
// it is two pieces long: before a character in UTF-8, anywhere else (such a
// run lies inside a record too long to be read).
std::size_t SafeCut(std::string_view raw, codec::Encoding enc) {
  if (IsUtf16(enc)) {
    std::size_t cut = raw.size() & ~std::size_t{1};
    const auto high = [&](std::size_t unit) {
      return static_cast<unsigned char>(raw[enc == codec::Encoding::Utf16Le ? unit + 1 : unit]);
    };
    if (cut >= 2 && (high(cut - 2) & 0xFC) == 0xD8) cut -= 2;
    return cut;
  }
  for (std::size_t i = raw.size(); i > 0; --i) {
    if (static_cast<unsigned char>(raw[i - 1]) < 0x80) return i;
  }
  if (raw.size() < 2 * kPiece) return 0;
  std::size_t cut = raw.size();
  if (enc == codec::Encoding::Utf8) {
    while (cut > 0 && (static_cast<unsigned char>(raw[cut - 1]) & 0xC0) == 0x80) --cut;
    if (cut > 0) --cut;  // the lead byte
  }
  return cut;
}

// Where in `decoded`, ToUtf8 of `raw`, the first bytes that did not decode
// stand, or npos. UTF-8 is copied as it is up to that point, so comparing
// the two passes over a U+FFFD that the source itself holds.
std::size_t FirstUndecoded(codec::Encoding enc, std::string_view raw, std::string_view decoded) {
  if (enc == codec::Encoding::Utf8) {
    const std::size_t same = static_cast<std::size_t>(
        std::mismatch(raw.begin(), raw.end(), decoded.begin(), decoded.end()).first - raw.begin());
    return decoded.find(kReplacement, same >= 2 ? same - 2 : 0);
  }
  if (IsUtf16(enc) && codec::Decodes(enc, raw)) return std::string_view::npos;
  return decoded.find(kReplacement);
}

// The first and the last CR or LF of `text` (npos when there is none),
// each found with two vector searches rather than a search per byte.
std::size_t FirstLineEnd(std::string_view text) {
  const void* lf = std::memchr(text.data(), '\n', text.size());
  const std::size_t end =
      lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - text.data()) : text.size();
  const void* cr = std::memchr(text.data(), '\r', end);
  if (cr) return static_cast<std::size_t>(static_cast<const char*>(cr) - text.data());
  return lf ? end : std::string_view::npos;
}

std::size_t LastLineEnd(std::string_view text) {
  const void* lf = ::memrchr(text.data(), '\n', text.size());
  const std::size_t from = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - text.data()) : 0;
  const void* cr = ::memrchr(text.data() + from, '\r', text.size() - from);
  if (cr) return static_cast<std::size_t>(static_cast<const char*>(cr) - text.data());
  return lf ? from : std::string_view::npos;
}

}  // namespace

Reading ByteOrderMark(std::string_view head) {
  const codec::Detected marked = codec::DetectEncoding(head.substr(0, 4));
  if (marked.bom == 0) return {};
  const bool utf16 = IsUtf16(marked.encoding);
  return {marked.encoding, marked.bom, utf16, utf16};
}

void TextPosition::Advance(std::string_view utf8) {
  const char* p = utf8.data();
  const char* const end = p + utf8.size();
  for (const void* lf; (lf = std::memchr(p, '\n', static_cast<std::size_t>(end - p)));) {
    ++line;
    column = 1;
    p = static_cast<const char*>(lf) + 1;
  }
  // Every byte but a continuation byte (10xxxxxx) starts a character; eight
  // bytes are counted at a time.
  std::size_t continuations = 0;
  const std::size_t n = static_cast<std::size_t>(end - p);
  for (; end - p >= 8; p += 8) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    const std::uint64_t marks = (w & ~(w << 1) & 0x8080808080808080ULL) >> 7;  // 1 in each such byte
    continuations += static_cast<std::size_t>((marks * 0x0101010101010101ULL) >> 56);
  }
  for (; p < end; ++p) continuations += (static_cast<unsigned char>(*p) & 0xC0) == 0x80;
  column += n - continuations;
}

TextWindow::TextWindow(ByteSource& source, const Reading& reading)
    : source_(source), reading_(reading), bomLeft_(reading.bom) {
  source_.Rewind();
}

bool TextWindow::More() {
  if (ended_) return false;
  text_.erase(0, used_);
  used_ = 0;
  const bool decode = reading_.toUtf8 || reading_.strict;
  std::string& into = decode ? raw_ : text_;
  const std::size_t from = into.size();
  ended_ = source_.Read(into, kPiece) == 0;
  const std::size_t bom = std::min(bomLeft_, into.size() - from);
  into.erase(from, bom);
  bomLeft_ -= bom;
  if (decode) {
    const std::size_t cut = ended_ ? raw_.size() : SafeCut(raw_, reading_.source);
    Decode(std::string_view(raw_).substr(0, cut));
    raw_.erase(0, cut);
  }
  return !ended_;
}

void TextWindow::Decode(std::string_view piece) {
  const codec::Encoding enc = reading_.source;
  if (enc == codec::Encoding::Utf8 && codec::ValidUtf8(piece)) {
    text_.append(piece);
    return;
  }
  const std::string out = codec::ToUtf8(enc, piece);
  if (reading_.strict) {
    if (const std::size_t bad = FirstUndecoded(enc, piece, out); bad != std::string::npos) {
      throw Undecodable{out.substr(0, bad)};
    }
  }
  text_.append(out);
}

void TextWindow::SkipLine() {
  for (;;) {
    const std::string_view text = Text();
    const std::size_t end = FirstLineEnd(text);
    if (end == std::string_view::npos) {
      Consume(text.size());
      if (!More() && Text().empty()) return;
      continue;
    }
    Consume(end + 1);
    if (text[end] == '\r') SkipLfAfterCr();
    return;
  }
}

void TextWindow::SkipLfAfterCr() {
  while (Text().empty() && More()) {
  }
  if (Text().starts_with('\n')) Consume(1);
}

std::size_t WholeLines(std::string_view text, bool ended) {
  if (ended) return text.size();
  if (text.ends_with('\r')) text.remove_suffix(1);
  const std::size_t last = LastLineEnd(text);
  return last == std::string_view::npos ? 0 : last + 1;
}

}  // namespace vz::import
