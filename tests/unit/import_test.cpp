#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "core/import/Import.h"
#include "core/import/ImportCommand.h"
#include "core/import/TextWindow.h"
#include "core/text/Convert.h"
#include "support/Bytes.h"
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
  // An import that writes on and on, or spins, ends here (at 64 MiB, or 10 s
  // of processor time more) rather than at the test's time bound.
  struct Bounds {
    rlimit size{}, cpu{};
    Bounds() {
      ::getrlimit(RLIMIT_FSIZE, &size);
      ::getrlimit(RLIMIT_CPU, &cpu);
      rusage used{};
      ::getrusage(RUSAGE_SELF, &used);
      const auto spent = static_cast<rlim_t>(used.ru_utime.tv_sec + used.ru_stime.tv_sec);
      const rlimit boundedSize{std::min<rlim_t>(size.rlim_cur, 64 << 20), size.rlim_max};
      const rlimit boundedCpu{std::min<rlim_t>(cpu.rlim_cur, spent + 10), cpu.rlim_max};
      ::setrlimit(RLIMIT_FSIZE, &boundedSize);
      ::setrlimit(RLIMIT_CPU, &boundedCpu);
    }
    ~Bounds() {
      ::setrlimit(RLIMIT_FSIZE, &size);
      ::setrlimit(RLIMIT_CPU, &cpu);
    }
  } bounds;
  out.summary =
      ImportFile(source, target, c.options, [&](const Skipped& s) { out.skipped.push_back(s.line); });
  out.bytes = test::ReadBytes(target);
  EXPECT_EQ(test::ReadBytes(source), c.source) << "the source is only read";
  return out;
}

// The source with each LF as CR LF (in UTF-16, each LF code unit).
std::string WithCrLf(const std::string& bytes) {
  for (const auto enc : {codec::Encoding::Utf16Le, codec::Encoding::Utf16Be}) {
    if (bytes.starts_with(codec::BomOf(enc)))
      return bytes.substr(0, 2) + *codec::FromUtf8(enc, WithCrLf(codec::ToUtf8(enc, bytes.substr(2))));
  }
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r')) out += '\r';
    out += bytes[i];
  }
  return out;
}

// The .kvtml source with the content of each <text> that holds no markup as
// CDATA, its entities written out.
std::string WithCdata(std::string xml) {
  for (std::size_t at = 0; (at = xml.find("<text>", at)) != std::string::npos;) {
    const std::size_t from = at += 6, to = xml.find("</text>", from);
    std::string text = xml.substr(from, to - from);
    if (text.find('<') != std::string::npos) continue;
    for (std::size_t amp; (amp = text.find("&amp;")) != std::string::npos;) text.replace(amp, 5, "&");
    xml.replace(from, to - from, "<![CDATA[" + text + "]]>");
  }
  return xml;
}

