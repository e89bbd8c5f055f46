#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "core/files/AtomicFile.h"
#include "core/files/Error.h"
#include "core/files/Folders.h"
#include "core/files/Journal.h"
#include "core/files/Paths.h"
#include "core/files/ReadFile.h"
#include "core/files/Recovery.h"
#include "core/files/Sync.h"
#include "core/files/TempNames.h"
#include "support/Bytes.h"
#include "support/Files.h"

namespace vz {
namespace {

using test::AsUser;
using test::CreateMessage;
using test::ErrorOf;
using test::FailSystemCalls;
using test::InChild;
using test::InChildWithFileSizeLimit;
using test::kWriteMessage;
using test::ModeOf;
using test::Names;
using test::OpenMessage;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;
using namespace std::string_literals;

// ---- reading ---------------------------------------------------------------

TEST(ReadRegularFile, ReadsEveryByteAndStampsTheFile) {
  TempDir dir;
  const std::string path = dir / "w.txt";
  std::string bytes = "0a,b\r\n\0\xff\x83\x5C"s;
  for (int i = 0; i < 100000; ++i) bytes.push_back(static_cast<char>(i * 7));
  WriteBytes(path, bytes);

  FileStamp stamp;
  EXPECT_TRUE(test::SameBytes(ReadRegularFile(path, &stamp), bytes));
  EXPECT_TRUE(stamp.exists);
  EXPECT_EQ(stamp.size, bytes.size());
  EXPECT_EQ(stamp, StampOf(path));

  WriteBytes(path, "");
  EXPECT_EQ(ReadRegularFile(path), "");
}

TEST(ReadRegularFile, FileLongerThanItsStatedSizeIsReadWhole) {
  // Files under /proc say they are empty and still have content.
  for (const char* path : {"/proc/self/cmdline", "/proc/self/environ"}) {
    ASSERT_EQ(StampOf(path).size, 0u) << path;
    const std::string expected = ReadBytes(path);
    ASSERT_TRUE(std::string_view(path) != "/proc/self/cmdline" || !expected.empty());
    EXPECT_EQ(ReadRegularFile(path), expected) << path;
  }
}

// A bound holds whatever size the file states (/proc files state 0), and
// what is not a regular file says what it is.
TEST(ReadRegularFile, BoundAndKindOfFileGiveTheirReasons) {
  TempDir dir;
  WriteBytes(dir / "four", "abcd");
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  const std::tuple<std::string, std::size_t, std::string> rows[] = {
      {dir / "four", 4, "abcd"},
      {dir / "four", 3, "E" + std::to_string(EFBIG)},
      {"/proc/self/cmdline", 8, "E" + std::to_string(EFBIG)},
      {dir.path(), 9, "E" + std::to_string(EISDIR)},
      {dir / "fifo", 9, "E" + std::to_string(kNotAFile)},
      {dir / "none", 9, "E" + std::to_string(ENOENT)},
  };
  for (const auto& [path, bound, expected] : rows) {
    int err = 0;
    const std::optional<std::string> data = TryReadRegularFile(path, err, nullptr, bound);
    EXPECT_EQ(data ? *data : "E" + std::to_string(err), expected) << path;
  }
}

TEST(ReadRegularFile, FollowsSymbolicLinks) {
  TempDir dir;
  WriteBytes(dir / "real.txt", "0x,y\r\n");
  ASSERT_EQ(::symlink("real.txt", (dir / "link.txt").c_str()), 0);
  EXPECT_EQ(ReadRegularFile(dir / "link.txt"), "0x,y\r\n");
  EXPECT_TRUE(IsRegularFile(dir / "link.txt"));
}

TEST(ReadRegularFile, MissingFileAndDirectoryAreOpenErrors) {
  TempDir dir;
  EXPECT_EQ(ErrorOf([&] { ReadRegularFile(dir / "none.txt"); }), OpenMessage(dir / "none.txt"));
  EXPECT_EQ(ErrorOf([&] { ReadRegularFile(dir.path()); }), OpenMessage(dir.path()));
  EXPECT_FALSE(IsRegularFile(dir / "none.txt"));
  EXPECT_FALSE(IsRegularFile(dir.path()));
}

TEST(ReadRegularFile, DevicesAreRefusedBeforeReading) {
  // /dev/zero would never end and /dev/null is not a word file.
  EXPECT_EQ(ErrorOf([] { ReadRegularFile("/dev/zero"); }), OpenMessage("/dev/zero"));
  EXPECT_EQ(ErrorOf([] { ReadRegularFile("/dev/null"); }), OpenMessage("/dev/null"));
  EXPECT_FALSE(IsRegularFile("/dev/null"));
}

TEST(ReadRegularFile, FifoWithoutWriterDoesNotHang) {
  TempDir dir;
  const std::string fifo = dir / "pipe.txt";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(IsRegularFile(fifo));
  auto result = std::async(std::launch::async, [&] { return ErrorOf([&] { ReadRegularFile(fifo); }); });
  if (result.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
    // Release the blocked reader so that the test can end, then fail.
    int w = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    if (w >= 0) ::close(w);
    result.wait();
    FAIL() << "reading a FIFO blocked";
  }
  EXPECT_EQ(result.get(), OpenMessage(fifo));
}

TEST(StampOf, MissingFileAndChanges) {
  TempDir dir;
  const std::string path = dir / "w.txt";
  EXPECT_FALSE(StampOf(path).exists);
  WriteBytes(path, "abc");
  const FileStamp first = StampOf(path);
  EXPECT_TRUE(first.exists);
  EXPECT_EQ(first.size, 3u);
  WriteBytes(path, "abcd");
  EXPECT_NE(StampOf(path), first);
}

// ---- replacing -------------------------------------------------------------

TEST(WriteFileAtomic, CreatesAndReplacesLeavingNoTemporaryFile) {
  TempDir dir;
  const std::string path = dir / "w.txt";
  const FileStamp created = WriteFileAtomic(path, "first\r\n");
  EXPECT_EQ(ReadBytes(path), "first\r\n");
  EXPECT_EQ(created, StampOf(path));

  // A new file gets what the umask allows, like any file the user creates.
  const mode_t mask = ::umask(022);
  ::umask(mask);
  EXPECT_EQ(ModeOf(path) & 07777, 0666 & ~mask);

  std::string big(3 << 20, 'x');
  big[12345] = '\0';
  const FileStamp replaced = WriteFileAtomic(path, big);
  EXPECT_TRUE(test::SameBytes(ReadBytes(path), big));
  EXPECT_EQ(replaced, StampOf(path));

  WriteFileAtomic(path, "");
  EXPECT_EQ(ReadBytes(path), "");
  EXPECT_EQ(dir.List(), Names{"w.txt"});
}

TEST(WriteFileAtomic, KeepsPermissionBits) {
  TempDir dir;
  const std::string path = dir / "w.txt";
  WriteBytes(path, "old");
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  WriteFileAtomic(path, "new");
  EXPECT_EQ(ModeOf(path) & 07777, 0640u);
  ASSERT_EQ(::chmod(path.c_str(), 0604), 0);
  WriteFileAtomic(path, "newer");
  EXPECT_EQ(ModeOf(path) & 07777, 0604u);
  EXPECT_EQ(ReadBytes(path), "newer");
  ASSERT_EQ(::chmod(path.c_str(), 02660), 0);  // setgid, kept as the group is
  WriteFileAtomic(path, "newest");
  EXPECT_EQ(ModeOf(path) & 07777, 02660u);
}

TEST(WriteFileAtomic, SymbolicLinkStaysALinkAndItsTargetIsReplaced) {
  TempDir dir;
  ASSERT_EQ(::mkdir((dir / "data").c_str(), 0755), 0);
  WriteBytes(dir / "data/real.txt", "old");
  ASSERT_EQ(::chmod((dir / "data/real.txt").c_str(), 0600), 0);
  // A relative link in another directory, and a link to that link.
  ASSERT_EQ(::symlink("data/real.txt", (dir / "link.txt").c_str()), 0);
  ASSERT_EQ(::symlink((dir / "link.txt").c_str(), (dir / "link2.txt").c_str()), 0);

  WriteFileAtomic(dir / "link2.txt", "new");
  EXPECT_TRUE(S_ISLNK(ModeOf(dir / "link.txt")));
  EXPECT_TRUE(S_ISLNK(ModeOf(dir / "link2.txt")));
  EXPECT_EQ(ReadBytes(dir / "data/real.txt"), "new");
  EXPECT_EQ(ModeOf(dir / "data/real.txt") & 07777, 0600u);
  // The temporary file went into the target's directory and is gone.
  EXPECT_EQ(dir.List(), (Names{"data", "link.txt", "link2.txt"}));
  EXPECT_EQ(TempDir::ListDir(dir / "data"), Names{"real.txt"});
}

TEST(WriteFileAtomic, DanglingLinkCreatesItsTarget) {
  TempDir dir;
  ASSERT_EQ(::symlink("later.txt", (dir / "link.txt").c_str()), 0);
  WriteFileAtomic(dir / "link.txt", "x");
  EXPECT_TRUE(S_ISLNK(ModeOf(dir / "link.txt")));
  EXPECT_EQ(ReadBytes(dir / "later.txt"), "x");
}

TEST(WriteFileAtomic, LinkLoopIsRefusedAndLeftAlone) {
  TempDir dir;
  ASSERT_EQ(::symlink("b", (dir / "a").c_str()), 0);
  ASSERT_EQ(::symlink("a", (dir / "b").c_str()), 0);
  EXPECT_EQ(ErrorOf([&] { WriteFileAtomic(dir / "a", "x"); }), CreateMessage(dir / "a"));
  EXPECT_TRUE(S_ISLNK(ModeOf(dir / "a")));
  EXPECT_TRUE(S_ISLNK(ModeOf(dir / "b")));
  EXPECT_EQ(dir.List(), (Names{"a", "b"}));
}

TEST(WriteFileAtomic, LongestFileNameCanBeReplaced) {
  // The temporary name must fit the file system's name limit too.
  TempDir dir;
  const std::string path = dir / std::string(255, 'w');
  WriteBytes(path, "old");
  WriteFileAtomic(path, "new");
  EXPECT_EQ(ReadBytes(path), "new");
  EXPECT_EQ(dir.List(), Names{std::string(255, 'w')});
}

TEST(WriteFileAtomic, BareNameAndLinkInTheCurrentDirectory) {
  TempDir dir;
  char* before = ::getcwd(nullptr, 0);
  ASSERT_EQ(::chdir(dir.path().c_str()), 0);
  WriteBytes("real.txt", "old");
  const bool linked = ::symlink("real.txt", "link.txt") == 0;
  std::string report = ErrorOf([] {
    WriteFileAtomic("w.txt", "new");
    WriteFileAtomic("link.txt", "via link");
  });
  const int back = ::chdir(before);
  std::free(before);
  ASSERT_EQ(back, 0);
  ASSERT_TRUE(linked);
  EXPECT_EQ(report, "(no error)");
  EXPECT_EQ(ReadBytes(dir / "w.txt"), "new");
  EXPECT_EQ(ReadBytes(dir / "real.txt"), "via link");
  EXPECT_TRUE(S_ISLNK(ModeOf(dir / "link.txt")));
  EXPECT_EQ(dir.List(), (Names{"link.txt", "real.txt", "w.txt"}));
}

TEST(WriteFileAtomic, DirectoryInTheWayIsACreateErrorAndStaysUntouched) {
  TempDir dir;
  const std::string path = dir / "w.txt";
  ASSERT_EQ(::mkdir(path.c_str(), 0755), 0);
  WriteBytes(dir / "w.txt/inside", "keep");
  EXPECT_EQ(ErrorOf([&] { WriteFileAtomic(path, "x"); }), CreateMessage(path));
  EXPECT_TRUE(S_ISDIR(ModeOf(path)));
  EXPECT_EQ(ReadBytes(dir / "w.txt/inside"), "keep");
  EXPECT_EQ(dir.List(), Names{"w.txt"});

  // The same through a link to the directory.
  ASSERT_EQ(::symlink("w.txt", (dir / "link").c_str()), 0);
  EXPECT_EQ(ErrorOf([&] { WriteFileAtomic(dir / "link", "x"); }), CreateMessage(dir / "link"));
  EXPECT_TRUE(S_ISLNK(ModeOf(dir / "link")));
  EXPECT_EQ(dir.List(), (Names{"link", "w.txt"}));
}

TEST(WriteFileAtomic, FailedWriteKeepsTheOldFileByteForByte) {
  TempDir dir;
  const std::string path = dir / "w.txt";
  const std::string old = "0old,line\r\n1kept,as is\r\n";
  WriteBytes(path, old);
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  const FileStamp before = StampOf(path);

  const std::string report = InChildWithFileSizeLimit(
      4096, [&] { return ErrorOf([&] { WriteFileAtomic(path, std::string(100000, 'n')); }); });
  EXPECT_EQ(report, kWriteMessage + ".\nファイル " + path + "\nファイルが大きすぎます");
  EXPECT_EQ(ReadBytes(path), old);
  EXPECT_EQ(StampOf(path), before);
  EXPECT_EQ(ModeOf(path) & 07777, 0640u);
  EXPECT_EQ(dir.List(), Names{"w.txt"});
}

TEST(WriteFileAtomic, FailedWriteOfANewFileLeavesNothing) {
  TempDir dir;
  const std::string report = InChildWithFileSizeLimit(
      10, [&] { return ErrorOf([&] { WriteFileAtomic(dir / "w.txt", std::string(11, 'n')); }); });
  EXPECT_EQ(test::FirstLine(report), kWriteMessage + ".");
  EXPECT_EQ(dir.List(), Names{});
}

TEST(WriteFileAtomic, WriteUpToTheLimitSucceeds) {
  TempDir dir;
  const std::string report = InChildWithFileSizeLimit(
      4096, [&] { return ErrorOf([&] { WriteFileAtomic(dir / "w.txt", std::string(4096, 'n')); }); });
  EXPECT_EQ(report, "(no error)");
  EXPECT_EQ(ReadBytes(dir / "w.txt"), std::string(4096, 'n'));
}

// ---- durability and litter ----------------------------------------------------

// What the sync step saw: what it synced, what the target held then and how
// many files the backup directory had. The step fails at call g_failAt.
using SyncSeen = std::tuple<SyncOf, std::string, std::size_t>;
std::vector<SyncSeen> g_syncs;
std::string g_target, g_backups;
std::size_t g_failAt;

// Files only: the folders of records and locks beside the backups do not count.
std::size_t BackupCount() {
  Names names = TempDir::ListDir(g_backups);
  std::erase_if(names, [](const std::string& n) { return n == "temporaries" || n == "locks"; });
  return names.size();
}

int RecordingSync(int fd, SyncOf what) {
  g_syncs.push_back({what, ReadBytes(g_target), BackupCount()});
  errno = EIO;
  return g_syncs.size() - 1 == g_failAt ? -1 : ::fsync(fd);
}

struct SyncStepSwap {
  SyncFn previous;
  explicit SyncStepSwap(SyncFn fn) : previous(ReplaceSyncStep(fn)) {}
  ~SyncStepSwap() { ReplaceSyncStep(previous); }
};

TEST(WriteFileAtomic, EverySyncComesInOrderAndAFailureAtAnyOfThemKeepsTheOldContent) {
  TempDir dir;
  ::setenv("XDG_CACHE_HOME", (dir / "cache").c_str(), 1);
  g_target = dir / "w.txt";
  g_backups = dir / "cache/vevez";
  // In place (the file has a second name) the backup, the journal entry and
  // their directory are synced before the file changes.
  const std::vector<SyncSeen> renamed{{SyncOf::kNewFile, "old", 0}, {SyncOf::kDirectory, "new", 0}},
      inPlace{{SyncOf::kBackup, "old", 1},      {SyncOf::kBackupDirectory, "old", 1},
              {SyncOf::kJournal, "old", 1},     {SyncOf::kBackupDirectory, "old", 2},
              {SyncOf::kFileInPlace, "new", 2}, {SyncOf::kBackupDirectory, "new", 1}};
  for (const auto* expected : {&renamed, &inPlace}) {
    const bool linked = expected == &inPlace;
    for (std::size_t failAt = 0; failAt <= expected->size(); ++failAt) {
      WriteBytes(g_target, "old");
      if (linked) {
        ASSERT_EQ(::link(g_target.c_str(), (dir / "link").c_str()), 0);
      }
      g_syncs.clear();
      g_failAt = failAt;
      SyncStepSwap swap(RecordingSync);
      const std::string error = ErrorOf([&] { WriteFileAtomic(g_target, "new"); });
      // Every name of the file sees what the target has.
      EXPECT_EQ(ReadBytes(dir / (linked ? "link" : "w.txt")), ReadBytes(g_target));
      ::unlink((dir / "link").c_str());
      const bool done = failAt == expected->size();
      EXPECT_EQ(done ? g_syncs : *expected, *expected);
      EXPECT_EQ(error, done ? "(no error)"
                            : (linked && failAt < 4 ? CreateMessage(g_target) + ".\n"
                                                    : kWriteMessage + ".\nファイル " + g_target + "\n") +
                                  "入力/出力エラーです");
      // Old, or put back at once; when the last sync fails the user is told
      // that the new content may not last.
      EXPECT_EQ(ReadBytes(g_target), failAt + 1 >= expected->size() ? "new" : "old") << failAt;
      const Names here = dir.List();
      EXPECT_EQ(here.size() - std::count(here.begin(), here.end(), "cache") + BackupCount(), 1u) << failAt;
    }
  }

  // Killed before the rewrite is synced: the next start puts the old content
  // back from the backup, and says so once.
  ASSERT_EQ(::link(g_target.c_str(), (dir / "link").c_str()), 0);
  InChild([&] {
    ReplaceSyncStep(+[](int, SyncOf what) { return what == SyncOf::kFileInPlace ? (::_exit(0), 0) : 0; });
    return ErrorOf([&] { WriteFileAtomic(g_target, "newer"); });
  });
  EXPECT_EQ(ReadBytes(g_target), "newer");
  // Killed after the new content was whole: it stays, and the user is told.
  const std::vector<InterruptedRewrite> found = RecoverInterruptedRewrites();
  EXPECT_EQ(found.size() == 1 ? InterruptedRewriteMessage(found[0]) : "(none)",
            "ファイル " + g_target + " の保存は終わっていました。\n新しい内容のままです。");
  EXPECT_EQ(ReadBytes(dir / "link"), "newer");
  EXPECT_EQ(BackupCount(), 0u);
  EXPECT_TRUE(RecoverInterruptedRewrites().empty());  // told once
  ::unsetenv("XDG_CACHE_HOME");
}

// An entry holds two paths as long as the system opens (4,095 bytes): it is
// read back whole, and the file it names is put back after a crash in its
// rewrite. (A backup of that length would leave no room for the ".journal"
// beside it, one byte longer: the rewrite is refused before it starts.)
TEST(RecoverInterruptedRewrites, PathsAsLongAsTheSystemOpensAreRecovered) {
  TempDir dir;
  // `at` with folders of 199 bytes added, then a name: `length` bytes in all.
  auto pathOf = [](std::string at, std::size_t length) {
    while (at.size() + 201 < length) at += "/" + std::string(199, 'd');
    return at + "/" + std::string(length - at.size() - 1, 'f');
  };
  const std::string longest = pathOf(dir / "w", JournalEntry::kMaxPath);
  const JournalEntry entry{longest, pathOf(dir / "b", JournalEntry::kMaxPath), 12};
  const auto back = JournalEntry::Parse(entry.Bytes().value_or(""));
  EXPECT_EQ(back ? back->file + back->backup : "(not read back)", entry.file + entry.backup);
  EXPECT_FALSE((JournalEntry{longest + "f", entry.backup, 12}.Bytes()));

  ASSERT_TRUE(MakeDirs(ParentDir(longest)));
  WriteBytes(longest, "old");
  ASSERT_EQ(::link(longest.c_str(), (dir / "link").c_str()), 0);  // rewritten in place
  const std::size_t around = sizeof "/vevez/-XXXXXX.backup" - 1 + NamePart(longest).size();
  ::setenv("XDG_CACHE_HOME", pathOf(dir / "c", JournalEntry::kMaxPath - 1 - around).c_str(), 1);
  InChild([&] {
    ReplaceSyncStep(+[](int, SyncOf what) { return what == SyncOf::kFileInPlace ? (::_exit(0), 0) : 0; });
    return ErrorOf([&] { WriteFileAtomic(longest, "new!"); });
  });
  WriteBytes(dir / "link", "nld!");  // torn: same inode, the new length
  const std::vector<InterruptedRewrite> found = RecoverInterruptedRewrites();
  ::unsetenv("XDG_CACHE_HOME");
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].outcome, InterruptedRewrite::Outcome::kRestored);
  EXPECT_EQ(found[0].file, longest);
  EXPECT_EQ(ReadBytes(dir / "link"), "old");
}

