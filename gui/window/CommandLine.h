#pragma once
// The program's command line: `vevez [FILE]`, --help and --version. Parsed
// before the GUI starts, so that --help and --version need no display.
#include <optional>
#include <string>

namespace vz {

struct CommandLine {
  // Set when the program should print `text` and end with this status:
  // 0 for --help and --version (text for standard output), 2 for a usage
  // error (text for standard error).
  std::optional<int> exitCode;
  std::string text;
  std::string file;  // FILE as given (file-system bytes); empty when none
};

// Qt's own options (-platform, -display, -session, -style...) are accepted
// and left for QApplication to take.
CommandLine ParseCommandLine(int argc, const char* const* argv);

}  // namespace vz
