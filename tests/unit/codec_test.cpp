#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <string>
#include <tuple>

#include "core/text/Convert.h"
#include "core/text/Encoding.h"
#include "core/text/EucScan.h"
#include "core/text/Readings.h"
#include "core/text/TextCut.h"
#include "core/text/Utf16.h"
#include "core/text/Utf8Sequence.h"
#include "core/wordlist/WordLine.h"
#include "support/Cp932.h"

namespace vz::codec {
namespace {

using namespace std::string_literals;

struct Pair {
  const char* cp932;
  const char* utf8;
};

// Characters whose code page 932 codes differ from plain Shift-JIS, or whose
// second byte is an ASCII byte that must not be taken for one.
constexpr Pair kPairs[] = {
    {"\x87\x40", "①"},       // NEC row 13
    {"\xFB\xFC", "髙"},      // IBM extension
    {"\xFA\x40", "ⅰ"},       // IBM extension
    {"\x81\x60", "\uFF5E"},  // fullwidth tilde, not U+301C
    {"\x81\x61", "\u2225"},  // parallel to, not U+2016
    {"\x81\x7C", "\uFF0D"},  // fullwidth hyphen-minus, not U+2212
    {"\x81\xCA", "\uFFE2"},  // fullwidth not sign, not U+00AC
    {"\\", "\\"},            // 5C is the backslash, not the yen sign
    {"~", "~"},              // 7E is the tilde, not the overline
    {"\x83\x5C", "ソ"},      // second byte 5C
    {"\x95\x5C", "表"},
    {"\x83\x7C", "ポ"},  // second byte 7C
    {"\x83\x41", "ア"},  // second byte 41 ('A')
    {"\xB1\xDD", "ｱﾝ"},  // half-width katakana
    {"\x82\xA0\x82\xA2,cat;\x94\x4C", "あい,cat;猫"},
    {"", ""},
};

TEST(Cp932, RoundTripsIncludingWindowsRows) {
  for (const Pair& p : kPairs) {
    EXPECT_EQ(Cp932ToUtf8(p.cp932), p.utf8) << p.utf8;
    EXPECT_EQ(Utf8ToCp932(p.utf8), std::string(p.cp932)) << p.utf8;
  }
  // Every valid double-byte code that decodes comes back as the same bytes,
  // except where Windows maps two codes to one character (NEC and IBM copies).
  int checked = 0;
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    if (lead >= 0xA0 && lead <= 0xDF) continue;
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
      if (trail == 0x7F) continue;
      const std::string in{static_cast<char>(lead), static_cast<char>(trail)};
      const std::string text = Cp932ToUtf8(in);
      if (text.find("\uFFFD") != std::string::npos) continue;
      const auto back = Utf8ToCp932(text);
      ASSERT_TRUE(back) << std::hex << lead << ' ' << trail;
      EXPECT_EQ(Cp932ToUtf8(*back), text);
      ++checked;
    }
  }
  EXPECT_GT(checked, 9000);
}

TEST(Cp932, DuplicateCodesEncodeToTheOneWindowsPrefers) {
  // Characters with two codes decode from both and encode as Windows does:
  // JIS row 2 before NEC row 13, IBM extension before NEC-selected copy.
  EXPECT_EQ(Cp932ToUtf8("\x87\x90"), "≒");
  EXPECT_EQ(Cp932ToUtf8("\x81\xE0"), "≒");
  EXPECT_EQ(Utf8ToCp932("≒"), std::string("\x81\xE0"));
  EXPECT_EQ(Cp932ToUtf8("\xED\x40"), "纊");
  EXPECT_EQ(Cp932ToUtf8("\xFA\x5C"), "纊");
  EXPECT_EQ(Utf8ToCp932("纊"), std::string("\xFA\x5C"));
  EXPECT_EQ(Cp932ToUtf8("\xEE\xF9"), "\uFFE2");
  EXPECT_EQ(Utf8ToCp932("\uFFE2"), std::string("\x81\xCA"));
}