// A rewrite in place killed once the new content was written, then what the
// user or an attacker did before the next start. Recovery writes only into
// the same file in a state the rewrite could have left, from a whole backup;
// otherwise nothing is written, the backup is kept and the box says why.
TEST(RecoverInterruptedRewrites, WritesOnlyIntoTheSameFileFromAWholeBackup) {
  using O = InterruptedRewrite::Outcome;
  struct Row {
    const char* name;
    std::function<void(const std::string& file, const std::string& backup, const std::string& journal)> after;
    O outcome;
    // The file's content and the other file's after it, a line of the box,
    // and the content of the backup kept (empty: none is named).
    std::string file, other, said, kept;
  };
  TempDir dir;
  const std::string path = dir / "w.txt", other = dir / "other.txt";
  const Row rows[] = {
      {"torn", [](auto& f, auto&, auto&) { WriteBytes(f, "NEW content"); }, O::kRestored, "old content", "x",
       "保存前の内容に戻しました。", ""},
      {"whole", [](auto&, auto&, auto&) {}, O::kFinished, "new content!!", "x", "新しい内容のままです。", ""},
      {"old", [](auto& f, auto&, auto&) { WriteBytes(f, "old content"); }, O::kUnchanged, "old content", "x",
       "ファイルは保存前の内容のままです。", ""},
      {"grown later", [](auto& f, auto&, auto&) { WriteBytes(f, "new content!!and more"); }, O::kKept,
       "new content!!and more", "x", "長さが保存の途中のものではありません。後から変更されています",
       "old content"},
      {"replaced", [&](auto& f, auto&, auto&) { ::rename(other.c_str(), f.c_str()); }, O::kKept, "x", "",
       "別のファイルに置き換えられていました", "old content"},
      {"symlink",
       [&](auto& f, auto&, auto&) {
         EXPECT_EQ(::unlink(f.c_str()) | ::symlink(other.c_str(), f.c_str()), 0);
       },
       O::kKept, "x", "x", "シンボリックリンクに置き換えられていました", "old content"},
      {"cut backup",
       [](auto& f, auto& b, auto&) {
         WriteBytes(f, "NEW content");
         EXPECT_EQ(::truncate(b.c_str(), 4), 0);
       },
       O::kKept, "NEW content", "x", "バックアップの長さが記録と違います (切り詰められています)", "old "},
      {"altered backup",
       [](auto& f, auto& b, auto&) { WriteBytes(f, "NEW content"), WriteBytes(b, "OLD content"); }, O::kKept,
       "NEW content", "x", "バックアップの内容が記録と違います (変更されています)", "OLD content"},
      {"backup removed", [](auto& f, auto& b, auto&) { WriteBytes(f, "NEW content"), ::unlink(b.c_str()); },
       O::kKept, "NEW content", "x", "バックアップは削除されていました", ""},
      {"garbage journal", [](auto&, auto&, auto& j) { WriteBytes(j, "vevez rewrite 2\0/etc/passwd\0"s); },
       O::kIgnored, "new content!!", "x", "保存の記録として読めません", "old content"},
      {"foreign journal", [](auto&, auto&, auto& j) { EXPECT_EQ(::chown(j.c_str(), 5000, 5000), 0); },
       O::kIgnored, "new content!!", "x", "他のユーザーのもの、または通常のファイルではありません", ""},
  };
  ::setenv("XDG_CACHE_HOME", (dir / "cache").c_str(), 1);
  const std::string backups = dir / "cache/vevez";
  for (const Row& row : rows) {
    WriteBytes(path, "old content");
    WriteBytes(other, "x");
    ASSERT_EQ(::link(path.c_str(), (dir / "link").c_str()), 0);  // rewritten in place
    InChild([&] {
      ReplaceSyncStep(+[](int, SyncOf what) { return what == SyncOf::kFileInPlace ? (::_exit(0), 0) : 0; });
      return ErrorOf([&] { WriteFileAtomic(path, "new content!!"); });
    });
    std::string backup;
    for (const auto& n : TempDir::ListDir(backups)) {
      if (n.find(".backup") != std::string::npos) backup = backups + "/" + n;
    }
    const std::string journal = backup.substr(0, backup.size() - 7) + ".journal";
    row.after(path, backup, journal);
    const std::vector<InterruptedRewrite> found = RecoverInterruptedRewrites();
    ASSERT_EQ(found.size(), 1u) << row.name;
    const std::string said = InterruptedRewriteMessage(found[0]);
    EXPECT_EQ(found[0].outcome, row.outcome) << row.name;
    EXPECT_NE(said.find(row.said), std::string::npos) << row.name << ": " << said;
    EXPECT_EQ(ReadBytes(path), row.file) << row.name;
    EXPECT_EQ(::access(other.c_str(), F_OK) == 0 ? ReadBytes(other) : "", row.other) << row.name;
    // What is kept is named in the box; a foreign entry stays where it is.
    EXPECT_EQ(found[0].backup.empty() ? "" : ReadBytes(found[0].backup), row.kept) << row.name;
    EXPECT_EQ(said.find("残してあります") != std::string::npos, !row.kept.empty()) << row.name;
    const bool foreign = &row == &rows[std::size(rows) - 1];
    EXPECT_EQ(::access(journal.c_str(), F_OK) == 0, foreign) << row.name;
    EXPECT_EQ(RecoverInterruptedRewrites().size(), foreign ? 1u : 0u) << row.name;  // told once
    std::filesystem::remove_all(dir / "cache");
    ::unlink(path.c_str());
    ::unlink((dir / "link").c_str());
  }
  ::unsetenv("XDG_CACHE_HOME");
}

