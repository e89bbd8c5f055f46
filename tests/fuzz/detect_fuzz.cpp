// Fuzzes telling a word file's encoding: a byte-order mark decides; decoding in every encoding ends
// without a fault; every path of the UTF-8 check the processor runs agrees with one a character at a
// time, and so do the EUC-JP check 64 bytes at a time and every path of UTF-16's conversion; CR LF
// line ends change nothing; and marking one line, or every line, as a list in the encoding found marks
// them never changes the encoding (unless only ASCII is left, the same in every encoding, or the text
// was told unstable).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/text/Convert.h"
#include "core/text/Encoding.h"
#include "core/text/EucScan.h"
#include "core/text/Utf16.h"
#include "core/text/Utf8Sequence.h"
#include "core/wordlist/WordLine.h"

namespace {

using vz::codec::Encoding;

void Check(bool ok, const char* what) {
  if (!ok) std::fprintf(stderr, "detect_fuzz: %s\n", what), std::abort();
}

// `text` with CR LF line ends, and line `only` (every line when -1) marked
// as a list in `enc` marks it: its whole first character, one byte in code
// page 932.
std::string Marked(std::string_view text, Encoding enc, int only, char mark) {
  std::string out;
  int i = 0;
  vz::ForEachTextLine(text, [&](std::string_view line, std::string_view) {
    if (!line.empty() && line[0] != vz::kLineComment && (only == -1 || only == i)) {
      const std::size_t n = vz::codec::FirstCharLength(enc, line);
      Check(n >= 1 && n <= line.size(), "first character longer than its line");
      line = line.substr(n);
      out += mark;
    }
    out.append(line).append("\r\n");
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
  Check(found.bom == (bytes.starts_with(bom) ? bom.size() : 0), "byte-order mark");
  for (int e = 0; e <= static_cast<int>(Encoding::Utf16Be); ++e) vz::codec::ToUtf8(Encoding(e), bytes);
  bool utf8 = true;  // one character at a time
  for (std::size_t i = 0; utf8 && i < bytes.size();) {
    const int n = data[i] < 0x80 ? 1 : vz::codec::Utf8SequenceAt(data + i, data + bytes.size());
    utf8 = n > 0;
    i += static_cast<std::size_t>(n);
  }
  const bool euc = vz::codec::ValidEucJpPlain(data, data + bytes.size());
  for (vz::codec::VectorPath path : vz::codec::kVectorPaths) {
    Check(!vz::codec::Runs(path) || vz::codec::ValidUtf8(bytes, path) == utf8, "UTF-8 check");
    Check(vz::codec::ValidEucJp(bytes, path) == euc, "EUC-JP check");
  }
  std::string plain;
  const bool clean = vz::codec::AppendUtf16(bytes, size % 2, plain, vz::codec::VectorPath::kPlain);
  for (vz::codec::VectorPath path : vz::codec::kVectorPaths) {
    std::string units;
    Check(vz::codec::AppendUtf16(bytes, size % 2, units, path) == clean && units == plain,
          "UTF-16 conversion");
  }
  if (found.bom) return 0;  // the mark decides, and marking never touches it
  auto same = [&](const std::string& text) {
    const vz::codec::Detected d = vz::codec::DetectEncoding(text);
    return (d.encoding == found.encoding && d.bom == found.bom) ||
           (found.stable && std::all_of(text.begin(), text.end(), [](char c) { return c >= 0; }));
  };
  Check(same(Marked(bytes, found.encoding, -2, '0')), "line ends changed the encoding");
  if (!found.stable) return 0;
  Check(same(Marked(bytes, found.encoding, size ? data[size - 1] % 8 : 0, vz::kLineAnswered)) &&
            same(Marked(bytes, found.encoding, -1, vz::kLineToAsk)),
        "marking changed the encoding");
  return 0;
}