TEST(Cp932, EncodesWhatLinuxInputMethodsType) {
  EXPECT_EQ(Utf8ToCp932("\u301C"), std::string("\x81\x60"));  // wave dash
  EXPECT_EQ(Utf8ToCp932("\u2212"), std::string("\x81\x7C"));  // minus sign
  EXPECT_EQ(Utf8ToCp932("\u2016"), std::string("\x81\x61"));  // double vertical line
  EXPECT_EQ(Utf8ToCp932("\u00AC"), std::string("\x81\xCA"));  // not sign
  EXPECT_EQ(Utf8ToCp932("\u2014"), std::string("\x81\x5C"));  // em dash (JIS mapping)
  EXPECT_EQ(Utf8ToCp932("\u00A2"), std::string("\x81\x91"));  // cent sign (JIS mapping)
  EXPECT_EQ(Utf8ToCp932("1\u301C2"), std::string("1\x81\x60"
                                                 "2"));
}

TEST(Cp932, InvalidBytesShowReplacementCharacter) {
  EXPECT_EQ(Cp932ToUtf8("\x81"), "\uFFFD");  // lone lead byte at the end
  EXPECT_EQ(Cp932ToUtf8("ab\x82"), "ab\uFFFD");
  EXPECT_EQ(Cp932ToUtf8("\x81\x20x"), "\uFFFD x");          // the ASCII byte after it still shows
  EXPECT_EQ(Cp932ToUtf8("\x81\x20\x82\xA0"), "\uFFFD あ");  // and decoding resumes
  EXPECT_EQ(Cp932ToUtf8("\x82\xA0\x81"), "あ\uFFFD");
  // No byte sequence crashes or loses what follows; long input crosses the
  // converter's internal buffer.
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  for (int i = 0; i < 20; ++i) all += all.substr(0, 256);
  const std::string text = Cp932ToUtf8(all + "end");
  EXPECT_EQ(text.substr(text.size() - 3), "end");
  // A lone lead byte after a long run: the run crosses the converter's
  // internal buffer and comes through whole.
  std::string big, expected;
  for (int i = 0; i < 2500; ++i) {
    big += "\x82\xA0";
    expected += "あ";
  }
  EXPECT_TRUE(Cp932ToUtf8(big + "\x82") == expected + "\uFFFD");
}

TEST(Cp932, UnencodableTextGivesNothing) {
  EXPECT_EQ(Utf8ToCp932("\U0001F600"), std::nullopt);  // emoji
  EXPECT_EQ(Utf8ToCp932("cat\U0001F408"), std::nullopt);
  EXPECT_EQ(Utf8ToCp932("\u00E9"), std::nullopt);        // é has no code
  EXPECT_EQ(Utf8ToCp932("\xFF"), std::nullopt);          // invalid UTF-8
  EXPECT_EQ(Utf8ToCp932("a\xC3"), std::nullopt);         // cut-off sequence
  EXPECT_EQ(Utf8ToCp932("\xED\xA0\x80"), std::nullopt);  // surrogate
  EXPECT_EQ(Utf8ToCp932("\xC0\xAF"), std::nullopt);      // overlong
  // After a failure the converter works again.
  EXPECT_EQ(Utf8ToCp932("ネコ"), std::string("\x83\x6C\x83\x52"));
  // A long text that ends badly still fails as a whole.
  EXPECT_EQ(Utf8ToCp932(std::string(5000, 'a') + "\U0001F600"), std::nullopt);
}