TEST(RecoverInterruptedRewrites, RemovesOnlyForgottenBackups) {
  TempDir dir;
  ::setenv("XDG_CACHE_HOME", dir.path().c_str(), 1);
  const std::string b = dir / "vevez/";
  ASSERT_TRUE(MakeDirs(b));
  // Kept backups over a week old and younger; backups of a rewrite still
  // running (its entry locked) or being copied (locked), and one no entry
  // names; a file not ours.
  const Names files{"old-aaaaaa.kept",    "young-bbbbbb.kept",  "live-cccccc.backup", "live-cccccc.journal",
                    "busy-ffffff.backup", "done-eeeeee.backup", "notes.txt"};
  for (const auto& n : files) {
    WriteBytes(b + n, "old");
    ASSERT_TRUE(test::Backdate(b + n, n == "young-bbbbbb.kept" ? 6 * 24 * 3600 : 8 * 24 * 3600));
  }
  const int live = ::open((b + "live-cccccc.journal").c_str(), O_RDONLY),
            busy = ::open((b + "busy-ffffff.backup").c_str(), O_RDONLY);
  ASSERT_EQ(::flock(live, LOCK_EX) | ::flock(busy, LOCK_EX), 0);
  const std::string found = InChild([] { return std::to_string(RecoverInterruptedRewrites().size()); });
  ::close(live);
  ::close(busy);
  EXPECT_EQ(found, "0");
  EXPECT_EQ(TempDir::ListDir(b), (Names{"busy-ffffff.backup", "live-cccccc.backup", "live-cccccc.journal",
                                        "notes.txt", "young-bbbbbb.kept"}));
  // A rewrite in place (of a file with two names) holds its own backup from
  // its making on, before any entry names it.
  WriteBytes(dir / "w.txt", "old");
  ASSERT_EQ(::link((dir / "w.txt").c_str(), (dir / "w2.txt").c_str()), 0);
  static std::string gBackups;
  const std::string inRewrite = InChild([&] {
    ReplaceSyncStep([](int fd, SyncOf what) {
      if (what == SyncOf::kBackup)
        gBackups = InChild([] {
          RecoverInterruptedRewrites();
          std::string ours;
          for (const auto& n : TempDir::ListDir(std::string(::getenv("XDG_CACHE_HOME")) + "/vevez"))
            if (n.starts_with("w.txt") && n.ends_with(".backup")) ours += "backup ";
          return ours;
        });
      return ::fsync(fd);
    });
    WriteFileAtomic(dir / "w.txt", "new");
    return gBackups;
  });
  EXPECT_EQ(inRewrite, "backup ");
  EXPECT_EQ(ReadBytes(dir / "w2.txt"), "new");
  ::unsetenv("XDG_CACHE_HOME");
}

