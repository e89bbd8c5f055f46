#include "core/settings/Settings.h"

#include <cerrno>
#include <cstdio>

#include "core/files/Error.h"
#include "core/settings/Ini.h"

namespace vz {
namespace {

constexpr std::string_view kSection = "SOFT";
// The learning records' own section: the four keys of "SOFT" stay as they are.
constexpr std::string_view kRecordsSection = "RECORDS";
constexpr int kDefaultTimeLimit = 1000;

// An integer as the profile functions store it: "%d", which has no blanks or
// control characters to trim.
std::string IniIntText(int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", value);
  return text;
}

}  // namespace

std::string SettingsFile::ReadIniStr(std::string_view section, std::string_view key,
                                     std::size_t bufSize) const {
  return ini::ReadString(Path(), section, key, "", bufSize);
}

int SettingsFile::ReadIniInt(std::string_view section, std::string_view key) const {
  return ini::ReadInt(Path(), section, key, -1);
}

bool SettingsFile::WriteIniStr(std::string_view section, std::string_view key, std::string_view value) const {
  return ini::WriteString(Path(), section, key, value);
}

bool SettingsFile::WriteIniInt(std::string_view section, std::string_view key, int value) const {
  return WriteIniStr(section, key, IniIntText(value));
}

Settings ReadSettings(const SettingsFile& file, const std::string& wordDir, std::string* problem) {
  // The file is read once, for every key.
  int err = 0;
  const std::string text = ini::ReadFileText(file.Path(), err).value_or(std::string());
  if (err != 0 && err != ENOENT && problem) {
    *problem = std::string(OpenError(file.Path(), err).what()) + "\n既定の設定で始めます。";
  }
  const auto str = [&text](std::string_view section, std::string_view key,
                           std::size_t bufSize = SettingsFile::kValueBuffer) {
    return ini::FitBuffer(ini::FindValue(text, section, key).value_or(std::string()), bufSize);
  };
  Settings s;
  s.NoSound = str(kSection, "PLAYSOUND") == "N";
  const std::optional<std::string> speedText = ini::FindValue(text, kSection, "SPEED");
  const int speed = speedText && !speedText->empty() ? ini::ParseInt(*speedText) : -1;
  s.TimeLimit = speed > 0 ? speed : kDefaultTimeLimit;
  s.WordFile = str(kSection, "b4file", SettingsFile::kPathBuffer);
  if (s.WordFile.empty()) s.WordFile = "word.txt";
  s.WordDir = str(kSection, "b4dir", SettingsFile::kPathBuffer);
  if (s.WordDir.empty()) s.WordDir = wordDir.empty() ? file.Folder() : wordDir;
  s.KeepRecords = str(kRecordsSection, "KEEP") != "N";
  return s;
}

SettingsWriteResult WriteSettings(const SettingsFile& file, const Settings& s) {
  // One replacement of the file for all four keys: a run that is killed
  // meanwhile leaves either the old file or the new one, never the name of
  // one word file with the directory of another. The edit says whether the
  // word file's keys were stored: the others always can be ("%d", "N", "Y").
  const auto edit = [&](std::string& text) {
    auto set = [&text](std::string_view key, std::string_view value) {
      auto updated = ini::WithValue(text, kSection, key, value);
      if (updated) text = std::move(*updated);
      return updated.has_value();
    };
    set("SPEED", IniIntText(s.TimeLimit));
    set("PLAYSOUND", s.NoSound ? "N" : "Y");
    // The name and the directory go together: when either cannot be stored
    // (a line break in a file name), both keep their stored values and the
    // rest of the file is still written.
    const std::string before = text;
    const bool wordFileStored = set("b4file", s.WordFile) && set("b4dir", s.WordDir);
    if (!wordFileStored) text = before;
    if (auto updated = ini::WithValue(text, kRecordsSection, "KEEP", s.KeepRecords ? "Y" : "N")) {
      text = std::move(*updated);
    }
    return wordFileStored;
  };
  try {
    const bool wordFileStored = ini::Edit(file.Path(), edit);
    return {wordFileStored ? SettingsWritten::All : SettingsWritten::AllButWordFile, {}};
  } catch (const Error& e) {
    return {SettingsWritten::None, e.what()};
  }
}

}  // namespace vz
