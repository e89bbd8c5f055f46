#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <utility>
#include <vector>

#include "core/settings/Ini.h"
#include "support/Files.h"

namespace vz::ini {
namespace {

std::optional<std::string> Find(std::string_view text, std::string_view key) {
  return FindValue(text, "SOFT", key);
}

using Expected = std::vector<std::pair<const char*, std::optional<std::string>>>;

// Each key reads as its value (or as missing) from the [SOFT] section of `text`.
void ExpectValues(std::string_view text, const Expected& expected) {
  for (const auto& [key, value] : expected) EXPECT_EQ(Find(text, key), value) << key;
}

TEST(IniRead, NamesIgnoreCaseAndSurroundingBlanks) {
  const std::string text = "[ \tsoft ]\r\n \t Speed \t= 1\r\nb4DIR=x\r\n";
  EXPECT_EQ(Find(text, "SPEED"), "1");
  EXPECT_EQ(Find(text, "b4dir"), "x");
  EXPECT_EQ(FindValue(text, "  SOFT ", "  speed "), "1");       // spaces of names passed in go
  EXPECT_EQ(FindValue(text, "\tSOFT", "SPEED"), std::nullopt);  // tabs do not
  EXPECT_EQ(Find(text, "SPEE"), std::nullopt);
  EXPECT_EQ(FindValue("[SOFT]\r\nzone=2\r\n", "soft", "ZONE"), "2");  // a to z, both ends
  // Only ASCII letters fold: the second bytes of "ア" (83 41) and "ヂ" (83 61)
  // look like "A" and "a" but the names differ.
  const std::string jp = "[\x83\x41]\r\nk=1\r\n";
  EXPECT_EQ(FindValue(jp, "\x83\x41", "K"), "1");
  EXPECT_EQ(FindValue(jp, "\x83\x61", "k"), std::nullopt);
  EXPECT_EQ(FindValue(jp, "\x84\x41", "k"), std::nullopt);  // nor do lead bytes
  // A UTF-8 byte-order mark is not part of the first line.
  EXPECT_EQ(Find("\xEF\xBB\xBF[SOFT]\r\nSpeed=1\r\n", "SPEED"), "1");
}

TEST(IniRead, ValuesLoseBlanksThenOnePairOfQuotes) {
  const std::string text =
      "[SOFT]\n"
      "a= \t v  v \t\n"
      "b=\"  x  \"\n"
      "c='y'\n"
      "d=\"z'\n"
      "e=\"\"\"q\"\"\"\n"
      "f=\"\n"
      "g=\n"
      "h=  \"\"  \n"
      "i=a=b\n";
  ExpectValues(text, {{"a", "v  v"},
                      {"b", "  x  "},
                      {"c", "y"},
                      {"d", "\"z'"},
                      {"e", "\"\"q\"\""},
                      {"f", "\""},
                      {"g", ""},
                      {"h", ""},
                      {"i", "a=b"}});
}

TEST(IniRead, CommentsSectionsAndDuplicates) {
  const std::string text =
      "k=outside\n"
      "[SOFT]\n"
      "a=v ;x\n"
      ";b=1\n"
      "  ;c=2\n"
      "#d=3\n"
      "word\n"
      "a=second\n"
      "[OTHER]\n"
      "e=4\n"
      "[SOFT]\n"
      "f=5\n";
  EXPECT_EQ(FindValue(text, "SOFT", "k"), std::nullopt);  // before any section
  // No inline comments; a line without '=' holds no key; a section ends at
  // the next header, and only the first [SOFT] is searched.
  ExpectValues(
      text,
      {{"a", "v ;x"}, {"b", {}}, {";b", {}}, {"c", {}}, {"#d", "3"}, {"word", {}}, {"e", {}}, {"f", {}}});
  EXPECT_EQ(FindValue(text, "other", "E"), "4");
  EXPECT_EQ(FindValue(text, "", "a"), std::nullopt);
  EXPECT_EQ(FindValue(text, "SOFT", ""), std::nullopt);
}

TEST(IniRead, AllLineEnds) {
  const std::string text = "[SOFT]\rA=1\rB=2\nC=3\r\nD=4\n\rE=5";
  ExpectValues(text, {{"A", "1"}, {"B", "2"}, {"C", "3"}, {"D", "4"}, {"E", "5"}});
}

TEST(IniInt, DigitsWithSignUpToTheFirstOtherByte) {
  // The last ones wrap modulo 2^32 as a signed 32-bit result.
  const std::pair<const char*, std::int32_t> cases[] = {
      {"1050", 1050},
      {"12abc", 12},
      {"abc", 0},
      {"-1", -1},
      {"+7", 7},
      {"-", 0},
      {"0x10", 0},
      {"1 2", 1},
      {"2147483647", INT_MAX},
      {"2147483648", INT_MIN},
      {"4294967295", -1},
      {"4294967297", 1},
      {"-4294967296", 0},
      {"99999999999999999999", static_cast<std::int32_t>(1661992959u)}};
  for (const auto& [text, value] : cases) EXPECT_EQ(ParseInt(text), value) << text;
}

class IniFile : public ::testing::Test {
 protected:
  void Put(const std::string& bytes) { test::WriteBytes(path_, bytes); }
  std::string Get() { return test::ReadBytes(path_); }