TEST(WriteFileAtomic, StaleTemporariesOfOursAreRemovedAndNothingElse) {
  TempDir dir;
  const std::string path = dir / "w.txt";
  // Marked as ours: left by killed saves, one still being written (its
  // writer holds the lock), and two whose suffix is not one we make; then
  // the user's own files named alike, without the mark.
  const Names marked{".other.txt.vevez-Stale2", ".w.txt.vevez-Live01", ".w.txt.vevez-Sta_e1",
                     ".w.txt.vevez-Stale1", ".w.txt.vevez-Stale12"},
      users{".notes.vevez-", ".notes.vevez-backup", ".x.vevez-draft1", "w.txt", "w.txt.vevez-abcdef"};
  ASSERT_EQ(::mkfifo((dir / ".w.txt.vevez-Fifo01").c_str(), 0600), 0);  // not a file: never ours
  for (const bool unnamed : {true, false}) {
    const bool before = AllowUnnamedTemporaries(unnamed);
    for (const auto& n : users) WriteBytes(dir / n, "old");
    for (const auto& n : marked) {
      WriteBytes(dir / n, "x");
      ASSERT_EQ(::setxattr((dir / n).c_str(), kTempMarkAttr, "1", 1, 0), 0);
    }
    // Root's temporary takes the owner of the file it replaces.
    ASSERT_EQ(::chown((dir / ".w.txt.vevez-Stale1").c_str(), 5000, 5000), 0);
    const int live = ::open((dir / ".w.txt.vevez-Live01").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(live, LOCK_EX), 0);
    Names whileWriting;
    WriteFileAtomic(path, [&](const WriteFn& write) {
      whileWriting = dir.List();
      return write("new");
    });
    ::close(live);
    // Only a named temporary has a name while it is written; it is gone too.
    EXPECT_EQ(whileWriting.size(), unnamed ? 11u : 12u);
    EXPECT_EQ(dir.List(), (Names{".notes.vevez-", ".notes.vevez-backup", ".w.txt.vevez-Fifo01",
                                 ".w.txt.vevez-Live01", ".w.txt.vevez-Sta_e1", ".w.txt.vevez-Stale12",
                                 ".x.vevez-draft1", "w.txt", "w.txt.vevez-abcdef"}));
    EXPECT_EQ(ReadBytes(path), "new");
    const mode_t mask = ::umask(0);  // a new file gets what the umask allows
    WriteFileAtomic(dir / "new.txt", "");
    ::umask(mask);
    EXPECT_EQ(ModeOf(dir / "new.txt") & 0777, 0666u) << unnamed;
    // Neither a replacement nor a file made "create only" keeps the mark.
    WriteNewFile(dir / "made.txt", [](const WriteFn& write) { return write("x"); });
    for (const char* name : {"new.txt", "made.txt"}) {
      EXPECT_LT(::getxattr((dir / name).c_str(), kTempMarkAttr, nullptr, 0), 0) << name << unnamed;
      ::unlink((dir / name).c_str());
    }
    AllowUnnamedTemporaries(before);
  }
}

