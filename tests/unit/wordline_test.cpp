#include <gtest/gtest.h>

#include "wordlist/WordLine.h"

namespace vz {
namespace {

TEST(WordLineSplit, QuestionAndAnswersAtFirstComma) {
  auto s = Split("0ネコ,cat;kitty,x");
  EXPECT_EQ(s.question, "ネコ");
  EXPECT_EQ(s.answers, "cat;kitty,x");
}

}  // namespace
}  // namespace vz