  test::TempDir scratch_{"vevez-ini"};
  std::string dir_ = scratch_.path();
  std::string path_ = scratch_ / "kobeli.ini";
};

TEST_F(IniFile, ReadIntDefaultsAndValues) {
  EXPECT_EQ(ReadInt(path_, "SOFT", "SPEED", -1), -1);  // no file
  Put("[SOFT]\nA=\nB=\"12\"\nC= 34 \nD=x\n");
  EXPECT_EQ(ReadInt(path_, "SOFT", "A", -1), -1);  // empty value
  EXPECT_EQ(ReadInt(path_, "SOFT", "B", -1), 12);
  EXPECT_EQ(ReadInt(path_, "SOFT", "C", -1), 34);
  EXPECT_EQ(ReadInt(path_, "SOFT", "D", -1), 0);
  EXPECT_EQ(ReadInt(path_, "SOFT", "E", 7), 7);
  EXPECT_EQ(ReadInt(path_, "NONE", "B", 7), 7);
  EXPECT_EQ(ReadInt(dir_, "SOFT", "B", 7), 7);  // a directory reads as no file
}

TEST(IniWrite, ExistingFileChangesOnlyTheValueBytes) {
  const std::string head = "; top\r\n[Other]\nSPEED=9\n\n[soft]\r\n  Speed = ";
  const std::string tail =
      "\r\n"
      ";note\r\n"
      "unknown line\r\n"
      "b4file = a.txt\n"
      "\n"
      "[Last]\r\n"
      "y=2";
  const std::string text = head + "5 \t" + tail;

  EXPECT_EQ(WithValue(text, "SOFT", "SPEED", "1050"), head + "1050" + tail);

  // A new key goes after the section's last key line, before the blank line.
  const std::string added =
      "; top\r\n[Other]\nSPEED=9\n\n[soft]\r\n  Speed = 5 \t\r\n;note\r\n"
      "unknown line\r\nb4file = a.txt\nPLAYSOUND=N\r\n\n[Last]\r\ny=2";
  EXPECT_EQ(WithValue(text, "SOFT", "PLAYSOUND", "N"), added);

  // Into a last section whose last line has no line end.
  EXPECT_EQ(WithValue(text, "LAST", "z", "3"), text + "\r\nz=3\r\n");
  // Into a section that has no keys yet: right after its header.
  EXPECT_EQ(WithValue("[A]\n[SOFT]\n;c\n[B]\n", "SOFT", "k", "v"), "[A]\n[SOFT]\nk=v\r\n;c\n[B]\n");
  // The first of two duplicate sections is the one written.
  EXPECT_EQ(WithValue("[SOFT]\na=1\n[SOFT]\nk=2\n", "SOFT", "k", "v"), "[SOFT]\na=1\nk=v\r\n[SOFT]\nk=2\n");
  // The first of two duplicate keys is the one written.
  EXPECT_EQ(WithValue("[SOFT]\nk=1\nk=2\n", "SOFT", "K", "3"), "[SOFT]\nk=3\nk=2\n");
  // Unchanged value: unchanged text.
  EXPECT_EQ(WithValue(text, "soft", "speed", "5"), head + "5" + tail);
}

TEST(IniWrite, NewFileAndNewSection) {
  EXPECT_EQ(WithValue("", "SOFT", "key", "value"), "[SOFT]\r\nkey=value\r\n");
  EXPECT_EQ(WithValue("", " SOFT ", " key ", "value"), "[SOFT]\r\nkey=value\r\n");
  EXPECT_EQ(WithValue("[A]\nx=1", "SOFT", "k", "v"), "[A]\nx=1\r\n[SOFT]\r\nk=v\r\n");
  EXPECT_EQ(WithValue("[A]\nx=1\n", "SOFT", "k", "v"), "[A]\nx=1\n[SOFT]\r\nk=v\r\n");
  EXPECT_EQ(WithValue("[A]\rx=1\r", "SOFT", "k", "v"), "[A]\rx=1\r[SOFT]\r\nk=v\r\n");
  EXPECT_EQ(WithValue("k=stray\n", "SOFT", "k", "v"), "k=stray\n[SOFT]\r\nk=v\r\n");
  // A byte-order mark stays first, and its section is the one written.
  EXPECT_EQ(WithValue("\xEF\xBB\xBF", "SOFT", "k", "v"), "\xEF\xBB\xBF[SOFT]\r\nk=v\r\n");
  EXPECT_EQ(WithValue("\xEF\xBB\xBF[SOFT]\nk=1\n", "SOFT", "k", "v"), "\xEF\xBB\xBF[SOFT]\nk=v\n");
  EXPECT_EQ(WithValue("\xEF\xBB\xBF[SOFT]\n", "SOFT", "k", "v"), "\xEF\xBB\xBF[SOFT]\nk=v\r\n");
}

TEST(IniWrite, EveryValueReadsBackByteForByte) {
  const std::string values[] = {"",
                                " w.txt",
                                "w.txt ",
                                "\tx",
                                "\"q\"",
                                "'q'",
                                "\"q'",
                                "\"",
                                "'",
                                "  ",
                                "a=b;c",
                                ";x",
                                "[x]",
                                "\"\"",
                                "\x83\x5C\x95\x5C\\",
                                "/home/u/\x93\xFA\x96\x7B/"};
  for (const std::string& v : values) {
    for (const std::string base : {"", "[SOFT]\r\nk = old\r\n", "[SOFT]\nk=\"old\""}) {
      auto text = WithValue(base, "SOFT", "k", v);
      ASSERT_TRUE(text) << v;
      EXPECT_EQ(FindValue(*text, "SOFT", "k"), v) << "value [" << v << "] in [" << base << "]";
    }
  }
  // Values that read as themselves are written as given.
  EXPECT_EQ(WithValue("", "S", "k", "a\"b\""), "[S]\r\nk=a\"b\"\r\n");
  EXPECT_EQ(WithValue("", "S", "k", " w.txt"), "[S]\r\nk=\" w.txt\"\r\n");
}

TEST(IniWrite, RejectsWhatCouldNotReadBack) {
  EXPECT_EQ(WithValue("", "SOFT", "k", "a\nb"), std::nullopt);
  EXPECT_EQ(WithValue("", "SOFT", "k", "a\rb"), std::nullopt);
  EXPECT_EQ(WithValue("", "SOFT", "k", std::string("a\0b", 3)), std::nullopt);
  EXPECT_EQ(WithValue("", "SOFT", "a=b", "v"), std::nullopt);
  EXPECT_EQ(WithValue("", "SOFT", ";k", "v"), std::nullopt);
  EXPECT_EQ(WithValue("", "SOFT", "[k]", "v"), std::nullopt);
  EXPECT_EQ(WithValue("", "SOFT", "  ", "v"), std::nullopt);
  EXPECT_EQ(WithValue("", "", "k", "v"), std::nullopt);
  EXPECT_EQ(WithValue("", "SO\nFT", "k", "v"), std::nullopt);
  EXPECT_EQ(WithValue("", "\tSOFT", "k", "v"), std::nullopt);
}

TEST_F(IniFile, WriteCreatesReplacesAndFailsSafely) {
  EXPECT_TRUE(WriteString(path_, "SOFT", "key", "value"));
  EXPECT_EQ(Get(), "[SOFT]\r\nkey=value\r\n");
  EXPECT_TRUE(WriteString(path_, "SOFT", "other", " w.txt"));
  EXPECT_EQ(Get(), "[SOFT]\r\nkey=value\r\nother=\" w.txt\"\r\n");
  EXPECT_EQ(ReadString(path_, "soft", "OTHER", "", 256), " w.txt");
  EXPECT_EQ(ReadString(path_, "soft", "none", " d \t  ", 256), " d \t");  // a default loses trailing spaces
  // Storing what is already there leaves the file itself alone.
  struct stat before {
  }, after{};
  ASSERT_EQ(::stat(path_.c_str(), &before), 0);
  EXPECT_TRUE(WriteString(path_, "SOFT", "KEY", "value"));
  ASSERT_EQ(::stat(path_.c_str(), &after), 0);
  EXPECT_EQ(before.st_ino, after.st_ino);

  // A value that cannot be stored fails and leaves the file as it was.
  EXPECT_FALSE(WriteString(path_, "SOFT", "key", "a\nb"));
  EXPECT_EQ(Get(), "[SOFT]\r\nkey=value\r\nother=\" w.txt\"\r\n");
  // No directory: failure, not an exception.
  EXPECT_FALSE(WriteString(dir_ + "/missing/kobeli.ini", "SOFT", "k", "v"));
  // Something that is not a file is never replaced.
  ASSERT_EQ(::mkdir((dir_ + "/d.ini").c_str(), 0755), 0);
  EXPECT_FALSE(WriteString(dir_ + "/d.ini", "SOFT", "k", "v"));
  EXPECT_TRUE(std::filesystem::is_directory(dir_ + "/d.ini"));
}

TEST_F(IniFile, UnreadableAndReadOnlyFilesAreNotOverwrittenByAUser) {
  ASSERT_EQ(::chmod(dir_.c_str(), 0755), 0);
  test::GiveToUnprivileged(dir_);
  Put("[SOFT]\r\nkeep=1\r\n");
  test::GiveToUnprivileged(path_);
  for (mode_t mode : {0000, 0200, 0444}) {
    ASSERT_EQ(::chmod(path_.c_str(), mode), 0);
    EXPECT_EQ(
        test::AsUnprivileged([&] { return WriteString(path_, "SOFT", "k", "v") ? "written" : "refused"; }),
        "refused")
        << std::oct << mode;
    EXPECT_EQ(Get(), "[SOFT]\r\nkeep=1\r\n");
  }
}

TEST_F(IniFile, BufferHoldsOneByteLessThanItsSize) {
  const std::string longValue(300, 'a');
  Put("[SOFT]\r\nk=" + longValue + "\r\n");
  EXPECT_EQ(ReadString(path_, "SOFT", "k", "", 256), longValue.substr(0, 255));
  EXPECT_EQ(ReadString(path_, "SOFT", "k", "", 4096), longValue);
  EXPECT_EQ(ReadString(path_, "SOFT", "k", "", 301), longValue);
  EXPECT_EQ(ReadString(path_, "SOFT", "k", "", 300), longValue.substr(0, 299));
  EXPECT_EQ(ReadString(path_, "SOFT", "none", "default", 4), "def");

  // A double-byte character that would be cut in half is left out whole.
  EXPECT_EQ(FitBuffer(std::string(254, 'a') + "\x83\x41" + "b", 256), std::string(254, 'a'));
  EXPECT_EQ(FitBuffer(std::string(253, 'a') + "\x83\x41" + "b", 256), std::string(253, 'a') + "\x83\x41");
  // The trail byte 0x5C of "ソ" is no lead byte: 83 5C 83 5C cut at 3 keeps one.
  EXPECT_EQ(FitBuffer("\x83\x5C\x83\x5C", 4), "\x83\x5C");
  EXPECT_EQ(FitBuffer("a\xFA\x40", 3), "a");  // first bytes run from 81 to 9F and E0 to FC
  EXPECT_EQ(FitBuffer("abc", 1), "");
  EXPECT_EQ(FitBuffer("abc", 0), "");
}

}  // namespace
}  // namespace vz::ini
