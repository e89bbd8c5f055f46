// Tells the encoding of each file named on standard input, one a line, as
// the program does when it loads a word file, and prints "path encoding"
// (cp932, utf-8, euc-jp, utf-16le, utf-16be). For bench/detect_anchors.sh.
#include <iostream>
#include <string>

#include "core/files/ReadFile.h"
#include "core/text/Encoding.h"

int main() {
  static const char* const kNames[] = {"cp932", "utf-8", "euc-jp", "utf-16le", "utf-16be"};
  std::string path;
  while (std::getline(std::cin, path)) {
    const vz::codec::Detected d = vz::codec::DetectEncoding(vz::ReadRegularFile(path));
    std::cout << path << ' ' << kNames[static_cast<int>(d.encoding)] << '\n';
  }
  return 0;
}
