// Fuzzes telling a word file's encoding: whatever the bytes, marking one
// line, or every line, as the list marks them in the encoding found never
// changes the encoding the text is taken for (unless nothing but ASCII is
// left, which reads the same in every encoding); a byte-order mark always
// decides; and decoding in every encoding ends without a fault.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "codec/Convert.h"
#include "codec/Encoding.h"
#include "wordlist/WordLine.h"

namespace {

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "detect_fuzz: %s\n", what);
    std::abort();
  }
}

bool Ascii(std::string_view s) {
  for (unsigned char c : s) {
    if (c >= 0x80) return false;
  }
  return true;
}

// `text` with line `only` (every line when -1) marked with `mark` as a
// list in `enc` marks it: its whole first character, one byte in code page
// 932. Lines end with CR LF, as a save writes them.
std::string Marked(std::string_view text, vz::codec::Encoding enc, int only, char mark) {
  std::string out;
  int i = 0;
  vz::ForEachTextLine(text, [&](std::string_view line, std::string_view) {
    if (!line.empty() && line[0] != vz::kLineComment && (only == -1 || only == i)) {
      const std::size_t n = vz::codec::FirstCharLength(enc, line);
      Check(n >= 1 && n <= line.size(), "first character longer than its line");
      out += mark;
      out += line.substr(n);
    } else {
      out += line;
    }
    out += "\r\n";
    ++i;
  });
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  bytes = bytes.substr(0, bytes.find('\0'));  // a list holds the text up to a NUL
  const vz::codec::Detected found = vz::codec::DetectEncoding(bytes);
  const std::string_view bom = vz::codec::BomOf(found.encoding);
  const bool anyBom = bytes.starts_with(vz::codec::kUtf8Bom) || bytes.starts_with(vz::codec::kUtf16LeBom) ||
                      bytes.starts_with(vz::codec::kUtf16BeBom);
  Check(found.bom ? bytes.starts_with(bom) && found.bom == bom.size() : !anyBom, "byte-order mark");
  for (int e = 0; e <= static_cast<int>(vz::codec::Encoding::Utf16Be); ++e) {
    vz::codec::ToUtf8(static_cast<vz::codec::Encoding>(e), bytes);
  }
  if (found.bom) return 0;  // the mark decides, and marking never touches it
  // As saved: CR LF line ends (line ends never change the encoding found).
  const std::string saved = Marked(bytes, found.encoding, -2, '0');
  auto same = [&](const std::string& text) {
    const vz::codec::Detected d = vz::codec::DetectEncoding(text);
    return d.encoding == found.encoding && d.bom == found.bom;
  };
  Check(same(saved), "line ends changed the encoding");
  if (!found.stable) return 0;
  const int one = size ? data[size - 1] % 8 : 0;
  for (const std::string& after : {Marked(bytes, found.encoding, one, vz::kLineAnswered),
                                   Marked(bytes, found.encoding, -1, vz::kLineToAsk)}) {
    Check(same(after) || Ascii(after), "marking changed the encoding");
  }
  return 0;
}
