#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "core/files/Error.h"
#include "core/files/Sync.h"
#include "core/text/Convert.h"
#include "core/wordlist/WordList.h"
#include "support/Bytes.h"
#include "support/Files.h"
#include "support/WordLines.h"

namespace vz {
namespace {

using test::ErrorOf;
using test::Lines;
using test::LinesOf;
using test::ListOf;
using test::ModeOf;
using test::Names;
using test::OpenMessage;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;
using Result = WordList::SaveResult;
using namespace std::string_literals;

// A word file w.txt in a scratch directory and a list to load it into.
class WordFile : public ::testing::Test {
 protected:
  // Writes `bytes` as the file and loads it.
  void Load(std::string_view bytes) {
    WriteBytes(path, bytes);
    list.Load(path);
  }
  // Saves the list and returns the file's bytes afterwards.
  std::string SaveAs(Result expected) {
    EXPECT_EQ(list.Save(path), expected);
    return ReadBytes(path);
  }
  TempDir dir;
  const std::string path = dir / "w.txt";
  WordList list;
};
using WordListLoad = WordFile;
using WordListSave = WordFile;
using WordListUtf8 = WordFile;
using WordListNul = WordFile;
using WordListUnreadable = WordFile;
using WordListBigFile = WordFile;
using WordListSwitch = WordFile;
using WordListChanged = WordFile;
using WordListSaveFailure = WordFile;

// ---- index access, marking, reset -------------------------------------------

TEST(WordListIndex, OutsideTheListIsTheIndexError) {
  WordList list = ListOf({"0a,b", "0c,d"});
  EXPECT_EQ(ErrorOf([&] { list.Get(2); }), "リストのインデックスが範囲を超えています (2)");
  EXPECT_EQ(ErrorOf([&] { list.Get(-1); }), "リストのインデックスが範囲を超えています (-1)");
  EXPECT_EQ(ErrorOf([&] { list.Put(2, "x"); }), "リストのインデックスが範囲を超えています (2)");
  EXPECT_EQ(ErrorOf([&] { list.MarkAnswered(5); }), "リストのインデックスが範囲を超えています (5)");
  EXPECT_EQ(LinesOf(list), (Lines{"0a,b", "0c,d"}));
  WordList empty;
  EXPECT_EQ(ErrorOf([&] { empty.Get(0); }), "リストのインデックスが範囲を超えています (0)");
}

TEST(WordListMark, ReplacesOnlyTheFirstByte) {
  WordList list = ListOf({"0ネコ,cat", "Xabc,d", "", "1done,x", "\x83\x5C,y"});
  list.MarkAnswered(0);
  list.MarkAnswered(1);
  list.MarkAnswered(2);  // an empty line has no mark to set
  list.MarkAnswered(3);
  list.MarkAnswered(4);  // a lead byte as the mark is replaced whole
  EXPECT_EQ(LinesOf(list), (Lines{"1ネコ,cat", "1abc,d", "", "1done,x", "1\x5C,y"}));
}

TEST(WordListReset, EveryLineButCommentsAndEmptyLinesGetsZero) {
  WordList list = ListOf({"1a,b", ";note", "", "0c,d", "Xe,f", ",g", "1"});
  list.ResetPass();
  EXPECT_EQ(LinesOf(list), (Lines{"0a,b", ";note", "", "0c,d", "0e,f", "0g", "0"}));
}

// ---- loading and saving -----------------------------------------------------

TEST_F(WordListLoad, LineEndsOfEveryKindSaveAsCrLf) {
  Load("0a,b\r0c,d\n0e,f\r\n\r\n0g,h\n\r0i,j");
  EXPECT_EQ(LinesOf(list), (Lines{"0a,b", "0c,d", "0e,f", "", "0g,h", "", "0i,j"}));
  EXPECT_EQ(SaveAs(Result::Saved), "0a,b\r\n0c,d\r\n0e,f\r\n\r\n0g,h\r\n\r\n0i,j\r\n");
}

TEST_F(WordListLoad, ReplacesThePreviousLines) {
  Load("0a,b\r\n0c,d\r\n");
  Load("0x,y\r\n");
  EXPECT_EQ(LinesOf(list), Lines{"0x,y"});
  Load("");
  EXPECT_EQ(list.Count(), 0);
}

TEST_F(WordListSave, ByteStringsRoundTripUnchanged) {
  // Lines with no comma, a leading comma, a blank middle line, and cp932
  // characters whose second byte is "\" or "|" (ソ, 表, ポ).
  const std::string file =
      "0ネコ,cat\r\n"
      "0nocomma\r\n"
      ",leading\r\n"
      "\r\n"
      "0\x83\x5C\x95\x5C,\x83\x7C;\x95\x5C\r\n"
      ";comment,with;semicolons\r\n"
      "1\x83\x5C\r\n"
      // Lines longer than the save's 256 KiB buffer, between short ones.
      "0long," +
      std::string(300 << 10, 'a') + "\r\n" + "0b,B\r\n" + std::string(256 << 10, 'c') + "\r\n";
  Load(file);
  ASSERT_EQ(list.Count(), 10);
  EXPECT_EQ(list.Get(4), "0\x83\x5C\x95\x5C,\x83\x7C;\x95\x5C");
  EXPECT_EQ(list.Get(6), "1\x83\x5C");
  EXPECT_EQ(list.Save(dir / "out.txt"), Result::Saved);
  EXPECT_TRUE(test::SameBytes(ReadBytes(dir / "out.txt"), file));
}

TEST_F(WordListSave, EmptyListWritesAZeroLengthFile) {
  list.BindAbsent(path);
  EXPECT_EQ(SaveAs(Result::Saved), "");
  // The file just written is the list's own: saving again works.
  list.Add("0a,b");
  EXPECT_EQ(SaveAs(Result::Saved), "0a,b\r\n");
}

TEST_F(WordListSave, RepeatedSavesAfterMarkingAndKeepsPermissions) {
  WriteBytes(path, "0a,b\r\n0c,d\r\n");
  ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
  list.Load(path);
  list.MarkAnswered(1);
  EXPECT_EQ(SaveAs(Result::Saved), "0a,b\r\n1c,d\r\n");
  list.MarkAnswered(0);
  EXPECT_EQ(SaveAs(Result::Saved), "1a,b\r\n1c,d\r\n");
  EXPECT_EQ(ModeOf(path) & 07777, 0600u);
  EXPECT_EQ(dir.List(), Names{"w.txt"});
}

TEST_F(WordListSave, ThroughASymbolicLink) {
  WriteBytes(dir / "real.txt", "0a,b\r\n");
  ASSERT_EQ(::symlink("real.txt", path.c_str()), 0);
  list.Load(path);
  list.MarkAnswered(0);
  EXPECT_EQ(SaveAs(Result::Saved), "1a,b\r\n");
  EXPECT_TRUE(S_ISLNK(ModeOf(path)));
  EXPECT_EQ(ReadBytes(dir / "real.txt"), "1a,b\r\n");
  EXPECT_EQ(list.Save(path), Result::Saved);
}

// ---- UTF-8 word files --------------------------------------------------------

TEST_F(WordListUtf8, RoundTripWithAndWithoutByteOrderMark) {
  const std::string body = "0犬,いぬ;inu\r\n;メモ,note\r\n1猫,ねこ\r\n";
  for (const std::string& bom : {"\xEF\xBB\xBF"s, ""s}) {
    Load(bom + body);
    EXPECT_EQ(list.TextEncoding(), codec::Encoding::Utf8);
    EXPECT_EQ(list.HasBom(), !bom.empty());
    // The mark is not part of line 0: its state mark is the byte after it.
    EXPECT_EQ(LinesOf(list), (Lines{"0犬,いぬ;inu", ";メモ,note", "1猫,ねこ"}));
    list.MarkAnswered(0);
    EXPECT_EQ(SaveAs(Result::Saved), bom + "1犬,いぬ;inu\r\n;メモ,note\r\n1猫,ねこ\r\n");
    list.ResetPass();
    EXPECT_EQ(SaveAs(Result::Saved), bom + "0犬,いぬ;inu\r\n;メモ,note\r\n0猫,ねこ\r\n");
  }
  // A file the program creates is code page 932, without a mark.
  WordList fresh;
  fresh.Load(path);
  fresh.BindAbsent(dir / "new.txt");
  EXPECT_EQ(fresh.TextEncoding(), codec::Encoding::Cp932);
  EXPECT_FALSE(fresh.HasBom());
}

// Text in `enc`, for inputs written as readable text.
std::string In(codec::Encoding enc, const std::string& utf8) { return codec::FromUtf8(enc, utf8).value(); }

TEST_F(WordListUtf8, EveryEncodingRoundTripsThroughMarkResetAndSave) {
  struct Case {
    codec::Encoding enc;
    std::string bom;
    std::string extra;  // a line only some encodings hold
  };
  const Case cases[] = {
      {codec::Encoding::Cp932, "", "0①,nec\r\n"},
      {codec::Encoding::Utf8, "", "0é,e\r\n"},
      {codec::Encoding::Utf8, "\xEF\xBB\xBF", ""},
      {codec::Encoding::EucJp, "", "0é,e\r\n0ｱ,a\r\n"},        // JIS X 0212, half-width kana
      {codec::Encoding::Utf16Le, "\xFF\xFE", "0😀,smile\r\n"},  // a surrogate pair
      {codec::Encoding::Utf16Be, "\xFE\xFF", "0😀,smile\r\n"},
  };
  for (const Case& c : cases) {
    auto bytes = [&](const std::string& text) { return c.bom + In(c.enc, text + c.extra); };
    Load(bytes("0ねこ,cat\r\n1犬,いぬ\r\n;メモ,note\r\n"));
    EXPECT_EQ(list.FileEncoding(), c.enc) << c.extra;
    EXPECT_EQ(list.Problem(), WordList::LoadProblem::None);
    list.MarkAnswered(0);
    EXPECT_EQ(SaveAs(Result::Saved), bytes("1ねこ,cat\r\n1犬,いぬ\r\n;メモ,note\r\n"));
    list.ResetPass();
    EXPECT_EQ(SaveAs(Result::Saved), bytes("0ねこ,cat\r\n0犬,いぬ\r\n;メモ,note\r\n"));
  }
}

TEST_F(WordListUtf8, AMarkTakesTheWholeFirstCharacterExceptInCodePage932) {
  // Line 1 has no state mark, as loaded or as the word editor put it: a mark
  // over half a character would break the text and could change the file's
  // encoding. Code page 932 keeps its one-byte rule.
  struct Case {
    std::string file, line, marked;
  };
  const std::string neko = "ねこ,cat", marked = "1こ,cat";
  const codec::Encoding euc = codec::Encoding::EucJp;
  const Case cases[] = {
      {"犬,dog\r\nねこ,cat\r\n", neko, marked},
      {"犬,dog\r\n0猫,cat\r\n", neko, marked},
      {"犬,dog\r\né,e\r\n", "é,e", "1,e"},
      {"\x80犬,dog\r\nねこ,cat\r\n", neko, marked},  // 0x80 starts no character: cut when marked
      {In(euc, "犬,dog\r\nねこ,cat\r\n"), In(euc, neko), In(euc, marked)},
      {In(euc, "犬,dog\r\n0猫ねこ,cat\r\n"), In(euc, neko), In(euc, marked)},
      {"\xFF\xFE" + In(codec::Encoding::Utf16Le, "犬,dog\r\nねこ,cat\r\n"), neko, marked},
      {"0\xD7\xB2,rai\r\n\xD7\xB2,rai\r\n", "\xD7\xB2,rai", "1\xB2,rai"},
      {In(codec::Encoding::Cp932, "0犬,dog\r\n0ね,cat\r\n"), "\xD7\xB2,rai", "1\xB2,rai"},
  };
  for (const Case& c : cases) {
    Load(c.file);
    list.Put(1, c.line);
    list.MarkAnswered(1);
    EXPECT_EQ(list.Get(1), c.marked);
    ASSERT_EQ(list.Save(path), Result::Saved);
    WordList again;
    again.Load(path);
    EXPECT_EQ(again.FileEncoding(), list.FileEncoding()) << c.marked;
    EXPECT_EQ(again.Get(1), c.marked);
  }
}

// ---- files the list must not overwrite ----------------------------------------

// The bytes after a NUL are not the list's: never saved back, and an added
// line follows the text before the NUL, also in a mapped file.
TEST_F(WordListNul, TextCutAtANulIsNeverSavedBackNorKeptBeforeAnAddedLine) {
  Lines big;
  std::string prefix;
  while (prefix.size() < 600'000) {
    big.push_back("0q" + std::to_string(big.size()) + ",a");
    prefix += big.back() + "\r\n";
  }
  for (const auto& [before, lines] : {std::pair{""s, Lines{}}, {prefix, big}}) {
    const std::string file = before + "0a,b\r\n0c\0d\r\n0e,f\r\n"s;
    Load(file);
    Lines expected = lines;
    expected.insert(expected.end(), {"1a,b", "0c"});
    list.MarkAnswered(static_cast<int>(lines.size()));
    EXPECT_EQ(LinesOf(list), expected);
    EXPECT_EQ(list.Save(path), Result::NotOwned);
    EXPECT_TRUE(test::SameBytes(SaveAs(Result::NotOwned), file));
    list.Add("0x,y");
    expected.push_back("0x,y");
    EXPECT_EQ(LinesOf(list), expected);
    ASSERT_EQ(list.Save(dir / "new.txt"), Result::Saved);
    EXPECT_TRUE(test::SameBytes(ReadBytes(dir / "new.txt"), test::CrLfText(expected)));
    EXPECT_EQ(::unlink((dir / "new.txt").c_str()), 0);
    EXPECT_EQ(dir.List(), Names{"w.txt"});
  }
}

// A line stored again: in place at its old length, aside at another, and
// written as stored.
TEST_F(WordListSave, StoredLinesOfEveryLengthAreSavedAsStored) {
  Load("0abc,d\r\n0efg,h\r\n0ijk,l\r\n0mno,p\r\n");
  const struct {
    int index;
    std::string line;
  } puts[] = {{0, "0xyz,w"}, {1, "0e,h"}, {2, "0longer,l"}, {3, ""}, {1, "0efgh,i"}, {2, "0i"}};
  for (const auto& p : puts) list.Put(p.index, p.line);
  list.MarkAnswered(1);
  EXPECT_EQ(LinesOf(list), (Lines{"0xyz,w", "1efgh,i", "0i", ""}));
  EXPECT_EQ(SaveAs(Result::Saved), "0xyz,w\r\n1efgh,i\r\n0i\r\n\r\n");
}

TEST_F(WordListNul, FilesThatDoNotConvertBackAreLeftWholeAndSaySo) {
  struct Case {
    std::string bytes;
    WordList::LoadProblem problem;
  };
  using Problem = WordList::LoadProblem;
  const Case cases[] = {
      {"0a,b\r\n0c\0d\r\n"s, Problem::CutAtNul},
      {"0a,b\r\n\0x"s, Problem::CutAtNul},                    // one byte after the NUL is still lost
      {"\xFF\xFE\x30\0\0\xD8,\0b\0"s, Problem::BrokenUtf16},  // a lone surrogate
      {"\xFE\xFF\0\x30\0,\0"s, Problem::BrokenUtf16},         // odd length
      {"\xFF\xFE\0\0\x30\0\0\0"s, Problem::UnknownEncoding},  // UTF-32
      {"\0\0\xFE\xFF\0\0\0\x30"s, Problem::UnknownEncoding},
      {"\0"s + std::string(600'000, 'x'), Problem::CutAtNul},  // mapped, and nothing of it kept
  };
  for (const Case& c : cases) {
    Load(c.bytes);
    EXPECT_EQ(list.Problem(), c.problem);
    if (list.Count() > 0) list.MarkAnswered(0);
    list.Add("0x,y");
    EXPECT_EQ(list.Get(list.Count() - 1), "0x,y");
    EXPECT_TRUE(test::SameBytes(SaveAs(Result::NotOwned), c.bytes));
  }
}

TEST_F(WordListNul, NulAsTheLastByteLosesNothing) {
  Load("0a,b\r\n\0"s);
  EXPECT_EQ(LinesOf(list), Lines{"0a,b"});
  EXPECT_EQ(SaveAs(Result::Saved), "0a,b\r\n");
}

TEST_F(WordListUnreadable, FailedLoadKeepsTheLinesAndNeverWritesThatFile) {
  const std::string bad = dir / "bad.txt";
  ASSERT_EQ(::mkdir(bad.c_str(), 0700), 0);  // in the way of reading
  Load("0a,b\r\n");
  EXPECT_EQ(ErrorOf([&] { list.Load(bad); }), OpenMessage(bad));
  EXPECT_EQ(LinesOf(list), Lines{"0a,b"});
  EXPECT_EQ(list.Save(bad), Result::NotOwned);
  EXPECT_TRUE(S_ISDIR(ModeOf(bad)));

  // Even once a readable file stands there, these lines are not its lines.
  ASSERT_EQ(::rmdir(bad.c_str()), 0);
  WriteBytes(bad, "0mine,keep\r\n");
  EXPECT_EQ(list.Save(bad), Result::NotOwned);
  EXPECT_EQ(ReadBytes(bad), "0mine,keep\r\n");
}

TEST_F(WordListUnreadable, DirectoryAndDevicesAreOpenErrors) {
  for (const std::string& p : {dir.path(), std::string("/dev/zero"), std::string("/dev/null")}) {
    list = ListOf({"0a,b"});
    EXPECT_EQ(ErrorOf([&] { list.Load(p); }), OpenMessage(p));
    EXPECT_EQ(LinesOf(list), Lines{"0a,b"});
    EXPECT_EQ(list.Save(p), Result::NotOwned);
  }
}

TEST_F(WordListUnreadable, FileTooLargeForTheListIsRefusedUnreadAndKept) {
  WriteBytes(path, "0a,b\r\n");
  // Sparse: it takes no disk, and reading it whole would take 4 GiB of memory.
  ASSERT_EQ(::truncate(path.c_str(), off_t(WordList::kMaxBytes) + 1), 0);
  list = ListOf({"0x,y"});
  EXPECT_EQ(ErrorOf([&] { list.Load(path); }), OpenMessage(path));
  EXPECT_EQ(LinesOf(list), Lines{"0x,y"});
  EXPECT_EQ(list.Save(path), Result::NotOwned);
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_size, off_t(WordList::kMaxBytes) + 1);
  EXPECT_LT(st.st_blocks, 64);  // nothing was written into it either
}

TEST(WordListLimit, AddedBytesCountAgainstTheLimit) {
  TextBuffer b;
  b.Append("abc", 5);
  EXPECT_THROW(b.Append("abc", 5), std::length_error);
  b.Append("de", 5);
  EXPECT_EQ(std::string_view(b.data(), b.size()), "abcde");
  // Bytes made in place are kept as far as asked, never past their room.
  std::memcpy(b.Room(3), "fgh", 3);
  b.Extend(2);
  EXPECT_THROW(b.Extend(1 << 20), std::length_error);
  EXPECT_EQ(std::string_view(b.data(), b.size()), "abcdefg");
}

// Room after a mapped file's bytes is memory of the buffer's own, all of it
// writable, and the file keeps its bytes.
TEST_F(WordListBigFile, RoomAfterAMappedFileIsTheBuffersOwn) {
  const std::string file(600'000, 'q');
  WriteBytes(path, file);
  FileStamp stamp;
  TextBuffer b = TextBuffer::Read(path, WordList::kMaxBytes, &stamp);
  std::memset(b.Room(1 << 16), 'x', 1 << 16);
  b.Extend(1 << 16);
  EXPECT_TRUE(test::SameBytes({b.data(), b.size()}, file + std::string(1 << 16, 'x')));
  EXPECT_FALSE(b.Changed());
  EXPECT_TRUE(test::SameBytes(ReadBytes(path), file));
}

// A big file's lines are read from the page cache rather than copied.
// Marks stay in the program's memory, and a file cut short by another
// program while it is in use neither ends the program nor gets written.
TEST_F(WordListBigFile, MarksSaveAndACutFileIsSurvivedAndLeftAlone) {
  std::string file;
  for (int i = 0; file.size() < 2'000'000; ++i) file += "1q" + std::to_string(i) + ",a\n";
  Load(file);
  ASSERT_GT(list.Count(), 100'000);
  list.ResetPass();
  list.MarkAnswered(list.Count() - 1);
  list.Put(1, "0changed length,x");
  list.Add("0added,y");
  EXPECT_TRUE(test::SameBytes(ReadBytes(path), file));  // nothing reached the file before the save
  ASSERT_EQ(list.Save(path), Result::Saved);
  WordList again;
  again.Load(path);
  EXPECT_EQ(LinesOf(again), LinesOf(list));
  EXPECT_EQ(again.Get(0), "0q0,a");
  EXPECT_EQ(again.Get(1), "0changed length,x");
  EXPECT_EQ(again.Get(again.Count() - 2).substr(0, 1), "1");
  EXPECT_EQ(again.Get(again.Count() - 1), "0added,y");

  // Cut to a few bytes behind the list's back, in place.
  const std::string cut = "0new,n\n";
  {
    const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, cut.data(), cut.size()), ssize_t(cut.size()));
    ::close(fd);
  }
  again.ResetPass();  // touches every line, past the file's new end too
  EXPECT_EQ(again.Count(), list.Count());
  EXPECT_EQ(again.Save(path), Result::ChangedOnDisk);
  EXPECT_EQ(ReadBytes(path), cut);
  // Nor written anywhere else, also once a line added has copied the lines
  // out of the mapping.
  again.Add("0x,y");
  EXPECT_EQ(again.Save(dir / "elsewhere.txt"), Result::ChangedOnDisk);
}

// More big files in use at once than mappings can be guarded: the rest are
// read into memory, each whole. A read that fails is an open error.
TEST_F(WordListBigFile, PastTheGuardedMappingsFilesAreReadAndReadErrorsRefused) {
  std::string file;
  for (int i = 0; file.size() < 600'000; ++i) file += "0q" + std::to_string(i) + ",a\n";
  Load(file);
  std::vector<WordList> lists(10);
  for (WordList& l : lists) {
    l.Load(path);
    EXPECT_EQ(LinesOf(l), LinesOf(list));
  }
  const std::string small = dir / "small.txt";
  WriteBytes(small, "0a,b\n");
  EXPECT_EQ(test::InChild([&] {
              if (!test::FailSystemCalls({{SYS_read, EIO}})) return std::string("(no seccomp filter)");
              return ErrorOf([&] { WordList().Load(small); });
            }),
            OpenMessage(small));
}

// What another program does to the file while the save runs, at the sync
// step (the lines are then written but not yet in place).
std::function<void()> gMeanwhile;
int SyncAfterMeanwhile(int fd, SyncOf) {
  if (auto f = std::exchange(gMeanwhile, nullptr)) f();
  return ::fsync(fd);
}

// Lines read from a mapped file are written only if that file and the target
// stayed as they were until the new content was complete (for an in-place
// rewrite: until the lines were copied aside): a file cut short (pages read
// as zeros) or rewritten before or during the save is never written over its
// own path or to another, also once a line was added.
TEST_F(WordListBigFile, LinesOfAFileCutOrRewrittenBeforeOrDuringTheSaveAreNotWritten) {
  struct Case {
    const char* what;
    bool during, cut, touch, add, other, inPlace;
  } const cases[] = {
      {"cut, pages read as zeros, to another path", false, true, true, false, true, false},
      {"cut, pages read as zeros, a line added, to another path", false, true, true, true, true, false},
      {"cut, pages never read, to another path", false, true, false, false, true, false},
      {"rewritten at the same size, to another path", false, false, false, false, true, false},
      {"cut during the save", true, true, false, false, false, false},
      {"cut during the save to another path", true, true, false, false, true, false},
      {"rewritten during the save to another path", true, false, false, false, true, false},
      {"cut during an in-place rewrite", true, true, false, false, false, true},
      {"rewritten during an in-place rewrite", true, false, false, false, false, true},
  };
  const std::string cache = dir / "cache";
  ASSERT_EQ(::mkdir(cache.c_str(), 0755), 0);
  test::GiveToUnprivileged(cache);
  test::GiveToUnprivileged(dir.path());
  std::string file;
  for (int i = 0; file.size() < 2'000'000; ++i) file += "0q" + std::to_string(i) + ",a\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteBytes(path, file);
    test::GiveToUnprivileged(path);
    ASSERT_EQ(::chmod(dir.path().c_str(), c.inPlace ? 0555 : 0755), 0);  // no new files: in place
    const std::string report = test::AsUnprivileged([&] {
      ::setenv("XDG_CACHE_HOME", cache.c_str(), 1);
      auto meanwhile = [&] {
        if (c.cut) {
          (void)!::truncate(path.c_str(), 7);
        } else if (const int fd = ::open(path.c_str(), O_WRONLY); fd >= 0) {
          (void)!::pwrite(fd, "X", 1, 1'500'000);
          ::close(fd);
        }
      };
      list.Load(path);
      if (!c.during) meanwhile();
      if (c.touch) list.ResetPass();
      if (c.add) list.Add("0added,y");
      if (c.during) gMeanwhile = meanwhile;
      ReplaceSyncStep(SyncAfterMeanwhile);
      const Result saved = list.Save(c.other ? dir / "other.txt" : path);
      return std::string(saved == Result::ChangedOnDisk ? "changed " : "not refused ") +
             std::to_string(ReadBytes(path).size()) + (gMeanwhile ? " (no sync)" : "");
    });
    ASSERT_EQ(report, "changed " + std::to_string(c.cut ? 7 : file.size()));  // a hang ends at the first
    EXPECT_EQ(dir.List(), (Names{"cache", "w.txt"}));
    EXPECT_EQ(TempDir::ListDir(cache + "/vevez"), Names{});  // no backup left
  }
  ::chmod(dir.path().c_str(), 0755);
}

// A save that must rewrite the file in place (its directory refuses new
// files) never reads the lines from the bytes it is overwriting: LF line
// ends grow into CR LF, so the new text runs ahead of the old.
TEST_F(WordListBigFile, RewriteInPlaceWritesTheLinesAsLoaded) {
  const std::string cache = dir / "cache";
  ASSERT_EQ(::mkdir(cache.c_str(), 0755), 0);
  test::GiveToUnprivileged(cache);
  Lines lines;
  std::string file;
  for (int i = 0; file.size() < 1'000'000; ++i) {
    lines.push_back("0q" + std::to_string(i) + ",a");
    file += lines.back() + "\n";
  }
  WriteBytes(path, file);
  test::GiveToUnprivileged(path);
  ASSERT_EQ(::chmod(dir.path().c_str(), 0555), 0);
  const std::string saved = test::AsUnprivileged([&] {
    ::setenv("XDG_CACHE_HOME", cache.c_str(), 1);
    list.Load(path);
    list.MarkAnswered(0);
    return ErrorOf([&] { list.Save(path); });
  });
  ::chmod(dir.path().c_str(), 0755);
  EXPECT_EQ(saved, "(no error)");
  lines[0][0] = kLineAnswered;
  EXPECT_TRUE(test::SameBytes(ReadBytes(path), test::CrLfText(lines)));
  EXPECT_EQ(dir.List(), (Names{"cache", "w.txt"}));
}

TEST_F(WordListUnreadable, SwitchingToAnotherFileStillWorks) {
  const std::string bad = dir / "bad.txt";
  ASSERT_EQ(::mkdir(bad.c_str(), 0755), 0);
  EXPECT_NE(ErrorOf([&] { list.Load(bad); }), "(no error)");
  EXPECT_EQ(list.Save(bad), Result::NotOwned);
  Load("0x,y\r\n");
  list.MarkAnswered(0);
  EXPECT_EQ(SaveAs(Result::Saved), "1x,y\r\n");

  WordList fresh;
  EXPECT_NE(ErrorOf([&] { fresh.Load(bad); }), "(no error)");
  fresh.BindAbsent(dir / "new.txt");
  EXPECT_EQ(fresh.Save(dir / "new.txt"), Result::Saved);
  EXPECT_EQ(ReadBytes(dir / "new.txt"), "");
}

TEST_F(WordListSwitch, FailedLoadIntoAFreshListLeavesTheCurrentOneWhole) {
  // The window loads another file into a new list and swaps only on success.
  Load("0a,b\r\n0c,d\r\n");
  list.MarkAnswered(0);

  WordList next;
  EXPECT_NE(ErrorOf([&] { next.Load(dir / "missing.txt"); }), "(no error)");
  EXPECT_EQ(next.Count(), 0);
  EXPECT_EQ(next.Save(dir / "missing.txt"), Result::NotOwned);
  EXPECT_FALSE(StampOf(dir / "missing.txt").exists);

  EXPECT_EQ(SaveAs(Result::Saved), "1a,b\r\n0c,d\r\n");
}

TEST_F(WordListChanged, FileEditedAfterLoadingIsLeftAlone) {
  Load("0a,b\r\n");
  list.MarkAnswered(0);
  WriteBytes(path, "0a,b\r\n0new,line\r\n");
  EXPECT_EQ(SaveAs(Result::ChangedOnDisk), "0a,b\r\n0new,line\r\n");

  // Loading again makes it the list's file once more.
  list.Load(path);
  EXPECT_EQ(list.Save(path), Result::Saved);

  // Another program writes the target while the save is under way, over
  // the list's own file or where no file was: its content stays.
  for (const std::string& target : {path, dir / "other.txt"}) {
    gMeanwhile = [&] { WriteBytes(target, "0theirs,x\r\n"); };
    const SyncFn was = ReplaceSyncStep(SyncAfterMeanwhile);
    EXPECT_EQ(list.Save(target), Result::ChangedOnDisk) << target;
    ReplaceSyncStep(was);
    EXPECT_EQ(ReadBytes(target), "0theirs,x\r\n");
  }
}

TEST_F(WordListChanged, SameSizeEditAndReplacementAreNoticed) {
  Load("0a,b\r\n");
  // Same size, older time stamp: only the time tells.
  WriteBytes(path, "0x,y\r\n");
  ASSERT_TRUE(test::Backdate(path, 100));
  EXPECT_EQ(SaveAs(Result::ChangedOnDisk), "0x,y\r\n");

  // Replaced by another file with the same size and time: only the inode tells.
  list.Load(path);
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  WriteBytes(dir / "other", "0p,q\r\n");
  ASSERT_TRUE(test::SetTimes(dir / "other", st));
  ASSERT_EQ(::rename((dir / "other").c_str(), path.c_str()), 0);
  EXPECT_EQ(SaveAs(Result::ChangedOnDisk), "0p,q\r\n");
}

TEST_F(WordListChanged, EditThatPutsSizeAndTimesBackIsNoticedWithinTheSameSecond) {
  // Only the change time, to the nanosecond, tells. Started just after a
  // second begins, so that load and edit fall in the same second. File
  // times come from the kernel's coarse clock, which trails the real one by
  // up to a timer tick (10 ms at 100 Hz): started 50 ms in, both times fall
  // in the new second.
  for (int attempt = 0; attempt < 10; ++attempt) {  // a busy machine may need a few
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    ::usleep(static_cast<useconds_t>((1000000000 - now.tv_nsec) / 1000 + 50000));
    Load("0a,b\r\n");
    struct stat loaded {};
    ASSERT_EQ(::stat(path.c_str(), &loaded), 0);
    ::usleep(20000);
    WriteBytes(path, "0x,y\r\n");
    ASSERT_TRUE(test::SetTimes(path, loaded));
    struct stat edited {};
    ASSERT_EQ(::stat(path.c_str(), &edited), 0);
    if (edited.st_ctim.tv_sec != loaded.st_ctim.tv_sec) continue;  // a busy machine: try again
    EXPECT_EQ(SaveAs(Result::ChangedOnDisk), "0x,y\r\n");
    return;
  }
  FAIL() << "could not edit the file within one second";
}

TEST_F(WordListChanged, EditAfterASaveIsNoticedToo) {
  list = ListOf({"0a,b"});
  list.BindAbsent(path);
  EXPECT_EQ(list.Save(path), Result::Saved);
  WriteBytes(path, "0theirs,x\r\n");
  EXPECT_EQ(SaveAs(Result::ChangedOnDisk), "0theirs,x\r\n");
}

TEST_F(WordListChanged, FileThatAppearedAfterStartIsNotWiped) {
  // First run without a word file; the user copies one into place before
  // the program ends. The empty list must not replace it.
  list.BindAbsent(path);
  WriteBytes(dir / "download.txt", "0ネコ,cat\r\n");
  ASSERT_TRUE(test::Backdate(dir / "download.txt", 3600));
  ASSERT_EQ(::rename((dir / "download.txt").c_str(), path.c_str()), 0);
  EXPECT_EQ(SaveAs(Result::ChangedOnDisk), "0ネコ,cat\r\n");
}

TEST_F(WordListChanged, UnrelatedExistingFileIsNotOverwritten) {
  WriteBytes(dir / "other.txt", "0other,file\r\n");
  Load("0a,b\r\n");
  EXPECT_EQ(list.Save(dir / "other.txt"), Result::ChangedOnDisk);
  EXPECT_EQ(ReadBytes(dir / "other.txt"), "0other,file\r\n");
  EXPECT_EQ(list.Save(path), Result::Saved);
}

TEST_F(WordListChanged, DeletedFileIsNotCreatedAgain) {
  // Removed by the user or a sync tool on purpose, after a load or a save;
  // a file that was never there is still created.
  Load("0a,b\r\n");
  ASSERT_EQ(::unlink(path.c_str()), 0);
  EXPECT_EQ(list.Save(path), Result::DeletedOnDisk);
  EXPECT_EQ(dir.List(), Names{});
  list.BindAbsent(path);
  EXPECT_EQ(list.Save(path), Result::Saved);
  ASSERT_EQ(::unlink(path.c_str()), 0);
  EXPECT_EQ(list.Save(path), Result::DeletedOnDisk);
  EXPECT_EQ(dir.List(), Names{});
}

// ---- failed saves ---------------------------------------------------------------

TEST_F(WordListSaveFailure, ErrorsLeaveTheFileAndAllowARetry) {
  std::string file;
  for (int i = 0; i < 200; ++i) file += "0question" + std::to_string(i) + ",answer\r\n";
  Load(file);
  list.MarkAnswered(0);
  // While files may not grow past 1 KiB the save fails; the same list saves
  // fine once the limit is lifted.
  const std::string report = test::InChildWithFileSizeLimit(1024, [&] {
    std::string seen = ErrorOf([&] { list.Save(path); });
    if (ReadBytes(path) != file) seen += " (file changed)";
    if (dir.List() != Names{"w.txt"}) seen += " (temporary file left)";
    test::LiftFileSizeLimit();
    if (list.Save(path) != Result::Saved) seen += " (retry refused)";
    return seen;
  });
  EXPECT_EQ(test::FirstLine(report), test::kWriteMessage + ".");
  EXPECT_EQ(ReadBytes(path), "1" + file.substr(1));
  EXPECT_EQ(dir.List(), Names{"w.txt"});
}

TEST_F(WordListSaveFailure, UnwritableLocationsAreCreateErrors) {
  list = ListOf({"0a,b"});
  const std::string nowhere = dir / "no/such/dir/w.txt";
  list.BindAbsent(nowhere);
  EXPECT_EQ(test::FirstLine(ErrorOf([&] { list.Save(nowhere); })), test::CreateMessage(nowhere) + ".");
  EXPECT_EQ(dir.List(), Names{});
}

}  // namespace
}  // namespace vz
