#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/import/Import.h"
#include "core/text/Convert.h"
#include "support/Cp932.h"
#include "support/Files.h"
#include "support/WordLines.h"

namespace vz::import {
namespace {

using test::Lines;
using namespace std::string_literals;

struct Case {
  const char* name;    // the source's file name: the format is told by content first
  std::string source;  // its bytes
  Lines lines;         // the word lines written (UTF-8; compared in the file's encoding)
  std::vector<std::size_t> skippedLines = {};
  Options options = {};
  std::size_t duplicates = 0;
};

struct Converted {
  Summary summary;
  std::string bytes;
  std::vector<std::size_t> skipped;
};

Converted Convert(const test::TempDir& dir, const Case& c) {
  const std::string source = dir / c.name, target = dir / "out.txt";
  test::WriteBytes(source, c.source);
  Converted out;
  out.summary =
      ImportFile(source, target, c.options, [&](const Skipped& s) { out.skipped.push_back(s.line); });
  out.bytes = test::ReadBytes(target);
  EXPECT_EQ(test::ReadBytes(source), c.source) << "the source is only read";
  return out;
}

// Each case converts as expected, and the word list reads every line back as
// an askable question whose right answers are exactly the source's.
void Check(const std::vector<Case>& cases, Format format) {
  for (const Case& c : cases) {
    const test::TempDir dir("vevez-import");
    const Converted got = Convert(dir, c);
    EXPECT_EQ(got.summary.format, format) << c.name;
    const codec::Encoding enc = got.summary.encoding;
    std::string want = test::CrLfText(c.lines);
    if (enc == codec::Encoding::Cp932) want = *codec::Utf8ToCp932(want);
    EXPECT_EQ(got.bytes, want) << c.source;
    EXPECT_EQ(got.skipped, c.skippedLines) << c.source;
    EXPECT_EQ(got.summary.pairs, c.lines.size());
    EXPECT_EQ(got.summary.duplicates, c.duplicates);

    WordList list;
    list.Load(dir / "out.txt");
    ASSERT_EQ(list.Count(), static_cast<int>(c.lines.size()));
    EXPECT_EQ(list.TextEncoding(), enc);
    for (int i = 0; i < list.Count(); ++i) {
      EXPECT_TRUE(Askable(list.Get(i)));
      const SplitLine s = Split(list.Get(i));
      const std::string answers = Split(c.lines[static_cast<std::size_t>(i)]).answers;
      EXPECT_FALSE(IsOneOfAnswers(s.answers, "")) << "no empty alternative";
      for (std::size_t from = 0; from <= answers.size();) {
        const std::size_t to = std::min(answers.find(';', from), answers.size());
        std::string alt = answers.substr(from, to - from);
        if (enc == codec::Encoding::Cp932) alt = *codec::Utf8ToCp932(alt);
        EXPECT_TRUE(IsOneOfAnswers(s.answers, alt)) << alt;
        from = to + 1;
      }
    }
  }
}

TEST(Import, Csv) {
  Check({{"a.csv", "ネコ,cat\r\nイヌ,dog,hound\r\n", {"0ネコ,cat", "0イヌ,dog;hound"}},
         {"a.csv", "\"say \"\"hi\"\"\",\"a,b\"\n\"two\nlines\",x\n", {"0say \"hi\",a,b", "0two lines,x"}},
         {"a.csv", "\"a,b\",x\n,empty\nq,\nq,,\n\n \t ,y\nok,\" y ; ;z \"\n", {"0ok,y;z"}, {1, 2, 3, 4, 6}},
         {"b.txt", "猫;cat\n犬;dog;hound\n", {"0猫,cat", "0犬,dog;hound"}},  // a spreadsheet's ";"
         {"a.csv", "q,a\n\"unclosed,x\n", {"0q,a"}, {2}},
         {"a.csv", "1,2,3\nx,y\n", {"03,1"}, {2}, {false, "3,1"}},
         // The separator is told from the first line, outside quotes; ";"
         // among answers does not make one.
         {"a.csv", "x;\"a,b\"\n", {"0x,a,b"}},
         {"a.csv", "ネコ,cat;kitty\r\n", {"0ネコ,cat;kitty"}}},
        Format::Csv);
}

TEST(Import, TsvAndAnki) {
  Check({{"kwq.csv", "ネコ\tcat\nイヌ\t\"dog\" hound\n", {"0ネコ,cat", "0イヌ,\"dog\" hound"}},
         {"notes.txt",
          "#separator:tab\n#html:true\n#tags column:3\n"
          "<b>猫</b> &amp; &#x72AC;\tcat<br>kitty<img src=\"a.png\"> [sound:neko.mp3]\ttag1\n"
          "<div>a</div><div>b</div>\t&lt;c&gt;&nbsp;\n",
          {"0猫 & 犬,cat kitty", "0a  b,<c>"}},
         {"notes.txt",
          "#separator:semicolon\n#html:false\n#columns:Front;Back;Tags\nq<b>;a [sound:x.mp3];t\n",
          {"0q<b>,a"}},
         {"notes.txt", "#separator:Pipe\n" + *codec::Utf8ToCp932("ポ|po\n"), {"0ポ,po"}},
         // Further answer columns are alternatives; characters outside code page 932 make UTF-8.
         {"a.tsv", "smile\t😀\temoji\n", {"0smile,😀;emoji"}}},
        Format::Tsv);
}

TEST(Import, Kvtml) {
  const std::string two =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<kvtml version=\"2.0\">\n<identifiers>\n"
      "<identifier id=\"0\"><name>English</name><locale>en</locale></identifier>\n"
      "<identifier id=\"1\"><name>Japanese</name><locale>ja</locale></identifier>\n</identifiers>\n"
      "<entries>\n<entry id=\"0\">\n<translation id=\"0\"><text>cat &amp; kitten</text></translation>\n"
      "<translation "
      "id=\"1\"><text>猫</text><comparison><comparative><text>x</text></comparative></comparison>"
      "</translation>\n</entry>\n<entry id=\"1\"><translation "
      "id=\"0\"><text>dog</text></translation></entry>\n"
      "</entries></kvtml>\n";
  const std::string one =
      "<kvtml version=\"2.0\"><identifiers><identifier "
      "id=\"0\"><locale>en</locale></identifier></identifiers>"
      "<entries><entry id=\"0\"><translation id=\"0\"><text>cat</text><comment>A pet that purrs</comment>"
      "</translation></entry></entries></kvtml>";
  Check({{"v.kvtml", two, {"0cat & kitten,猫"}, {12}},
         {"v.kvtml", two, {"0猫,cat & kitten"}, {12}, {false, "ja,English"}},
         {"v.xml", one, {"0A pet that purrs,cat"}}},
        Format::Kvtml);
}

TEST(Import, Edict) {
  Check(
      {{"edict", "？？？？ /EDICT, EDICT_SUB(P)/Copyright/\n猫 [ねこ] /(n) cat/(P)/\n", {"0猫,cat"}, {1}},
       {"edict",
        "犬 [いぬ;イヌ] /(n,adj-no) (1) dog/(2) (uk) (to be a) spy/EntL1234X/\n",
        {"0犬,dog;(to be a) spy;いぬ"},
        {},
        {true, ""}},
       {"edict", "ＡＢＣ /(fre: abc) letters/\nＤ /{comp} d/\nbad line\n", {"0ＡＢＣ,letters", "0Ｄ,d"}, {3}},
       {"edict", "一 [いち] /(num) one/", {"0一,one"}},
       {"edict",
        *codec::FromUtf8(codec::Encoding::EucJp, "猫 [ねこ] /(n) cat/(P)/\n犬 /dog/\n"),
        {"0猫,cat", "0犬,dog"}},
       {"edict",
        "\xFF\xFE" + *codec::FromUtf8(codec::Encoding::Utf16Le, "𠀋 [よ] /rare/\r\n"),
        {"0𠀋,rare"}}},
      Format::Edict);
}

TEST(Import, PlainLinesAndEncodings) {
  const std::string sjis = *codec::Utf8ToCp932("ネコ,cat\n");
  Check({{"w.txt", "ネコ,cat, kitty\r\n\r\nイヌ dog\r\n", {"0ネコ,cat, kitty"}, {3}},
         {"w.txt", sjis, {"0ネコ,cat"}},
         {"w.txt", "\xFE\xFF" + *codec::FromUtf8(codec::Encoding::Utf16Be, "ネコ,cat\n"), {"0ネコ,cat"}},
         {"w.txt", "\xEF\xBB\xBFネコ,cat\nネコ,cat\n", {"0ネコ,cat", "0ネコ,cat"}, {}, {}, 1},
         {"w.txt", "ネコ,cat\nnul\0,x\n"s, {"0ネコ,cat", "0nul,x"}}},
        Format::Plain);
}

// The target is always a new file: one that exists is never written, and
// nothing is created when the source cannot be read or holds no pair.
TEST(Import, NeverWritesOverAFileNorCreatesAnEmptyOne) {
  const test::TempDir dir("vevez-import");
  test::WriteBytes(dir / "w.txt", "ネコ,cat\n");
  test::WriteBytes(dir / "old.txt", "0keep,me\r\n");
  test::WriteBytes(dir / "none.csv", ",\n\n");
  test::WriteBytes(dir / "v.kvtml", "<kvtml><identifiers><identifier id=\"0\"/></identifiers></kvtml>");
  test::WriteBytes(dir / "utf16.txt",
                   "\xFF\xFE"
                   "a\0,\0\0\xD8"s);  // a lone surrogate
  const struct {
    std::string source, target, message;
    Options options = {};
  } cases[] = {
      {dir / "w.txt", dir / "old.txt", "ファイル " + (dir / "old.txt") + " は既にあります。上書きしません"},
      {dir / "w.txt", dir / "w.txt", "ファイル " + (dir / "w.txt") + " は既にあります。上書きしません"},
      {dir / "missing.csv", dir / "a.txt", test::OpenMessage(dir / "missing.csv")},
      {dir.path(), dir / "b.txt", test::OpenMessage(dir.path())},
      {dir / "none.csv", dir / "c.txt", "ファイル " + (dir / "none.csv") + " には取り込める単語がありません"},
      {dir / "w.txt", dir / "no/such/dir.txt",
       test::CreateMessage(dir / "no/such/dir.txt") + "\nそのようなファイルやディレクトリはありません"},
      {dir / "utf16.txt", dir / "d.txt",
       "UTF-16 のファイルが壊れています (対になっていない文字か、半端なバイトがあります)"},
      {dir / "v.kvtml", dir / "e.txt", "KVTML ファイルに言語 fr がありません", {false, "0,fr"}},
      {dir / "w.txt", dir / "f.txt", "--columns は 問題,答え には使えません", {false, "2,1"}},
      {dir / "none.csv",
       dir / "g.txt",
       "--columns には問題と答えの列の番号を「2,1」のように指定してください",
       {false, "ja,en"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(test::ErrorOf([&] { ImportFile(c.source, c.target, c.options, [](const Skipped&) {}); }),
              c.message);
  }
  EXPECT_EQ(test::ReadBytes(dir / "old.txt"), "0keep,me\r\n");
  EXPECT_EQ(test::ReadBytes(dir / "w.txt"), "ネコ,cat\n");
  EXPECT_EQ(dir.List(), (test::Names{"none.csv", "old.txt", "utf16.txt", "v.kvtml", "w.txt"}));
  EXPECT_EQ(DefaultTarget("/d/words.csv"), "/d/words.txt");
  EXPECT_EQ(DefaultTarget("/d/words.txt"), "/d/words-vevez.txt");
  EXPECT_EQ(DefaultTarget("/d.x/edict"), "/d.x/edict.txt");
}

}  // namespace
}  // namespace vz::import