// Without extended attributes a temporary is ours by its record in the
// cache folder alone: a recorded one goes with its record, a look-alike
// stays, and no record outlives the save, failed or not, that made it; the
// same where names cannot be swapped, and the plain rename is used.
TEST(WriteFileAtomic, WithoutAttributesOnlyRecordedTemporariesAreOurs) {
  TempDir cache;
  ::setenv("XDG_CACHE_HOME", cache.path().c_str(), 1);
  test::FailingCalls noSwap = test::NoXattrs();
  noSwap.emplace_back(SYS_renameat2, EINVAL);
  for (const auto& failing : {test::NoXattrs(), noSwap}) {
    for (const bool unnamed : {true, false}) {
      TempDir dir;
      const std::string path = dir / "w.txt", ours = dir / ".w.txt.vevez-Ours01";
      const bool before = AllowUnnamedTemporaries(unnamed);
      WriteBytes(dir / ".w.txt.vevez-Users1", "mine");
      WriteBytes(ours, "x");
      struct stat st;
      ASSERT_EQ(::stat(ours.c_str(), &st), 0);
      RecordTemp(st.st_dev, st.st_ino, ours);
      const std::string report = InChild([&] {
        if (!FailSystemCalls(failing)) return std::string("(no seccomp filter)");
        const std::string failed =
            ErrorOf([&] { WriteFileAtomic(path, [](const WriteFn&) { return false; }); });
        std::string seen = failed == "(no error)" ? "saved" : "refused";
        for (const std::string data : {"new", "newer"})
          seen += " " + ErrorOf([&] { WriteFileAtomic(path, data); });
        for (const auto& n : dir.List()) seen += " " + n;
        return seen + " records " + std::to_string(TempDir::ListDir(cache / "vevez/temporaries").size());
      });
      EXPECT_EQ(report, "refused (no error) (no error) .w.txt.vevez-Users1 w.txt records 0")
          << unnamed << failing.size();
      EXPECT_EQ(ReadBytes(path), "newer");
      AllowUnnamedTemporaries(before);
    }
  }
  ::unsetenv("XDG_CACHE_HOME");
}

