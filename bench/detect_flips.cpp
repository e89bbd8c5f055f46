// Shows that marking a line never changes the encoding a file is taken for:
// every line of a word file, as a file of its own, with its state mark and
// without it (so that it starts with the question's first character), is
// marked as the list marks it and told again. Prints the lines looked at,
// how many changed encoding, how many of those became pure ASCII (which is
// the same text in every encoding) and how many had been told unstable
// (codec::Detected::stable). Exit status 1 when any other changed.
// Usage: vevez_detect_flips WORDFILE (code page 932, UTF-8 or EUC-JP)
#include <cstdio>
#include <string>
#include <string_view>

#include "core/files/ReadFile.h"
#include "core/text/Encoding.h"
#include "core/wordlist/WordLine.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s WORDFILE\n", argv[0]);
    return 2;
  }
  using vz::codec::DetectEncoding;
  const std::string text = vz::ReadRegularFile(argv[1]);
  const vz::codec::Detected whole = DetectEncoding(text);
  long looked = 0, flips = 0, toAscii = 0, unstable = 0, counts[5] = {};
  auto check = [&](std::string_view line) {
    const std::string file = std::string(line) + "\r\n";
    const vz::codec::Detected before = DetectEncoding(file);
    ++counts[static_cast<int>(before.encoding)];
    for (char mark : {vz::kLineAnswered, vz::kLineToAsk}) {
      const std::string marked =
          mark + std::string(line.substr(vz::codec::FirstCharLength(before.encoding, line))) + "\r\n";
      ++looked;
      const vz::codec::Detected after = DetectEncoding(marked);
      if (after.encoding == before.encoding && after.bom == before.bom) continue;
      ++flips;
      bool ascii = true;
      for (unsigned char c : marked) ascii = ascii && c < 0x80;
      if (ascii) {
        ++toAscii;
      } else if (!before.stable) {
        ++unstable;
      } else if (flips - toAscii - unstable <= 20) {
        std::printf("changed: %s", marked.c_str());
      }
    }
  };
  vz::ForEachTextLine(text, [&](std::string_view line, std::string_view) {
    if (line.empty()) return;
    check(line);
    if (line.size() > 1) check(line.substr(1));
  });
  std::printf(
      "%s: whole file %d; %ld marked lines, %ld changed encoding, %ld of them to pure ASCII, %ld told"
      " unstable; lines taken for cp932 %ld, utf8 %ld, euc-jp %ld\n",
      argv[1], static_cast<int>(whole.encoding), looked, flips, toAscii, unstable, counts[0], counts[1],
      counts[2]);
  return flips > toAscii + unstable ? 1 : 0;
}
