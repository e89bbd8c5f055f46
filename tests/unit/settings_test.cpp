#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>

#include "core/settings/Settings.h"
#include "support/Files.h"

namespace vz {
namespace {

class SettingsTest : public ::testing::Test {
 protected:
  std::string IniPath() const { return exeDir_ + "kobeli.ini"; }
  void Put(const std::string& bytes) { test::WriteBytes(IniPath(), bytes); }
  std::string Get() const { return test::ReadBytes(IniPath()); }
  Settings ReadWith(const std::string& soft) {
    Put("[SOFT]\r\n" + soft);
    return ReadSettings(SettingsFile(exeDir_));
  }

  test::TempDir scratch_{"vevez-settings"};
  std::string exeDir_ = scratch_.dir();
};

TEST_F(SettingsTest, NoFileGivesDefaultsAndShutdownCreatesAllKeysInOrder) {
  SettingsFile file(exeDir_);
  EXPECT_EQ(file.Path(), IniPath());
  EXPECT_EQ(file.ReadIniStr("SOFT", "b4file"), "");
  EXPECT_EQ(file.ReadIniInt("SOFT", "SPEED"), -1);

  Settings s = ReadSettings(file);
  EXPECT_FALSE(s.NoSound);
  EXPECT_EQ(s.TimeLimit, 1000);
  EXPECT_EQ(s.WordFile, "word.txt");
  EXPECT_EQ(s.WordDir, exeDir_);
  EXPECT_FALSE(std::filesystem::exists(IniPath()));  // reading creates nothing

  EXPECT_EQ(WriteSettings(file, s).written, SettingsWritten::All);
  EXPECT_EQ(Get(), "[SOFT]\r\nSPEED=1000\r\nPLAYSOUND=Y\r\nb4file=word.txt\r\nb4dir=" + exeDir_ +
                       "\r\n[RECORDS]\r\nKEEP=Y\r\n");
}

TEST_F(SettingsTest, SpeedMissingMinusOneZeroOrNegativeBecomes1000) {
  EXPECT_EQ(ReadWith("SPEED=1050\r\n").TimeLimit, 1050);  // not rounded
  EXPECT_EQ(ReadWith("SPEED=1\r\n").TimeLimit, 1);
  EXPECT_EQ(ReadWith("SPEED=-1\r\n").TimeLimit, 1000);
  EXPECT_EQ(ReadWith("SPEED=0\r\n").TimeLimit, 1000);
  EXPECT_EQ(ReadWith("SPEED=-5\r\n").TimeLimit, 1000);
  EXPECT_EQ(ReadWith("SPEED=-2147483648\r\n").TimeLimit, 1000);
  EXPECT_EQ(ReadWith("SPEED=4294967295\r\n").TimeLimit, 1000);  // wraps to -1
  EXPECT_EQ(ReadWith("SPEED=abc\r\n").TimeLimit, 1000);
  EXPECT_EQ(ReadWith("SPEED=\r\n").TimeLimit, 1000);
  EXPECT_EQ(ReadWith("PLAYSOUND=N\r\n").TimeLimit, 1000);

  // -1 stored reads as 1000 and is written back as 1000.
  Settings s = ReadWith("SPEED=-1\r\n");
  EXPECT_EQ(WriteSettings(SettingsFile(exeDir_), s).written, SettingsWritten::All);
  EXPECT_EQ(SettingsFile(exeDir_).ReadIniInt("SOFT", "SPEED"), 1000);
}

TEST_F(SettingsTest, PlaySoundIsOffOnlyForExactlyN) {
  EXPECT_TRUE(ReadWith("PLAYSOUND=N\r\n").NoSound);
  EXPECT_TRUE(ReadWith("playsound = N \r\n").NoSound);
  EXPECT_FALSE(ReadWith("PLAYSOUND=n\r\n").NoSound);
  EXPECT_FALSE(ReadWith("PLAYSOUND=No\r\n").NoSound);
  EXPECT_FALSE(ReadWith("PLAYSOUND=Y\r\n").NoSound);
  EXPECT_FALSE(ReadWith("SPEED=5\r\n").NoSound);

  // "n" means sounds on and is replaced by "Y"; "N" stays "N".
  Settings s = ReadWith("PLAYSOUND=n\r\n");
  ASSERT_EQ(WriteSettings(SettingsFile(exeDir_), s).written, SettingsWritten::All);
  EXPECT_EQ(SettingsFile(exeDir_).ReadIniStr("SOFT", "PLAYSOUND"), "Y");
  s = ReadWith("PLAYSOUND=N\r\n");
  ASSERT_EQ(WriteSettings(SettingsFile(exeDir_), s).written, SettingsWritten::All);
  EXPECT_EQ(SettingsFile(exeDir_).ReadIniStr("SOFT", "PLAYSOUND"), "N");
}

TEST_F(SettingsTest, WordFileAndDirectory) {
  Settings s = ReadWith("b4file=\r\nb4dir=\r\n");
  EXPECT_EQ(s.WordFile, "word.txt");
  EXPECT_EQ(s.WordDir, exeDir_);
  EXPECT_EQ(ReadSettings(SettingsFile(exeDir_), "/data/").WordDir, "/data/");  // an installed program's

  s = ReadWith("b4file=\x93\xFA\x96\x7B.txt\r\nb4dir=/data/\x95\x5C/\r\n");
  EXPECT_EQ(s.WordFile, "\x93\xFA\x96\x7B.txt");
  EXPECT_EQ(s.WordDir, "/data/\x95\x5C/");

  // Names longer than 255 bytes come back whole (they would name another
  // file if cut), and so do names with blanks at their ends.
  Settings w;
  w.WordDir = "/" + std::string(300, 'd') + "/" + std::string(3000, 'e') + "/";
  w.WordFile = std::string(300, 'f') + ".txt";
  ASSERT_EQ(WriteSettings(SettingsFile(exeDir_), w).written, SettingsWritten::All);
  s = ReadSettings(SettingsFile(exeDir_));
  EXPECT_EQ(s.WordDir, w.WordDir);
  EXPECT_EQ(s.WordFile, w.WordFile);
  w.WordFile = " w.txt";
  ASSERT_EQ(WriteSettings(SettingsFile(exeDir_), w).written, SettingsWritten::All);
  EXPECT_EQ(ReadSettings(SettingsFile(exeDir_)).WordFile, " w.txt");
  // The longest name a path can hold, 4095 bytes, is read whole; more is cut there.
  for (const std::size_t n : {4095, 4096}) {
    EXPECT_EQ(ReadWith("b4dir=/" + std::string(n - 1, 'd') + "\r\n").WordDir.size(), 4095u) << n;
  }
  // Other values still hold 255 bytes at most.
  EXPECT_EQ(SettingsFile(exeDir_).ReadIniStr("SOFT", "b4dir").size(), 255u);
}

TEST_F(SettingsTest, ShutdownKeepsTheRestOfTheFileAndWritesEveryKey) {
  const std::string before = "; mine\r\n[SOFT]\r\nb4dir=/old/\r\nextra=1\r\n\r\n[Window]\r\nLeft=10\r\n";
  Put(before);
  Settings s;
  s.NoSound = true;
  s.TimeLimit = 2500;
  s.WordFile = "a.txt";
  s.WordDir = "/new/";
  s.KeepRecords = false;
  ASSERT_EQ(WriteSettings(SettingsFile(exeDir_), s).written, SettingsWritten::All);
  EXPECT_EQ(Get(),
            "; mine\r\n[SOFT]\r\nb4dir=/new/\r\nextra=1\r\nSPEED=2500\r\nPLAYSOUND=N\r\nb4file=a.txt\r\n"
            "\r\n[Window]\r\nLeft=10\r\n[RECORDS]\r\nKEEP=N\r\n");
  EXPECT_FALSE(ReadSettings(SettingsFile(exeDir_)).KeepRecords);

  // A name or directory with a line break cannot be stored: both keep their
  // stored values, never one of them, the other keys are written, and the
  // result says so (the file itself was written).
  for (const auto& [name, where] : {std::pair{"bad\nname", "/newer/"}, {"b.txt", "/new\r/"}}) {
    s.TimeLimit += 100;
    s.NoSound = !s.NoSound;
    s.WordFile = name;
    s.WordDir = where;
    EXPECT_EQ(WriteSettings(SettingsFile(exeDir_), s).written, SettingsWritten::AllButWordFile);
    const Settings back = ReadSettings(SettingsFile(exeDir_));
    EXPECT_EQ(back.TimeLimit, s.TimeLimit);
    EXPECT_EQ(back.NoSound, s.NoSound);
    EXPECT_EQ(back.WordFile, "a.txt");
    EXPECT_EQ(back.WordDir, "/new/");
  }

  // An unwritable place reports failure, and why, instead of throwing.
  const SettingsWriteResult failed = WriteSettings(SettingsFile(exeDir_ + "missing/"), s);
  EXPECT_EQ(failed.written, SettingsWritten::None);
  EXPECT_EQ(failed.error, test::CreateMessage(exeDir_ + "missing/kobeli.ini") +
                              ".\nそのようなファイルやディレクトリはありません");
}

TEST_F(SettingsTest, AccessOperationsSeeTheFileAsItIsNow) {
  SettingsFile file(exeDir_);
  EXPECT_TRUE(file.WriteIniInt("SOFT", "SPEED", -7));
  EXPECT_EQ(Get(), "[SOFT]\r\nSPEED=-7\r\n");
  EXPECT_EQ(file.ReadIniInt("SOFT", "SPEED"), -7);
  // Another run changes the file between two accesses: nothing is cached.
  Put("[SOFT]\r\nSPEED=42\r\n");
  EXPECT_EQ(file.ReadIniInt("SOFT", "SPEED"), 42);
  std::filesystem::remove(IniPath());
  EXPECT_EQ(file.ReadIniInt("SOFT", "SPEED"), -1);
  EXPECT_TRUE(file.WriteIniStr("SOFT", "PLAYSOUND", "Y"));
  EXPECT_EQ(Get(), "[SOFT]\r\nPLAYSOUND=Y\r\n");
}

}  // namespace
}  // namespace vz