// Each case converts as expected, and the word list reads every line back as
// an askable question whose right answers are exactly the source's.
void CheckOne(const Case& c, Format format) {
  const test::TempDir dir("vevez-import");
  const Converted got = Convert(dir, c);
  EXPECT_EQ(got.summary.format, format) << c.name;
  const codec::Encoding enc = got.summary.encoding;
  std::string want = test::CrLfText(c.lines);
  if (enc == codec::Encoding::Cp932) want = *codec::Utf8ToCp932(want);
  EXPECT_TRUE(test::SameBytes(got.bytes, want)) << c.source.substr(0, 300);
  EXPECT_EQ(got.skipped, c.skippedLines) << c.source.substr(0, 300);
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

// Every case also with CR LF line ends, and a .kvtml file also with CDATA.
void Check(const std::vector<Case>& cases, Format format) {
  for (const Case& c : cases) {
    Case variant = c;
    CheckOne(c, format);
    variant.source = WithCrLf(c.source);
    CheckOne(variant, format);
    variant.source = WithCdata(c.source);
    if (format == Format::Kvtml) CheckOne(variant, format);
  }
}

std::string Repeat(std::string_view s, std::size_t n) {
  std::string out;
  while (n-- > 0) out += s;
  return out;
}

// 52,429 lines of 4 bytes (5 with CR LF) put a line end at the last byte
// of the first piece read.
const std::string kPieceOfLines = Repeat("a,b\n", 52429) + "bad\n";
const test::Lines kPieceOfPairs(52429, "0a,b");
const std::string kLong(kMaxRecordBytes, 'x');
const std::string kLongPair = "0q," + kLong.substr(2);  // a record of the longest line

TEST(Import, Csv) {
  Check({{"a.csv", "ネコ,cat\r\nイヌ,dog,hound\r\n", {"0ネコ,cat", "0イヌ,dog;hound"}},
         {"a.csv", "\"say \"\"hi\"\"\",\"a,b\"\n\"two\nlines\",x\n", {"0say \"hi\",a,b", "0two lines,x"}},
         {"a.csv", "\"a,b\",x\n,empty\nq,\nq,,\n\n \t ,y\nok,\" y ; ;z \"\n", {"0ok,y;z"}, {1, 2, 3, 4, 6}},
         {"b.txt", "猫;cat\n犬;dog;hound\n", {"0猫,cat", "0犬,dog;hound"}},  // a spreadsheet's ";"
         {"a.csv", "\"two\rlines\nhere\",x\nq,a\n\"unclosed,x\n", {"0two lines here,x", "0q,a"}, {5}},
         {"a.csv", "1,2,3\nx,y\n", {"03,1"}, {2}, {false, "3,1"}},
         // The separator is told from the first line, outside quotes; ";"
         // among answers does not make one.
         {"a.csv", "x;\"a,b\"\n", {"0x,a,b"}},
         {"a.csv", "ネコ,cat;kitty\r\n", {"0ネコ,cat;kitty"}},
         // A comment line ahead of the records does not tell the separator.
         {"a.csv", "# 単語, 意味\n猫;cat\n", {"0猫,cat"}},
         // A record too long is skipped whole, the line breaks in its quotes included.
         {"a.csv", "a,b\n\"" + kLong + "\"\"\n\",c\nd,e\nbad\n", {"0a,b", "0d,e"}, {2, 5}},
         {"a.csv", kPieceOfLines, kPieceOfPairs, {52430}, {}, 52428},
         // A quoted field after a separator in a record too long holds its line break.
         {"a.csv", "x" + kLong + ",\"a\nb\"\nd,e\n", {"0d,e"}, {1}},
         // A field that does not decode skips its record.
         {"a.csv", *codec::Utf8ToCp932("ネコ,cat\nイヌ,") + "\x85\x40\n", {"0ネコ,cat"}, {2}}},
        Format::Csv);
}

TEST(Import, TsvAndAnki) {
  Check({{"kwq.csv", "ネコ\tcat\nイヌ\t\"dog\" hound\n", {"0ネコ,cat", "0イヌ,\"dog\" hound"}},
         {"notes.txt",
          "#separator:tab\n#html:true\n# from Anki, as it exports\n#tags column:3\n"
          "<b>猫</b>の子 &amp; &#x72AC;\tcat<br>kitty<img src=\"a.png\"> [sound:neko.mp3]\ttag1\n"
          "<div>a</div><div>b</div>\t&lt;c&#62;&nbsp;\n<p>c</p> <p>d</p> [sound:e.mp3] e\tx\n",
          {"0猫の子 & 犬,cat kitty", "0a b,<c>", "0c d e,x"}},
         {"notes.txt",
          "#separator:semicolon\n#html:false\n#columns:Front;Back;Tags\nq<b>;a [sound:x.mp3];t\n",
          {"0q<b>,a"}},
         // A header that says where the tags are: a column named "Tags" elsewhere stays.
         {"notes.txt", "#separator:tab\n#columns:Tags\tFront\tBack\n#tags column:3\nt\tq\ta\n", {"0t,q"}},
         {"notes.txt", "#html:true\n&#x7FF;&#2048;\tx\n", {"0\xDF\xBF\xE0\xA0\x80,x"}},  // U+07FF U+0800
         {"notes.txt", "#separator:Pipe\n#html:true\n" + *codec::Utf8ToCp932("ポ&amp;|po\n"), {"0ポ&,po"}},
         // Further answer columns are alternatives; characters outside code page 932 make UTF-8.
         {"a.tsv", "smile\t😀\temoji\n", {"0smile,😀;emoji"}},
         // The separator is told from the first of the first five lines that holds one.
         {"a.tsv", "w\nx\ny\nz\nq\ta\n", {"0q,a"}, {1, 2, 3, 4}},
         // The shape of Anki's own test file: a comment, a blank line, then records.
         {"text-2fields.txt",
          "# this is a test file\n\n食べる\tto eat\n飲む\tto drink\nテスト\ttest\nto eat\t食べる\n"
          "飲む\tto drink\n多すぎる\ttoo many\tfields\nnot, enough, fields\n遊ぶ\t\n\tto play\n",
          {"0食べる,to eat", "0飲む,to drink", "0テスト,test", "0to eat,食べる", "0飲む,to drink",
           "0多すぎる,too many;fields"},
          {9, 10, 11},
          {},
          1}},
        Format::Tsv);
}

TEST(Import, Kvtml) {
  const std::string two =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<kvtml version=\"2.0\">\n<identifiers>\n"
      "<identifier id=\"0\"><name>English</name><locale>en</locale></identifier>\n"
      "<identifier id=\"1\"><name>Japanese</name><locale>ja</locale></identifier>\n</identifiers>"
      "<lessons><container><name>Lesson 1</name><entry id=\"0\"/></container></lessons>\n"
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
  // The XML declaration tells the encoding: "°" (C2 B0) would read as
  // "ﾂｰ" in code page 932.
  const std::string declared =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE kvtml PUBLIC \"kvtml2.dtd\" \"kvtml2.dtd\">\n"
      "<kvtml version=\"2.0\" ><identifiers><identifier id=\"0\" ><locale>it</locale></identifier>"
      "</identifiers><entries><entry id=\"50\" ><translation id=\"0\" ><text>primo</text>"
      "<comment>1°</comment></translation></entry></entries></kvtml>\n";
  const std::string big =
      "<kvtml><identifiers><identifier id=\"0\"/><identifier id=\"1\"/></identifiers><entries>\n<entry>"
      "<translation id=\"0\"><text>" +
      kLong +
      "</text></translation><translation id=\"1\"><text>y</text></translation></entry>\n<entry>"
      "<translation id=\"0\"><text>cat</text></translation><translation id=\"1\"><text>neko</text>"
      "</translation></entry></entries></kvtml>";
  // 900 KB of U+3000 (E3 80 80) whose first piece read (256 KiB) ends
  // inside a character, after its first 0x80; its third ends inside one
  // too, with no ASCII byte in the two pieces held.
  const std::string entry =
      "<kvtml><identifiers><identifier id=\"0\"/><identifier id=\"1\"/></identifiers><entries><entry>"
      "<translation id=\"0\"><text>";
  const std::string wide = entry + std::string((262144 - entry.size() - 2) % 3, ' ') + Repeat("　", 300000) +
                           "</text></translation><translation id=\"1\"><text>y</text></translation></entry>"
                           "</entries></kvtml>";
  Check({{"v.kvtml", two, {"0cat & kitten,猫"}, {12}},
         {"v.kvtml", wide, {"0" + Repeat("　", 300000) + ",y"}},
         {"v.kvtml", two, {"0猫,cat & kitten"}, {12}, {false, "Japanese,en"}},
         {"v.xml", one, {"0A pet that purrs,cat"}},
         {"numeri.kvtml", declared, {"01°,primo"}},
         // Told by its name when a long comment keeps the root out of the head.
         {"v.kvtml",
          "<?xml version=\"1.0\"?><!--" + std::string(5000, ' ') + "-->" + one,
          {"0A pet that purrs,cat"}},
         {"v.kvtml",
          "<?xml version='1.0' encoding='Shift_JIS'?>" + *codec::Utf8ToCp932(one),
          {"0A pet that purrs,cat"}},
         {"v.kvtml", big, {"0cat,neko"}, {2}}},
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
       {"edict", "猫 /cat (P) /\n", {"0猫,cat"}},
       {"edict",
        *codec::FromUtf8(codec::Encoding::EucJp, "猫 [ねこ] /(n) cat/(P)/\n犬 /dog/\n"),
        {"0猫,cat", "0犬,dog"}},
       {"edict", "\xFF\xFE" + *codec::FromUtf8(codec::Encoding::Utf16Le, "𠀋 [よ] /rare/\r\n"), {"0𠀋,rare"}},
       {"enamdict",
        "　？？？ /ENAMDICT - Japanese Proper Name Dictionary File/\nゝ泉 [ちゅせん] /(g) Chusen/\n",
        {"0ゝ泉,Chusen"},
        {1}},
       // A code EUC-JP does not assign is reported, not written as a substitute.
       {"edict",
        *codec::FromUtf8(codec::Encoding::EucJp, "猫 [ねこ] /(n) cat/(P)/\n犬 [いぬ] /(n) dog/\n") +
            "\xA9\xA1 /bad/\n" + *codec::FromUtf8(codec::Encoding::EucJp, "鳥 [とり] /(n) bird/\n"),
        {"0猫,cat", "0犬,dog", "0鳥,bird"},
        {3}}},
      Format::Edict);
}