// A long text is cut between characters, never inside one: the first bytes
// of a character left alone would show as a wrong or broken glyph.
TEST(TextCut, HeadAndMiddleKeepWholeCharacters) {
  struct Case {
    std::string_view bytes;
    std::size_t maxBytes;
    Encoding enc;
    std::string_view head, middle;
  };
  const Case cases[] = {
      {"abc", 3, Encoding::Cp932, "abc", "abc"},
      {"0123456789", 4, Encoding::Utf8, "0123", "3456"},
      {"あいう", 4, Encoding::Utf8, "あ", "い"},
      {"\xFA\x40\xFA\x40", 3, Encoding::Cp932, "\xFA\x40", "\xFA\x40"},  // a first byte above EF
      {"\x82\xA0\x82\xA2\x82\xA4", 3, Encoding::Cp932, "\x82\xA0", "\x82\xA2"},
      // Second bytes that could also start a character: the run before the
      // middle tells where characters start.
      {"\x88\x9F\x88\x9F\x88\x9F", 2, Encoding::Cp932, "\x88\x9F", "\x88\x9F"},
      {"A\x88\x9F\x88\x9F\x88\x9F", 2, Encoding::Cp932, "A", "\x88\x9F"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Head(c.bytes, c.maxBytes, c.enc), c.head) << c.bytes;
    EXPECT_EQ(Middle(c.bytes, c.maxBytes, c.enc), c.middle) << c.bytes;
  }
}

// Bytes of UTF-8 text in `enc`, for inputs written as readable text.
std::string In(Encoding enc, const std::string& utf8) { return FromUtf8(enc, utf8).value(); }
std::string Sjis(const std::string& utf8) { return In(Encoding::Cp932, utf8); }
std::string Euc(const std::string& utf8) { return In(Encoding::EucJp, utf8); }

TEST(Convert, EveryEncodingBothWaysAndWhatItLacks) {
  struct Case {
    Encoding enc;
    std::string bytes;
    std::string utf8;
  };
  const Case cases[] = {
      {Encoding::EucJp, "0\xA4\xCD\xA4\xB3,\xC7\xAD", "0ねこ,猫"},
      {Encoding::EucJp, "\x8E\xB1\x8E\xDD", "ｱﾝ"},                // half-width kana
      {Encoding::EucJp, "\x8F\xAB\xB1", "é"},                     // JIS X 0212, three bytes
      {Encoding::EucJp, "\xA1\xC1", "\u301C"},                    // the wave dash input methods type
      {Encoding::Utf16Le, "0\0=\xD8\0\xDE,\0"s, "0\U0001F600,"},  // surrogate pair
      {Encoding::Utf16Be, "\0\x30\xD8=\xDE\0\0,"s, "0\U0001F600,"},
      {Encoding::EucJp, "\xAD\xA1\xC8\xD6", "①番"},  // NEC row 13, as Windows and LibreOffice write it
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ToUtf8(c.enc, c.bytes), c.utf8) << c.utf8;
    EXPECT_EQ(FromUtf8(c.enc, c.utf8), c.bytes) << c.utf8;
    EXPECT_TRUE(Decodes(c.enc, c.bytes)) << c.utf8;
  }
  // Read only: the other extension sets of EUC-JP, and codes no table
  // assigns, each one U+FFFD with decoding kept in step.
  const std::pair<std::string, std::string> decoded[] = {
      {"\xAD\xFC", "∪"},                    // the last of NEC row 13 (written at A2 C0 by EUC-JP)
      {"\xF9\xA1\xFC\xFE", "纊＂"},         // NEC-selected IBM rows 89 and 92, first and last cell
      {"\x8F\xF3\xF3\x8F\xF4\xFE", "ⅰ黑"},  // IBM rows of the JIS X 0212 plane
      {"\xA9\xA1x\x8F\xA1\xA1y", "\uFFFDx\uFFFDy"},
      {"\x8E\xE0x", "\uFFFD\uFFFDx"},  // no half-width katakana there: two bytes, neither a code
  };
  for (const auto& [bytes, utf8] : decoded) EXPECT_EQ(ToUtf8(Encoding::EucJp, bytes), utf8) << utf8;
  // Code page 932: a lead byte and a second byte of the form of one (40 to
  // FC but 7F) is one code, whether assigned or not.
  EXPECT_EQ(ToUtf8(Encoding::Cp932, "\x85\x40x\xEB\x9Fy\x88\x7F\x88\x7E"), "\uFFFDx\uFFFDy\uFFFD\x7F\uFFFD");
  // Undecodable bytes (a lone surrogate, a cut-off unit, a stray byte) show
  // as U+FFFD and decoding resumes; characters an encoding lacks give nothing.
  EXPECT_EQ(ToUtf8(Encoding::Utf16Le, "\0\xD8\x61\0b\0"s), "\uFFFDab");
  EXPECT_EQ(ToUtf8(Encoding::Utf16Be, "\0a\0"s), "a\uFFFD");
  EXPECT_EQ(ToUtf8(Encoding::Utf16Be, "\xD8=\xDC"s), "\uFFFD\uFFFD");  // a high surrogate, half a unit
  EXPECT_EQ(ToUtf8(Encoding::EucJp, "\xA4\x61\xA4\xA2"), "\uFFFDaあ");
  EXPECT_EQ(ToUtf8(Encoding::Utf8, "a\xFF\xE3\x81\x82"), "a\uFFFDあ");
  EXPECT_FALSE(Decodes(Encoding::Utf16Le, "\0\xD8\x61\0"s));
  // UTF-16 is converted in blocks of eight or sixteen units: each kind of
  // character (the first and last of each UTF-8 length) at each place of a
  // block, in every path, and a lone surrogate inside one.
  for (Encoding e : {Encoding::Utf16Le, Encoding::Utf16Be}) {
    for (int shift = 0; shift < 16; ++shift) {
      // Surrogates last: a block that holds one is converted unit by unit.
      const std::string text = std::string(shift, 'a') +
                               "0ねこ,caté x;犬 dog\uD7FF\uE000\r\n\x7F\u0080\u07FF\u0800\uFFFF" +
                               std::string(16, 'b') + "\U0001F600 \U0010FFFF\U00010000" + std::string(9, 'b');
      for (VectorPath path : kVectorPaths) {
        // The room the conversion asks for, and bytes past it it must leave.
        const std::string units = In(e, text);
        std::string out(Utf8Room(units.size()) + 4, '#');
        const Utf8Written written = Utf16ToUtf8(units, e == Encoding::Utf16Be, out.data(), path);
        EXPECT_TRUE(written.clean);
        EXPECT_EQ(out.substr(0, written.length), text) << shift << " path " << static_cast<int>(path);
        EXPECT_EQ(out.substr(out.size() - 4), "####");
      }
    }
    const std::string ascii = In(e, "abcdefgh"), lone = e == Encoding::Utf16Le ? "\0\xDC"s : "\xDC\0"s;
    EXPECT_EQ(ToUtf8(e, ascii + lone + ascii), "abcdefgh\uFFFDabcdefgh");
  }
  EXPECT_EQ(FromUtf8(Encoding::EucJp, "\U0001F600"), std::nullopt);
  EXPECT_EQ(FromUtf8(Encoding::Utf16Le, "\xED\xA0\x80"), std::nullopt);  // a surrogate in UTF-8
  EXPECT_EQ(FromUtf8(Encoding::Utf8, "a\xC3"), std::nullopt);
}

