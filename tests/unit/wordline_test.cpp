#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support/WordLines.h"
#include "wordlist/WordLine.h"

namespace vz {
namespace {

using test::CrLfText;
using test::Lines;
using test::LinesOf;
using namespace std::string_literals;

TEST(WordLineSplit, QuestionAndAnswersAtFirstComma) {
  auto s = Split("0ネコ,cat;kitty,x");
  EXPECT_EQ(s.question, "ネコ");
  EXPECT_EQ(s.answers, "cat;kitty,x");
}

TEST(WordLineSplit, LinesWithoutOrWithEarlyComma) {
  // No comma: no question, and the answers are the whole line, mark included.
  auto none = Split("0cat");
  EXPECT_EQ(none.question, "");
  EXPECT_EQ(none.answers, "0cat");

  // A line that begins with a comma: the comma is its state mark and its
  // separator at once.
  auto lead = Split(",cat");
  EXPECT_EQ(lead.question, "");
  EXPECT_EQ(lead.answers, "cat");

  // Comma right after the mark: empty question.
  auto second = Split("0,cat");
  EXPECT_EQ(second.question, "");
  EXPECT_EQ(second.answers, "cat");

  auto trailing = Split("0dog,");
  EXPECT_EQ(trailing.question, "dog");
  EXPECT_EQ(trailing.answers, "");

  auto empty = Split("");
  EXPECT_EQ(empty.question, "");
  EXPECT_EQ(empty.answers, "");

  auto markOnly = Split("1");
  EXPECT_EQ(markOnly.question, "");
  EXPECT_EQ(markOnly.answers, "1");
}

TEST(WordLineSplit, DoubleByteCharactersWithBackslashOrBarTrailByte) {
  // ソ = 83 5C, 表 = 95 5C, ポ = 83 7C: the trail bytes are "\" and "|",
  // never "," or ";", so the line splits at the real comma only.
  const std::string line = "0\x83\x5C\x95\x5C,\x83\x7C;\x95\x5C";
  auto s = Split(line);
  EXPECT_EQ(s.question, "\x83\x5C\x95\x5C");
  EXPECT_EQ(s.answers, "\x83\x7C;\x95\x5C");
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
  bool after = true;
  EXPECT_EQ(LinesOf("0a,b\r\n0c\0d\r\n0e,f\r\n"s, &after), (Lines{"0a,b", "0c"}));
  EXPECT_TRUE(after);

  after = true;
  EXPECT_EQ(LinesOf("0a,b\r\n\0"s, &after), (Lines{"0a,b"}));
  EXPECT_FALSE(after);  // the NUL was the last byte: nothing is lost

  after = false;
  EXPECT_EQ(LinesOf("\0x"s, &after), Lines{});
  EXPECT_TRUE(after);

  after = true;
  EXPECT_EQ(LinesOf("no nul\r\n", &after), (Lines{"no nul"}));
  EXPECT_FALSE(after);

  // UTF-16LE "ab\r\n": the NUL after "a" cuts it short.
  after = false;
  EXPECT_EQ(LinesOf("a\0b\0\r\0\n\0"s, &after), (Lines{"a"}));
  EXPECT_TRUE(after);
}

TEST(WordLineForEachLine, KeepsEveryOtherByte) {
  std::string all;
  for (int c = 1; c < 256; ++c)
    if (c != '\r' && c != '\n') all.push_back(static_cast<char>(c));
  EXPECT_EQ(LinesOf(all + "\r\n" + all), (Lines{all, all}));
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
