#include "settings/Settings.h"

#include <cstdio>

#include "settings/Ini.h"

namespace vz {
namespace {

constexpr std::string_view kSection = "SOFT";
constexpr int kDefaultTimeLimit = 1000;

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
  char text[16];
  std::snprintf(text, sizeof text, "%d", value);
  return WriteIniStr(section, key, text);
}

Settings ReadSettings(const SettingsFile& file, const std::string& wordDir) {
  Settings s;
  s.NoSound = file.ReadIniStr(kSection, "PLAYSOUND") == "N";
  const int speed = file.ReadIniInt(kSection, "SPEED");
  s.TimeLimit = speed > 0 ? speed : kDefaultTimeLimit;
  s.WordFile = file.ReadIniStr(kSection, "b4file", SettingsFile::kPathBuffer);
  if (s.WordFile.empty()) s.WordFile = "word.txt";
  s.WordDir = file.ReadIniStr(kSection, "b4dir", SettingsFile::kPathBuffer);
  if (s.WordDir.empty()) s.WordDir = wordDir.empty() ? file.ExeDir() : wordDir;
  return s;
}

bool WriteSettings(const SettingsFile& file, const Settings& s) {
  bool ok = file.WriteIniInt(kSection, "SPEED", s.TimeLimit);
  ok = file.WriteIniStr(kSection, "PLAYSOUND", s.NoSound ? "N" : "Y") && ok;
  ok = file.WriteIniStr(kSection, "b4file", s.WordFile) && ok;
  ok = file.WriteIniStr(kSection, "b4dir", s.WordDir) && ok;
  return ok;
}

}  // namespace vz