// UTF-8 of a character of the Basic Multilingual Plane.
std::string Utf8Of(char32_t c) {
  if (c < 0x80) return {static_cast<char>(c)};
  if (c < 0x800) return {static_cast<char>(0xC0 | c >> 6), static_cast<char>(0x80 | (c & 0x3F))};
  return {static_cast<char>(0xE0 | c >> 12), static_cast<char>(0x80 | (c >> 6 & 0x3F)),
          static_cast<char>(0x80 | (c & 0x3F))};
}

TEST(Encoding, DetectedOnceFromTheBytes) {
  struct Case {
    std::string bytes;
    Encoding encoding;
    std::size_t bom;
    bool stable = true;  // marking lines cannot change the choice
  };
  // Word lines of every full-width kana, each with a kanji from the first
  // block of the unified ideographs, in code page 932.
  std::string kanaKanji;
  char32_t kanji = U'一';
  for (char32_t c : {U'ぁ', U'ァ'}) {
    for (const char32_t end = c + 0x52; c <= end; ++c) {
      while (!Utf8ToCp932(Utf8Of(kanji))) ++kanji;
      kanaKanji += Sjis("0" + Utf8Of(c) + "," + Utf8Of(kanji++) + "\r\n");
    }
  }
  const Case cases[] = {
      {"\xEF\xBB\xBF"
       "0dog,inu\r\n",
       Encoding::Utf8, 3},                                     // the mark, ASCII after it
      {"\xEF\xBB\xBF" + Sjis("0犬,いぬ"), Encoding::Utf8, 3},  // the mark decides, whatever follows
      {"\xEF\xBB\xBF", Encoding::Utf8, 3},
      {"0犬,いぬ;inu\r\n0ｲﾇ,dog\r\n", Encoding::Utf8, 0},         // real Japanese in UTF-8
      {"0dog,inu\r\n0caf\xC3\xA9,x", Encoding::Utf8, 0},          // one two-byte sequence is enough
      {Sjis("0犬,いぬ;inu\r\n0ｲﾇ,dog\r\n"), Encoding::Cp932, 0},  // the same in code page 932
      {Sjis("0ネコ,猫\r\n0いぬ,犬\r\n0日本語,にほんご\r\n0漢字,かんじ"), Encoding::Cp932, 0},
      {kanaKanji, Encoding::Cp932, 0},
      {Sjis("0ｱｲｳｴｵ,aiueo"), Encoding::Cp932, 0},     // half-width kana
      {Sjis("0ｱｲｳｴ,aiue"), Encoding::Cp932, 0},       // EUC-JP reads two kanji, as many points
      {"0dog,inu\r\n;note\r\n", Encoding::Cp932, 0},  // ASCII only
      {"", Encoding::Cp932, 0},
      {std::string(62, 'x') + "犬\r\n0犬,\x80", Encoding::Cp932, 0},  // across 64-byte steps
      {std::string(62, 'x') + "犬\r\n" + std::string(64, 'x') + "犬", Encoding::Utf8, 0},
      {"0犬,いぬ\xE3\x81", Encoding::Cp932, 0},        // cut off at the end
      {"0dog,犬", Encoding::Utf8, 0},                  // a last character with no line end
      {"0\xE0\x80\xAF,x 犬", Encoding::Cp932, 0},      // overlong in three bytes
      {"0犬,\x80いぬ", Encoding::Cp932, 0},            // stray continuation byte
      {"0\xE3\x81\xC0,x 犬", Encoding::Cp932, 0},      // third byte no continuation byte
      {"0\xC0\xAF,x 犬", Encoding::Cp932, 0},          // overlong
      {"0\xED\xA0\x80,x 犬", Encoding::Cp932, 0},      // surrogate
      {"0\xF4\x90\x80\x80,x 犬", Encoding::Cp932, 0},  // above U+10FFFF
      {"0\xEF\xBB,x 犬", Encoding::Cp932, 0},          // a cut-off mark is no mark
      {"0\xD7\xB2,rai\r\n", Encoding::Cp932, 0},       // half-width ﾗｲ, valid UTF-8 (Hebrew)
      {"0\xC3\xBD,tesu\r\n", Encoding::Utf8, 0},       // a lone ý in UTF-8, likelier than ﾃｽ
      {"1A\xD7\xB2,x\r\n", Encoding::Cp932, 0},        // アﾗｲ made valid UTF-8 by its mark
      {"ねこ,猫\r\nいぬ,犬\r\n", Encoding::Utf8, 0},   // no marks, however they are marked
      {"ねé,x\r\n", Encoding::Utf8, 0},  // no mark: judged as marking leaves it, "é" alone still UTF-8
      // The same line just after a whole vector of 64 bytes.
      {std::string(63, 'x') + "\nねé,x\r\n" + std::string(64, 'x'), Encoding::Utf8, 0},
      {"\xD7\xB2", Encoding::Cp932, 0, false},  // tiny files: marked, "ｲ" alone is not proven to stay
      {"\xA4\xA2", Encoding::EucJp, 0},
      {"\xE3\x81\x82", Encoding::Utf8, 0},
      {"0\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D,x\n0\xD7\x90,y", Encoding::Utf8, 0},  // Hebrew, no other reading
      {Euc("0猫,ねこ;neko\r\n0日本語,にほんご\r\n"), Encoding::EucJp, 0},
      {Euc("0ｱｲｳ,aiu\r\n0犬,いぬ\r\n"), Encoding::EucJp, 0},
      {Euc("0é,e\r\n0ねこ,cat\r\n"), Encoding::EucJp, 0},  // JIS X 0212
      // Short files of real words: EUC-JP kanji that read as half-width
      // katakana in code page 932, and UTF-8 letters that read as half-width
      // katakana and kanji (bench/detect_anchors.sh counts many more).
      {Euc("0現実的,realistic;pragmatic\r\n1猫,cat\r\n"), Encoding::EucJp, 0},
      {Euc("0独立行政法人情報処理推進機構産業技術総合研究所国立国語研究所日本語能力試験,x\r\n"),
       Encoding::EucJp, 0},
      {Euc("0dog,犬"), Encoding::EucJp, 0},
      {"0γάτα,cat", Encoding::Utf8, 0},
      {"0кошка,cat", Encoding::Utf8, 0},
      {"0고양이,cat", Encoding::Utf8, 0},
      {"0con mèo,cat", Encoding::Utf8, 0},
      {"0kış,winter", Encoding::Utf8, 0},
      {"0kočka,cat", Encoding::Utf8, 0},
      // Each extension set: code page 932's NEC row 13 and IBM rows, and
      // EUC-JP's NEC-selected IBM rows and the IBM rows of JIS X 0212.
      {"0\x87\x40,circled one\r\n", Encoding::Cp932, 0},
      {"0\xFB\xFC,taka\r\n", Encoding::Cp932, 0},
      {"0\xF9\xA1,x\r\n", Encoding::EucJp, 0},
      {"0\x8F\xF3\xF3,roman one\r\n", Encoding::EucJp, 0},
      // Half-width katakana in EUC-JP, the first and last of them (8E A1,
      // 8E DF); after 8E, A0 and E0 are none.
      {"0\x8E\xA1\x8E\xDF,x\r\n", Encoding::EucJp, 0},
      {"0\x8E\xA0\x8E\xDF,x\r\n", Encoding::Cp932, 0},
      {"0\x8E\xE0\x8E\xDF,x\r\n", Encoding::Cp932, 0},
      {"\xFF\xFE\x30\0=\xD8\0\xDE,\0"s, Encoding::Utf16Le, 2},  // with a surrogate pair
      {"\xFE\xFF\0\x30\xD8=\xDE\0\0,"s, Encoding::Utf16Be, 2},
      {"\xFF\xFE", Encoding::Utf16Le, 2},
  };
  // The same through every path of the UTF-8 check this processor runs (a
  // path it lacks is left out), with each row after 0 to 63 bytes of ASCII
  // lines, so that its bytes meet every place in a vector.
  for (VectorPath path : kVectorPaths) {
    for (int shift = 0; shift < 64 && Runs(path) && !HasFailure(); ++shift) {
      SCOPED_TRACE(testing::Message() << "path " << static_cast<int>(path) << ", shift " << shift);
      for (const Case& c : cases) {
        const std::string bytes = shift && !c.bom ? std::string(shift - 1, 'x') + '\n' + c.bytes : c.bytes;
        const Detected d = DetectEncoding(bytes, path);
        EXPECT_EQ(d.encoding, c.encoding) << bytes;
        EXPECT_EQ(d.bom, c.bom) << bytes;
        EXPECT_EQ(d.stable, c.stable) << testing::PrintToString(bytes);
      }
    }
  }
}

