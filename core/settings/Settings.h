#pragma once
// The settings file "kobeli.ini" (beside the executable of a portable
// program, in the user's configuration folder for an installed one): the
// four access operations and the values read at start-up and written at
// shutdown.
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

namespace vz {

// Access to "kobeli.ini" in one directory. The path is built anew at every
// access and nothing of the file is kept between accesses, so two runs of the
// program that share the file see each other's writes.
class SettingsFile {
 public:
  // Most values fit in 256 bytes; file and directory names get the Linux
  // path limit, since a name cut short names another file.
  static constexpr std::size_t kValueBuffer = 256;
  static constexpr std::size_t kPathBuffer = 4096;

  // `folder` is the settings file's directory ending in "/": the
  // executable's for a portable program, the user's configuration folder
  // for an installed one.
  explicit SettingsFile(std::string folder) : folder_(std::move(folder)) {}

  static constexpr const char* kFileName = "kobeli.ini";

  const std::string& Folder() const { return folder_; }
  std::string Path() const { return folder_ + kFileName; }

  // The stored value cut to bufSize - 1 bytes; empty text when the file, the
  // section or the key is missing.
  std::string ReadIniStr(std::string_view section, std::string_view key,
                         std::size_t bufSize = kValueBuffer) const;
  // The stored value read as a decimal integer; -1 when the file, the
  // section or the key is missing or the value is empty.
  int ReadIniInt(std::string_view section, std::string_view key) const;
  // Store a value, creating the file and the section when missing. False
  // when the file could not be written; it then holds what it held before.
  bool WriteIniStr(std::string_view section, std::string_view key, std::string_view value) const;
  bool WriteIniInt(std::string_view section, std::string_view key, int value) const;

 private:
  std::string folder_;
};

// The values the options dialog edits, which the quiz applies.
struct QuizOptions {
  bool NoSound = false;  // true: no sound cues
  int TimeLimit = 1000;  // ticks of 10 ms per question, at least 1
};

// The values that live in the settings file between runs.
struct Settings {
  bool NoSound = false;  // true: no sound cues
  int TimeLimit = 1000;  // ticks of 10 ms per question, at least 1
  std::string WordFile;  // the word file's bare name
  std::string WordDir;   // its directory, ending in "/"
  // [RECORDS] KEEP: whether the learning records are kept ("N": not).
  bool KeepRecords = true;
};

// The start-up reads: missing values give sounds on, 1000 ticks, "word.txt"
// and `wordDir` (empty: the settings file's own directory, which is the
// executable's for a portable program). A time limit of 0 or below is
// replaced by 1000, since no question could be answered in it.
// A file that is there but cannot be read (unreadable, not a file, larger
// than ini::kMaxFileBytes) gives the defaults too, and `problem` (when
// given) what the user is told: the file's name and the reason.
Settings ReadSettings(const SettingsFile& file, const std::string& wordDir = {},
                      std::string* problem = nullptr);

// What the shutdown writes achieved.
enum class SettingsWritten {
  All,
  // Every key but the word file's name and directory, which keep their
  // stored values together: a line break in either cannot be stored.
  AllButWordFile,
  // The file could not be written; it holds what it held before.
  None,
};
struct SettingsWriteResult {
  SettingsWritten written = SettingsWritten::All;
  // For None, what the user is told: the file's name and the system's reason.
  std::string error;
};

// The shutdown writes, all four keys every time, and [RECORDS] KEEP after
// them. Never raises: the caller goes on with its shutdown whatever the
// result.
SettingsWriteResult WriteSettings(const SettingsFile& file, const Settings& s);

}  // namespace vz