// Owner, group, mode, ACL and attributes stay what they were, as root and as
// user 5000 (groups 5000 and 4242) in a setgid folder of group 4242: a new
// file that cannot have them all (another owner, an attribute root alone
// may set) is not made; the file is rewritten in place instead.
TEST(WriteFileAtomic, OwnerGroupModeAclAndAttributesAreAlwaysKept) {
  // An ACL with an entry for user 5001 rw- (mask rw-), the group rw-.
  const std::string acl =
      "\x02\0\0\0\x01\0\x06\0\xff\xff\xff\xff\x02\0\x06\0\x89\x13\0\0\x04\0\x06\0\xff\xff\xff\xff"
      "\x10\0\x06\0\xff\xff\xff\xff\x20\0\0\0\xff\xff\xff\xff"s;
  struct Row {
    uid_t saver, owner;
    gid_t group;
    mode_t mode;
    bool withAcl, trusted, linked;
    bool attributesFail = false;  // no attribute can be set on the new file
  };
  const Row rows[] = {
      {0, 0, 4242, 0640, true, true, false},         {0, 5001, 4242, 0460, true, false, false},
      {5000, 5000, 5000, 0640, false, false, false}, {5000, 5000, 4242, 0664, true, false, false},
      {5000, 5001, 4242, 0460, true, false, false},  {5000, 5000, 5000, 0600, false, false, true},
      {0, 0, 5000, 0640, false, false, false},       {5000, 5000, 5000, 0640, false, false, false, true},
  };
  for (const Row& row : rows) {
    for (const bool unnamed : {true, false}) {
      TempDir dir;
      const std::string path = dir / "w.txt", cache = dir / "cache";
      ASSERT_EQ(::chown(dir.path().c_str(), 0, 4242) | ::chmod(dir.path().c_str(), 02775), 0);
      ASSERT_TRUE(MakeDirs(cache));
      ASSERT_EQ(::chown(cache.c_str(), row.saver, row.saver), 0);
      WriteBytes(path, "old");
      if (row.linked) {
        ASSERT_EQ(::link(path.c_str(), (dir / "link").c_str()), 0);
      }
      ASSERT_EQ(::chown(path.c_str(), row.owner, row.group) | ::chmod(path.c_str(), row.mode), 0);
      ASSERT_EQ(::setxattr(path.c_str(), "user.tag", "blue", 4, 0), 0);
      const std::string aclSet = row.withAcl ? acl : "", trustedSet = row.trusted ? "1" : "";
      for (const auto& [name, value] :
           {std::pair("system.posix_acl_access", aclSet), {"trusted.t", trustedSet}}) {
        ASSERT_TRUE(value.empty() || ::setxattr(path.c_str(), name, value.data(), value.size(), 0) == 0);
      }
      struct stat before {
      }, after{};
      ASSERT_EQ(::stat(path.c_str(), &before), 0);
      const std::string error = AsUser(row.saver, row.saver, {4242}, [&] {
        ::setenv("XDG_CACHE_HOME", cache.c_str(), 1);
        AllowUnnamedTemporaries(unnamed);
        if (row.attributesFail && !FailSystemCalls({{SYS_fsetxattr, ENOSPC}}))
          return std::string("(no filter)");
        return ErrorOf([&] { WriteFileAtomic(path, "new"); });
      });
      EXPECT_EQ(error, "(no error)") << row.saver << " " << row.owner;
      ASSERT_EQ(::stat(path.c_str(), &after), 0);
      auto attrs = [&] {
        std::string all;
        for (const char* name : {"user.tag", "system.posix_acl_access", "trusted.t", kTempMarkAttr}) {
          std::string v(256, '\0');
          const ssize_t n = ::getxattr(path.c_str(), name, v.data(), v.size());
          all += n < 0 ? "-" : v.substr(0, static_cast<size_t>(n));
        }
        return all;
      };
      EXPECT_EQ(ReadBytes(path), "new");
      EXPECT_EQ(std::tuple(after.st_uid, after.st_gid, after.st_mode),
                std::tuple(row.owner, row.group, before.st_mode))
          << row.saver << " " << row.owner << " unnamed " << unnamed;
      EXPECT_EQ(attrs(), "blue" + (row.withAcl ? acl : "-") + (row.trusted ? "1" : "-") + "-");
      EXPECT_EQ(dir.List(), (row.linked ? Names{"cache", "link", "w.txt"} : Names{"cache", "w.txt"}));
    }
  }
}

