#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/wordlist/WordLine.h"
#include "support/WordLines.h"

namespace vz {
namespace {

using test::CrLfText;
using test::Lines;
using test::LinesOf;
using namespace std::string_literals;

TEST(WordLineSplit, QuestionAndAnswersAtTheFirstComma) {
  const struct {
    const char *line, *question, *answers;
    codec::Encoding enc = codec::Encoding::Cp932;
  } cases[] = {
      {"0ネコ,cat;kitty,x", "ネコ", "cat;kitty,x"},
      {"0cat", "", "0cat"},  // no comma: no question, the answers are the whole line, mark included
      {",cat", "", "cat"},   // a leading comma is the state mark and the separator at once
      {"0,cat", "", "cat"},  // comma right after the mark: empty question
      {"0dog,", "dog", ""},
      {"", "", ""},
      {"1", "", "1"},
      // ソ = 83 5C, 表 = 95 5C, ポ = 83 7C: the trail bytes are "\" and "|",
      // never "," or ";", so the line splits at the real comma only.
      {"0\x83\x5C\x95\x5C,\x83\x7C;\x95\x5C", "\x83\x5C\x95\x5C", "\x83\x7C;\x95\x5C"},
      // Without a mark, the question starts where marking leaves it: after
      // the whole first character, but after one byte in code page 932.
      {"ねこ,猫", "こ", "猫", codec::Encoding::Utf8},
      {"\xA4\xCD\xA4\xB3,x", "\xA4\xB3", "x", codec::Encoding::EucJp},
      {"\x8F\xAB\xB1\xA4\xB3,x", "\xA4\xB3", "x", codec::Encoding::EucJp},
      {"\xD7\xB2,rai", "\xB2", "rai"},
      {"\xFF,x", "", "x", codec::Encoding::Utf8},  // not a character: one byte
  };
  for (const auto& c : cases) {
    auto s = Split(c.line, c.enc);
    EXPECT_EQ(s.question, c.question) << c.line;
    EXPECT_EQ(s.answers, c.answers) << c.line;
  }
}

TEST(WordLineJoin, BuildsMarkQuestionCommaAnswers) {
  EXPECT_EQ(Join("0", "ネコ", "cat"), "0ネコ,cat");
  EXPECT_EQ(Join("1", "", ""), "1,");
  // Join undoes Split for any line whose first comma is after the mark.
  for (std::string line : {"0ネコ,cat", "1a,b,c", "x,", ";note,x;y"}) {
    auto s = Split(line);
    EXPECT_EQ(Join(line.substr(0, 1), s.question, s.answers), line);
  }
}

TEST(WordLineAskable, MarksThatAreAskedAndThatAreNot) {
  EXPECT_FALSE(Askable(""));
  EXPECT_FALSE(Askable("1ネコ,cat"));
  EXPECT_FALSE(Askable(";comment"));
  EXPECT_FALSE(Askable("1"));
  EXPECT_TRUE(Askable("0ネコ,cat"));
  EXPECT_TRUE(Askable(",cat"));
  EXPECT_TRUE(Askable("2x,y"));
  EXPECT_TRUE(Askable(" x,y"));
  EXPECT_TRUE(Askable("\x83\x5C,y"));  // a lead byte as the mark
}

TEST(WordLineForEachLine, EveryKindOfLineEnd) {
  EXPECT_EQ(LinesOf("a\r\nb\r\n"), (Lines{"a", "b"}));
  EXPECT_EQ(LinesOf("a\nb\n"), (Lines{"a", "b"}));
  EXPECT_EQ(LinesOf("a\rb\r"), (Lines{"a", "b"}));
  EXPECT_EQ(LinesOf("a\rb\nc\r\nd"), (Lines{"a", "b", "c", "d"}));
  // LF CR is two line ends; CR CR LF is a CR and then a pair.
  EXPECT_EQ(LinesOf("a\n\rb"), (Lines{"a", "", "b"}));
  EXPECT_EQ(LinesOf("a\r\r\nb"), (Lines{"a", "", "b"}));
  EXPECT_EQ(LinesOf("a\r\n\r\nb"), (Lines{"a", "", "b"}));
}

TEST(WordLineForEachLine, FirstLastAndEmptyLines) {
  EXPECT_EQ(LinesOf(""), Lines{});
  EXPECT_EQ(LinesOf("a"), (Lines{"a"}));            // no line end at all
  EXPECT_EQ(LinesOf("a\r\nb"), (Lines{"a", "b"}));  // last line without end
  EXPECT_EQ(LinesOf("\r\n"), (Lines{""}));
  EXPECT_EQ(LinesOf("\n\n"), (Lines{"", ""}));
  EXPECT_EQ(LinesOf("\r\na"), (Lines{"", "a"}));
  EXPECT_EQ(LinesOf("a\r\n\r\n"), (Lines{"a", ""}));
  EXPECT_EQ(LinesOf("a\n\r"), (Lines{"a", ""}));
}

TEST(WordLineForEachLine, NulEndsTheTextAndTellsWhetherMoreFollowed) {
  const struct {
    std::string text;
    Lines lines;
    bool after;
  } cases[] = {
      {"0a,b\r\n0c\0d\r\n0e,f\r\n"s, {"0a,b", "0c"}, true},
      {"0a,b\r\n\0"s, {"0a,b"}, false},  // the NUL was the last byte: nothing is lost
      {"\0x"s, {}, true},
      {"no nul\r\n", {"no nul"}, false},
      {"a\0b\0\r\0\n\0"s, {"a"}, true},  // UTF-16LE "ab\r\n": the NUL after "a" cuts it short
  };
  for (const auto& c : cases) {
    bool after = !c.after;
    EXPECT_EQ(LinesOf(c.text, &after), c.lines) << c.text;
    EXPECT_EQ(after, c.after) << c.text;
  }
}

TEST(WordLineForEachLine, KeepsEveryOtherByte) {
  std::string all;
  for (int c = 1; c < 256; ++c)
    if (c != '\r' && c != '\n') all.push_back(static_cast<char>(c));
  EXPECT_EQ(LinesOf(all + "\r\n" + all), (Lines{all, all}));
}

// The scan reads long texts in blocks: line ends, CR LF pairs and a NUL at
// every position around the blocks' edges and at the text's start split as
// a byte-by-byte reading of the rules does.
TEST(WordLineForEachLine, LongTextsSplitAsByteByByte) {
  auto byteByByte = [](std::string_view t, bool* after) {
    Lines out;
    const auto nul = t.find('\0');
    *after = nul != std::string_view::npos && nul + 1 < t.size();
    t = t.substr(0, nul);
    std::string line;
    for (size_t i = 0; i < t.size(); ++i) {
      if (t[i] != '\r' && t[i] != '\n') {
        line += t[i];
        continue;
      }
      out.push_back(std::exchange(line, {}));
      if (t[i] == '\r' && i + 1 < t.size() && t[i + 1] == '\n') ++i;
    }
    if (!line.empty()) out.push_back(line);
    return out;
  };
  const std::string ends[] = {"\r\n", "\n", "\r", "\r\r\n", "\n\r", std::string(1, '\0')};
  for (int at = 0; at < 136; at = at == 7 ? 56 : at + 1) {  // the text's first bytes too
    for (const std::string& e : ends) {
      std::string text(200, 'x');
      text.replace(static_cast<size_t>(at), e.size(), e);
      text[30] = '\n';
      text.replace(127, 2, "\r\n");
      bool after = false, expectedAfter = false;
      ASSERT_EQ(LinesOf(text, &after), byteByByte(text, &expectedAfter)) << at << " " << e.size();
      ASSERT_EQ(after, expectedAfter) << at;
    }
  }
}

TEST(WordLineForEachLine, RoundTripsLinesEndedByCrLf) {
  // Random lines of bytes other than CR, LF and NUL, with empty ones among them.
  std::mt19937 gen(20240607);
  std::uniform_int_distribution<int> len(0, 12), byte(1, 255);
  for (int round = 0; round < 200; ++round) {
    Lines lines(static_cast<size_t>(len(gen)));
    for (auto& l : lines) {
      for (int n = len(gen); n > 0; --n) {
        char c;
        do c = static_cast<char>(byte(gen));
        while (c == '\r' || c == '\n');
        l.push_back(c);
      }
    }
    bool after = true;
    ASSERT_EQ(LinesOf(CrLfText(lines), &after), lines);
    EXPECT_FALSE(after);
  }
}

}  // namespace
}  // namespace vz