// The readers detection judges by decode every two-byte code of code page
// 932, EUC-JP's kanji rows (JIS X 0208's and 0212's) and its half-width
// katakana as the converters do; a code no table assigns is kUnassigned there and U+FFFD here.
TEST(Encoding, ReadersDecodeAsTheConvertersDo) {
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      const Byte b[2] = {static_cast<Byte>(lead), static_cast<Byte>(trail)};
      const std::string bytes(reinterpret_cast<const char*>(b), 2);
      for (Encoding e : {Encoding::Cp932, Encoding::EucJp}) {
        const bool kanjiRow = lead >= 0xB0 && lead <= 0xF4 && trail >= 0xA1;
        const Decoded d = e == Encoding::Cp932 ? SjisReader::Read(b, b + 2) : EucReader::Read(b, b + 2);
        if (d.length != 2 || (e == Encoding::EucJp && !kanjiRow && lead != 0x8E)) continue;
        EXPECT_EQ(d.c ? Utf8Of(d.c) : "\uFFFD", ToUtf8(e, bytes)) << lead << " " << trail;
      }
      // JIS X 0212's kanji rows, after 8F.
      const Byte three[3] = {0x8F, b[0], b[1]};
      const Decoded d = EucReader::Read(three, three + 3);
      if (d.length != 3 || lead < 0xB0 || lead > 0xED) continue;
      EXPECT_EQ(d.c ? Utf8Of(d.c) : "\uFFFD", ToUtf8(Encoding::EucJp, "\x8F" + bytes))
          << lead << " " << trail;
    }
  }
  // The state mark's length: a whole character, but one byte in code page 932
  // or where no character is.
  const std::tuple<Encoding, std::string, std::size_t> firsts[] = {{Encoding::Utf8, "", 0},
                                                                   {Encoding::Utf8, "ねこ", 3},
                                                                   {Encoding::EucJp, "\x8F\xA2\xAFx", 3},
                                                                   {Encoding::EucJp, "\x8E\xB1", 2},
                                                                   {Encoding::Cp932, "\x82\xA0", 1},
                                                                   {Encoding::Utf8, "\xFFx", 1}};
  for (const auto& [enc, line, length] : firsts) EXPECT_EQ(FirstCharLength(enc, line), length) << line;
}

