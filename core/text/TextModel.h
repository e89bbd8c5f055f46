#pragma once
// The likelihood of real text, character by character: what a reading of
// a word file's bytes is judged by. Each character has a class (kana,
// kanji, half-width katakana, accented Latin letters, Greek, Cyrillic,
// Hangul, signs, scripts far from Japanese); a class is more or less likely
// after what comes before it (the start of a line, an ASCII letter, other
// ASCII, another class) and before what follows (an ASCII letter, other
// ASCII, the line's end), and each character more or less likely within
// its class; one half-width katakana after another is judged by the pair.
// The figures are costs, -log2 of a probability in quarter bits, from
// tables that scripts/build-text-model.py builds from real text.
#include <cstdint>

#include "core/text/Utf8Sequence.h"

namespace vz::codec {

enum class CharClass : std::uint8_t {
  kHiragana,
  kKatakana,
  kKanji,
  kHalfKana,
  kFullAscii,
  kCjkPunct,
  kLatin,
  kGreek,
  kCyrillic,
  kHangul,
  kSign,
  kFar,
};
inline constexpr int kClasses = 12;
// What comes before a character: a class, or one of these.
inline constexpr int kStart = kClasses, kLetter = kClasses + 1, kOther = kClasses + 2,
                     kContexts = kClasses + 3;
// What follows a character that is not followed by another.
enum Follow { kFollowLetter, kFollowOther, kFollowEnd };

// A code point that no table assigns (an unassigned JIS code).
inline constexpr char32_t kUnassigned = 0;

// The code point of JIS X 0208 row and cell (1-based; rows 95 to 120 are
// the lead bytes F0 to FC of code page 932), as code page 932 has it with
// its NEC and IBM rows; of JIS X 0212; kUnassigned where none.
char32_t JisChar(int row, int cell);
char32_t Jis0212Char(int row, int cell);

// The class and the cost of one character, and of one after another.
struct Model {
  std::uint8_t cls[0x10000];
  std::uint8_t cost[0x10000];
  static const Model& Get();
  CharClass ClassOf(char32_t c) const;
  // The cost of c, of class k, after the context (a class, kStart, kLetter
  // or kOther); `before` is the character before when the context is its
  // class.
  int Cost(char32_t c, CharClass k, int context, char32_t before) const;
  // The cost of what follows a character of class k.
  static int FollowCost(CharClass k, Follow next);
};

}  // namespace vz::codec