// ---- permissions and messages ------------------------------------------------------

TEST(WriteFileAtomic, RefusalsNameTheFileAndTheReason) {
  TempDir dir;
  const std::string path = dir / "w.txt", longName = dir / std::string(256, 'n'), none = dir / "none/w.txt";
  test::GiveToUnprivileged(dir.path());
  WriteBytes(path, "old");
  const std::tuple<mode_t, bool, std::string, std::string> cases[] = {
      // No write bit for anyone: not written, even by root.
      {0444, false, path, CreateMessage(path) + ".\n読み取り専用のファイルです"},
      {0444, true, path, CreateMessage(path) + ".\n読み取り専用のファイルです"},
      {0644, true, path, CreateMessage(path) + ".\n許可がありません"},  // root's file
      {0644, false, none, CreateMessage(none) + ".\nそのようなファイルやディレクトリはありません"},
      {0644, false, longName, CreateMessage(longName) + ".\nファイル名が長すぎます"},
  };
  for (const auto& [mode, asUser, target, message] : cases) {
    ASSERT_EQ(::chmod(path.c_str(), mode), 0);
    auto save = [&] { return ErrorOf([&] { WriteFileAtomic(target, "new"); }); };
    EXPECT_EQ(asUser ? test::AsUnprivileged(save) : save(), message);
  }
  EXPECT_EQ(ReadBytes(path), "old");
  EXPECT_EQ(dir.List(), Names{"w.txt"});  // a missing directory was not made
}