// One UTF-8 sequence a character at a time (the check the vector paths are
// fuzzed against), and in every path at every place in a vector.
TEST(Encoding, Utf8SequencesInEveryPath) {
  const std::pair<std::string_view, int> sequences[] = {
      {"\xC2\x80", 2},         {"\xC1\xBF", 0},         {"\xDF\xBF", 2},
      {"\xE0\xA0\x80", 3},     {"\xE0\x9F\xBF", 0},     {"\xED\x9F\xBF", 3},
      {"\xED\xA0\x80", 0},     {"\xEF\xBF\xBF", 3},     {"\xF0\x90\x80\x80", 4},
      {"\xF0\x8F\xBF\xBF", 0}, {"\xF4\x8F\xBF\xBF", 4}, {"\xF4\x90\x80\x80", 0},
      {"\xF5\x80\x80\x80", 0}, {"\xC3\xA9", 2},         {"\xC3", 0},
      {"\xE2\x82\xAC", 3},     {"\xE2\x82\xC0", 0},     {"\xF0\x9F\x98\x80", 4},
      {"\xF0\x9F\x98\xC0", 0}, {"\xF0\x9F\xC0\x80", 0}};
  for (const auto& [bytes, length] : sequences) {
    const auto* p = reinterpret_cast<const Byte*>(bytes.data());
    EXPECT_EQ(Utf8SequenceAt(p, p + bytes.size()), length) << testing::PrintToString(std::string(bytes));
    for (VectorPath path : kVectorPaths) {
      for (int shift = 0; shift < 64 && Runs(path); ++shift) {
        const std::string text = std::string(shift, 'x') + std::string(bytes) + std::string(64, 'x');
        EXPECT_EQ(ValidUtf8(text, path), length > 0) << static_cast<int>(path) << " " << shift;
      }
    }
  }
}