TEST(Import, PlainLinesAndEncodings) {
  const std::string sjis = *codec::Utf8ToCp932("ネコ,cat\n");
  Check({{"w.txt", "ネコ,cat, kitty\r\n\r\nイヌ dog\r\n", {"0ネコ,cat, kitty"}, {3}},
         {"w.txt", sjis, {"0ネコ,cat"}},
         {"w.txt", "\xFE\xFF" + *codec::FromUtf8(codec::Encoding::Utf16Be, "ネコ,cat\n"), {"0ネコ,cat"}},
         {"w.txt", "\xEF\xBB\xBFネコ,cat\nネコ,cat\n", {"0ネコ,cat", "0ネコ,cat"}, {}, {}, 1},
         {"w.txt", "ネコ,cat\nnul\0,x\n"s, {"0ネコ,cat", "0nul,x"}},
         {".csv", "ネコ,cat\n", {"0ネコ,cat"}},  // a dot-file has no extension
         // Exactly half of the lines in EDICT's shape do not make EDICT.
         {"w.txt", "猫 /cat/\nネコ,cat\n犬 /dog/\nイヌ,dog\n", {"0ネコ,cat", "0イヌ,dog"}, {1, 3}},
         {"w.txt", kLongPair.substr(1) + "\nq,x" + kLong + "\nok,y", {kLongPair, "0ok,y"}, {2}},
         {"w.txt", kPieceOfLines, kPieceOfPairs, {52430}, {}, 52428},
         // The encoding is told from the lines that are not ASCII, however far.
         {"w.txt",
          Repeat(kLongPair.substr(1) + "\n", 5) + "ネコ,cat\n",
          {kLongPair, kLongPair, kLongPair, kLongPair, kLongPair, "0ネコ,cat"},
          {},
          {},
          4},
         // Over 1 MiB of lines ended by CR alone: the first lines are still sampled.
         {"w.txt",
          "ネコ,cat\r" + Repeat("a,b\r", 300000),
          [] {
            test::Lines lines(300001, "0a,b");
            lines[0] = "0ネコ,cat";
            return lines;
          }(),
          {},
          {},
          299999},
         {"w.txt", "ねこ,cat\n猫,\xEF\xBF\xBD\n", {"0ねこ,cat", "0猫,\xEF\xBF\xBD"}},  // U+FFFD as written
         // A surrogate pair across the end of the first piece.
         {"w.txt",
          "\xFF\xFE" + *codec::FromUtf8(codec::Encoding::Utf16Le, Repeat("𠀋,x\n", 26215)),
          test::Lines(26215, "0𠀋,x"),
          {},
          {},
          26214}},
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
  // A Latin-1 byte after the first piece read, in a text the reader holds.
  test::WriteBytes(dir / "latin1.kvtml",
                   "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<kvtml>\n<entry><translation><text>" +
                       std::string(300000, 'x') + "\xE9</text></translation></entry></kvtml>");
  test::WriteBytes(dir / "open.kvtml", "<kvtml>\n <entries>\n");
  test::WriteBytes(dir / "cross.kvtml", "<kvtml><entries></kvtml>");
  // A U+FFFD the file holds is no byte that fails to read.
  test::WriteBytes(dir / "fffd.kvtml",
                   "<kvtml>\n<entry><translation><text>\xEF\xBF\xBD"
                   "a\xE9</text></translation></entry></kvtml>");
  test::WriteBytes(dir / "latin.kvtml", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><kvtml/>");
  test::WriteBytes(dir / "huge.csv", "");
  ASSERT_EQ(::truncate((dir / "huge.csv").c_str(), 4LL << 30), 0) << "a sparse file of 4 GiB";
  const std::string malformed = "KVTML ファイルが XML として正しくありません ";
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
       test::CreateMessage(dir / "no/such/dir.txt") + ".\nそのようなファイルやディレクトリはありません"},
      {dir / "utf16.txt", dir / "d.txt",
       "UTF-16 のファイルが壊れています (対になっていない文字か、半端なバイトがあります)"},
      {dir / "v.kvtml", dir / "e.txt", "KVTML ファイルに言語 fr がありません", {false, "0,fr"}},
      {dir / "w.txt", dir / "f.txt", "--columns は 問題,答え には使えません", {false, "2,1"}},
      {dir / "none.csv",
       dir / "g.txt",
       "--columns には問題と答えの列の番号を「2,1」のように指定してください",
       {false, "ja,en"}},
      {dir / "none.csv",
       dir / "o.txt",
       "--columns には問題と答えの列の番号を「2,1」のように指定してください",
       {false, "0,2"}},  // columns count from 1
      {dir / "latin1.kvtml", dir / "h.txt",
       malformed + "(3 行 300027 列): UTF-8 として読めないバイトがあります"},
      {dir / "open.kvtml", dir / "i.txt", malformed + "(2 行 2 列): 要素 <entries> が閉じていません"},
      {dir / "fffd.kvtml", dir / "n.txt", malformed + "(2 行 29 列): UTF-8 として読めないバイトがあります"},
      {dir / "cross.kvtml", dir / "m.txt",
       malformed + "(1 行 17 列): 終了タグ </kvtml> が要素 <entries> と合いません"},
      {dir / "latin.kvtml", dir / "j.txt", "KVTML ファイルの文字コード ISO-8859-1 には対応していません"},
      {dir / "huge.csv", dir / "k.txt",
       test::OpenMessage(dir / "huge.csv") + ".\nファイルが大きすぎます (4294967296 "
                                             "バイト。単語ファイルにできるのは 4294967295 バイトまでです)"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(test::ErrorOf([&] { ImportFile(c.source, c.target, c.options, [](const Skipped&) {}); }),
              c.message);
  }
  // A source changed while it is read (here when a record is reported) gives no file.
  test::WriteBytes(dir / "x.txt", "ネコ,cat\nno pair\n");
  EXPECT_EQ(test::ErrorOf([&] {
              ImportFile(dir / "x.txt", dir / "l.txt", {},
                         [&](const Skipped&) { test::WriteBytes(dir / "x.txt", "-"); });
            }),
            "ファイル " + (dir / "x.txt") + " は読んでいる間に変更されました");
  EXPECT_EQ(test::ReadBytes(dir / "old.txt"), "0keep,me\r\n");
  EXPECT_EQ(test::ReadBytes(dir / "w.txt"), "ネコ,cat\n");
  EXPECT_EQ(dir.List(),
            (test::Names{"cross.kvtml", "fffd.kvtml", "huge.csv", "latin.kvtml", "latin1.kvtml", "none.csv",
                         "old.txt", "open.kvtml", "utf16.txt", "v.kvtml", "w.txt", "x.txt"}));
  EXPECT_EQ(DefaultTarget("/d/words.csv"), "/d/words.txt");
  EXPECT_EQ(DefaultTarget("/d/words.txt"), "/d/words-vevez.txt");
  EXPECT_EQ(DefaultTarget("/d.x/edict"), "/d.x/edict.txt");
}

// The command line: nothing to do without "--import", 2 for a usage error, 1
// for a failure, 0 with a summary naming the file's format and encoding.
TEST(Import, CommandLine) {
  const test::TempDir dir("vevez-import");
  const std::string sjis = dir / "w.csv", utf8 = dir / "u.txt";
  test::WriteBytes(sjis, *codec::Utf8ToCp932("ネコ,cat\n"));
  test::WriteBytes(utf8, "😀,smile\n");
  test::WriteBytes(dir / "edict", "猫 [ねこ] /(n) cat/\n");
  const struct {
    std::vector<std::string> args;
    std::optional<int> status;
    std::string out, err;  // what was printed; of `err`, its first line
  } cases[] = {
      {{sjis}, std::nullopt, "", ""},
      {{"--import"}, 2, "", "vevez: 元のファイルを一つ指定してください\n"},
      {{"--import", "--bad", sjis}, 2, "", "vevez: 不明なオプション --bad\n"},
      {{sjis, "--import"},
       0,
       dir / "w.txt: 1 語を書き込みました (重複 0)、飛ばした記録 0、文字コード CP932 (CSV)\n",
       ""},
      {{"--import", utf8, dir / "v.txt"},
       0,
       dir / "v.txt: 1 語を書き込みました (重複 0)、飛ばした記録 0、文字コード UTF-8 (問題,答え)\n",
       ""},
      {{"--import", "--columns", "2,1", sjis, dir / "c.txt"},
       0,
       dir / "c.txt: 1 語を書き込みました (重複 0)、飛ばした記録 0、文字コード CP932 (CSV)\n",
       ""},
      {{"--readings", dir / "edict", "--import"},
       0,
       dir / "edict.txt: 1 語を書き込みました (重複 0)、飛ばした記録 0、文字コード CP932 (EDICT)\n",
       ""},
      {{"--import", sjis}, 1, "", "vevez: ファイル " + (dir / "w.txt") + " は既にあります。上書きしません\n"},
  };
  for (const auto& c : cases) {
    std::vector<const char*> argv{"vevez"};
    for (const auto& a : c.args) argv.push_back(a.c_str());
    char *outBytes = nullptr, *errBytes = nullptr;
    std::size_t outSize = 0, errSize = 0;
    std::FILE *out = ::open_memstream(&outBytes, &outSize), *err = ::open_memstream(&errBytes, &errSize);
    EXPECT_EQ(RunImportCommand(static_cast<int>(argv.size()), argv.data(), out, err), c.status) << c.args[0];
    std::fclose(out);
    std::fclose(err);
    const std::string printed = errBytes;
    EXPECT_EQ(outBytes, c.out);
    EXPECT_EQ(printed.substr(0, printed.find('\n') + 1), c.err);
    std::free(outBytes);
    std::free(errBytes);
  }
  EXPECT_EQ(test::ReadBytes(dir / "c.txt"), *codec::Utf8ToCp932("0cat,ネコ\r\n"));
  EXPECT_EQ(test::ReadBytes(dir / "edict.txt"), *codec::Utf8ToCp932("0猫,cat;ねこ\r\n"));
}

}  // namespace
}  // namespace vz::import