// The sync step fails (EIO) for g_failingSync, and only there.
std::optional<SyncOf> g_failingSync;
int FailingSync(int fd, SyncOf what) {
  if (what != g_failingSync) return ::fsync(fd);
  errno = EIO;
  return -1;
}

// Whichever way a file is published, and with either kind of temporary file,
// each failure names the file and gives the system's reason on a line of
// its own, and leaves nothing behind.
TEST(AtomicFile, EachPublishModeByEachFailureNamesTheFileAndTheReason) {
  TempDir dir;
  const std::string path = dir / "w.txt", fresh = dir / "new.txt", none = dir / "none/w.txt",
                    longName = dir / std::string(256, 'n');
  auto writeError = [](const std::string& file, const std::string& reason) {
    return kWriteMessage + ".\nファイル " + file + "\n" + reason;
  };
  const struct {
    std::string target;
    rlim_t limit;
    std::optional<SyncOf> failing;
    std::string replace, createOnly;
  } cases[] = {
      {none, RLIM_INFINITY, {}, CreateMessage(none) + ".\nそのようなファイルやディレクトリはありません", ""},
      {longName, RLIM_INFINITY, {}, CreateMessage(longName) + ".\nファイル名が長すぎます", ""},
      {fresh, 10, {}, writeError(fresh, "ファイルが大きすぎます"), ""},
      {fresh, RLIM_INFINITY, SyncOf::kNewFile, writeError(fresh, "入力/出力エラーです"), ""},
      {fresh, RLIM_INFINITY, SyncOf::kDirectory, writeError(fresh, "入力/出力エラーです"), ""},
      {path, RLIM_INFINITY, {}, "(no error)", "ファイル " + path + " は既にあります。上書きしません"},
  };
  for (const bool unnamed : {true, false}) {
    for (const auto& c : cases) {
      for (const auto mode : {AtomicFile::Mode::kReplace, AtomicFile::Mode::kCreateOnly}) {
        WriteBytes(path, "old");
        const std::string report = InChildWithFileSizeLimit(c.limit, [&] {
          AllowUnnamedTemporaries(unnamed);
          g_failingSync = c.failing;
          ReplaceSyncStep(FailingSync);
          return ErrorOf([&] {
            AtomicFile file(c.target, mode);
            file.Write(std::string(100, 'n'));
            file.Commit();
          });
        });
        const bool replace = mode == AtomicFile::Mode::kReplace;
        EXPECT_EQ(report, replace || c.createOnly.empty() ? c.replace : c.createOnly) << unnamed << replace;
        ::unlink(fresh.c_str());
        EXPECT_EQ(dir.List(), Names{"w.txt"});
      }
    }
  }
  EXPECT_EQ(ReadBytes(path), "old");
}

TEST(WriteFileAtomic, WritableFileInADirectoryThatRefusesNewFilesIsRewrittenInPlace) {
  TempDir dir;
  const std::string cache = dir / "cache", backups = dir / "cache/vevez", path = dir / "w.txt";
  ASSERT_EQ(::mkdir(cache.c_str(), 0755), 0);
  test::GiveToUnprivileged(cache);
  const std::string old = std::string(1000, 'o') + "\r\n";
  WriteBytes(path, old);
  test::GiveToUnprivileged(path);
  ASSERT_EQ(::chmod(dir.path().c_str(), 0555), 0);
  // As the user, with backups going to `cacheHome`/vevez and files limited
  // to `limit` bytes.
  auto saveAsUser = [&](const std::string& cacheHome, const std::string& content, rlim_t limit) {
    return test::AsUnprivileged([&] {
      ::setenv("XDG_CACHE_HOME", cacheHome.c_str(), 1);
      struct rlimit rl {
        limit, limit
      };
      ::setrlimit(RLIMIT_FSIZE, &rl);
      return ErrorOf([&] { WriteFileAtomic(path, content); });
    });
  };

  EXPECT_EQ(saveAsUser(cache, "new\r\n", RLIM_INFINITY), "(no error)");
  EXPECT_EQ(ReadBytes(path), "new\r\n");
  EXPECT_EQ(TempDir::ListDir(backups), Names{});  // the backup is gone once the file is safe

  // A rewrite that fails puts the old content back and says why.
  WriteBytes(path, old);
  EXPECT_EQ(saveAsUser(cache, std::string(100000, 'n'), 4096),
            kWriteMessage + ".\nファイル " + path + "\nファイルが大きすぎます");
  EXPECT_EQ(ReadBytes(path), old);
  EXPECT_EQ(TempDir::ListDir(backups), Names{});

  // No place for a backup: the file is not touched at all.
  EXPECT_EQ(saveAsUser(dir.path(), "new\r\n", RLIM_INFINITY),
            CreateMessage(path) + ".\nバックアップ用のフォルダ " + dir.path() +
                "/vevez に書き込めません.\n許可がありません");
  EXPECT_EQ(ReadBytes(path), old);
  EXPECT_EQ(dir.List(), (Names{"cache", "w.txt"}));
  ::chmod(dir.path().c_str(), 0755);
}

}  // namespace
}  // namespace vz