// Each vector path runs exactly where the processor has its instructions
// (as the kernel lists them): one taken where it lacks them would crash,
// one left out would go untested.
TEST(Encoding, VectorPathsRunWhereTheProcessorHasThem) {
  std::ifstream in("/proc/cpuinfo");
  std::string flags;
  while (std::getline(in, flags) && !flags.starts_with("flags")) continue;
  flags += ' ';
  auto has = [&](const char* flag) { return flags.find(' ' + std::string(flag) + ' ') != std::string::npos; };
  const std::pair<VectorPath, bool> paths[] = {{VectorPath::kPlain, true},
                                               {VectorPath::kSsse3, has("ssse3")},
                                               {VectorPath::kAvx2, has("avx2")},
                                               {VectorPath::kAvx512, has("avx512f") && has("avx512bw")}};
  for (const auto& [path, runs] : paths) EXPECT_EQ(Runs(path), runs) << static_cast<int>(path);
}

// "Stable" holds for random texts too: lines of pieces that read
// differently in each encoding, with and without a state mark, marked as a
// list in the encoding found marks them (one line, then every line), are
// told the same again, unless nothing but ASCII is left.
TEST(Encoding, StableAnswersSurviveMarkingRandomTexts) {
  const std::string pieces[] = {"ねこ",      "犬",       "é",        "\xCF\xB2", "\xB1\xDD", Euc("猫"),
                                Euc("ねこ"), "\x8E\xB1", Sjis("犬"), "γ",        "к",        "고",
                                "ệ",         "cat",      ",",        ";",        "0",        "1",
                                " ",         "\xA1\xFF", "\xA0\xA1", "\xFE",     "\x7F"};
  std::mt19937 random(7);
  auto marked = [](const std::string& text, Encoding enc, int only) {
    std::string out;
    int i = 0;
    ForEachTextLine(text, [&](std::string_view line, std::string_view) {
      if (!line.empty() && (only < 0 || only == i))
        out += '1', line.remove_prefix(FirstCharLength(enc, line));
      out.append(line).append("\r\n");
      ++i;
    });
    return out;
  };
  for (int n = 0; n < 3000 && !HasFailure(); ++n) {
    std::string text;
    for (int line = random() % 3 + 1; line > 0; --line, text += "\r\n") {
      for (int k = random() % 5 + 1; k > 0; --k) text += pieces[random() % std::size(pieces)];
    }
    // The EUC-JP check in blocks, in every path, agrees with the one a
    // character at a time at every place in a block, and none reads past
    // the end of a view.
    const std::string longer = std::string(random() % 64, 'x') + text + text + text;
    const std::string_view view(longer.data(), random() % (longer.size() + 1));
    const auto* v = reinterpret_cast<const Byte*>(view.data());
    for (VectorPath path : kVectorPaths) {
      EXPECT_EQ(ValidEucJp(view, path), ValidEucJpPlain(v, v + view.size()))
          << static_cast<int>(path) << testing::PrintToString(longer);
    }
    EXPECT_EQ(ValidEucJp(view), ValidEucJp(std::string(view))) << testing::PrintToString(longer);
    const Detected found = DetectEncoding(text);
    if (!found.stable) continue;
    for (int only : {static_cast<int>(random() % 3), -1}) {
      const std::string after = marked(text, found.encoding, only);
      const bool ascii = std::all_of(after.begin(), after.end(), [](char c) { return c >= 0; });
      EXPECT_TRUE(ascii || DetectEncoding(after).encoding == found.encoding) << testing::PrintToString(text);
    }
  }
}

TEST(TextCut, EucJpCutsBetweenCharactersOfEveryLength) {
  // あ (2 bytes), a JIS X 0212 letter (3), half-width ｱ (2), ASCII, いう.
  const std::string text = Euc("あé") + "\x8E\xB1" + "x" + Euc("いう");
  const std::tuple<std::size_t, std::string, std::string> cases[] = {
      {4, Euc("あ"), "\x8E\xB1x"}, {5, Euc("あé"), "\x8E\xB1x" + Euc("い")}, {1, "", ""}};
  for (const auto& [maxBytes, head, middle] : cases) {
    EXPECT_EQ(Head(text, maxBytes, Encoding::EucJp), head) << maxBytes;
    EXPECT_EQ(Middle(text, maxBytes, Encoding::EucJp), middle) << maxBytes;
  }
}

}  // namespace
}  // namespace vz::codec
