// ICU's charset detector (ucsdet) on each file named on standard input, one
// a line: prints "path charset" with its best guess. An anchor for
// bench/detect_anchors.sh.
#include <unicode/ucsdet.h>

#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

int main() {
  UErrorCode status = U_ZERO_ERROR;
  UCharsetDetector* detector = ucsdet_open(&status);
  std::string path;
  while (std::getline(std::cin, path)) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    const std::string text = bytes.str();
    status = U_ZERO_ERROR;
    ucsdet_setText(detector, text.data(), static_cast<int32_t>(text.size()), &status);
    const UCharsetMatch* match = ucsdet_detect(detector, &status);
    const char* name = match && U_SUCCESS(status) ? ucsdet_getName(match, &status) : nullptr;
    std::cout << path << ' ' << (name && U_SUCCESS(status) ? name : "none") << '\n';
  }
  ucsdet_close(detector);
  return 0;
}
