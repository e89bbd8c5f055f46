#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <chrono>
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

using test::CreateMessage;
using test::ErrorOf;
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
  EXPECT_EQ(report, kWriteMessage + "\nファイル " + path + ": ファイルが大きすぎます");
  EXPECT_EQ(ReadBytes(path), old);
  EXPECT_EQ(StampOf(path), before);
  EXPECT_EQ(ModeOf(path) & 07777, 0640u);
  EXPECT_EQ(dir.List(), Names{"w.txt"});
}

TEST(WriteFileAtomic, FailedWriteOfANewFileLeavesNothing) {
  TempDir dir;
  const std::string report = InChildWithFileSizeLimit(
      10, [&] { return ErrorOf([&] { WriteFileAtomic(dir / "w.txt", std::string(11, 'n')); }); });
  EXPECT_EQ(test::FirstLine(report), kWriteMessage);
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

int RecordingSync(int fd, SyncOf what) {
  g_syncs.push_back({what, ReadBytes(g_target), TempDir::ListDir(g_backups).size()});
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
              {SyncOf::kJournal, "old", 2},     {SyncOf::kBackupDirectory, "old", 2},
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
                            : (linked && failAt < 4 ? CreateMessage(g_target) + "\n"
                                                    : kWriteMessage + "\nファイル " + g_target + ": ") +
                                  "入力/出力エラーです");
      // Old, or put back at once; when the last sync fails the user is told
      // that the new content may not last.
      EXPECT_EQ(ReadBytes(g_target), failAt + 1 >= expected->size() ? "new" : "old") << failAt;
      EXPECT_EQ(dir.List().size() + TempDir::ListDir(g_backups).size(), linked ? 2u : 1u) << failAt;
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
  const std::vector<InterruptedRewrite> found = RecoverInterruptedRewrites();
  EXPECT_EQ(found.size() == 1 && found[0].restored ? found[0].file : "(not restored)", g_target);
  EXPECT_EQ(ReadBytes(dir / "link"), "new");
  EXPECT_EQ(TempDir::ListDir(g_backups), Names{});
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
    return ErrorOf([&] { WriteFileAtomic(longest, "new"); });
  });
  const std::vector<InterruptedRewrite> found = RecoverInterruptedRewrites();
  ::unsetenv("XDG_CACHE_HOME");
  ASSERT_EQ(found.size(), 1u);
  EXPECT_TRUE(found[0].restored);
  EXPECT_EQ(found[0].file.size() + found[0].backup.size(), 2 * JournalEntry::kMaxPath - 1);
  EXPECT_EQ(ReadBytes(dir / "link"), "old");
}

TEST(RecoverInterruptedRewrites, KeepsWhatItCannotPutBackAndRemovesOnlyForgottenBackups) {
  TempDir dir;
  ::setenv("XDG_CACHE_HOME", dir.path().c_str(), 1);
  const std::string b = dir / "vevez/", gone = dir / "gone.txt";
  ASSERT_TRUE(MakeDirs(b));
  // An entry whose file is gone; kept backups over a week old and younger;
  // backups of a rewrite still running (its entry locked) or being copied
  // (locked), and one no entry names; an entry cut short; a file not ours.
  WriteBytes(b + "gone-Ab3dE6.journal",
             "vevez rewrite 1\0"s + gone + '\0' + b + "gone-Ab3dE6.backup\0"s + "3\0"s);
  const Names files{"gone-Ab3dE6.backup",  "old-aaaaaa.kept",    "young-bbbbbb.kept",  "live-cccccc.backup",
                    "live-cccccc.journal", "busy-ffffff.backup", "done-eeeeee.backup", "cut-dddddd.journal",
                    "cut-dddddd.backup",   "notes.txt"};
  for (const auto& n : files) {
    WriteBytes(b + n, n == "cut-dddddd.journal" ? "vevez rew" : "old");
    ASSERT_TRUE(test::Backdate(b + n, n == "young-bbbbbb.kept" ? 6 * 24 * 3600 : 8 * 24 * 3600));
  }
  const int live = ::open((b + "live-cccccc.journal").c_str(), O_RDONLY),
            busy = ::open((b + "busy-ffffff.backup").c_str(), O_RDONLY);
  ASSERT_EQ(::flock(live, LOCK_EX) | ::flock(busy, LOCK_EX), 0);
  const std::string found = InChild([] {
    std::string r;
    for (const auto& f : RecoverInterruptedRewrites()) r += f.file + (f.restored ? "+" : "-") + f.backup;
    return r;
  });
  ::close(live);
  ::close(busy);
  EXPECT_EQ(found, gone + "-" + b + "gone-Ab3dE6.kept");
  EXPECT_EQ(ReadBytes(b + "gone-Ab3dE6.kept"), "old");
  EXPECT_EQ(TempDir::ListDir(b), (Names{"busy-ffffff.backup", "gone-Ab3dE6.kept", "live-cccccc.backup",
                                        "live-cccccc.journal", "notes.txt", "young-bbbbbb.kept"}));
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
  for (const bool unnamed : {true, false}) {
    const bool before = AllowUnnamedTemporaries(unnamed);
    for (const auto& n : users) WriteBytes(dir / n, "old");
    for (const auto& n : marked) {
      WriteBytes(dir / n, "x");
      ASSERT_EQ(::setxattr((dir / n).c_str(), kTempMarkAttr, "1", 1, 0), 0);
    }
    const int live = ::open((dir / ".w.txt.vevez-Live01").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(live, LOCK_EX), 0);
    Names whileWriting;
    WriteFileAtomic(path, [&](const WriteFn& write) {
      whileWriting = dir.List();
      return write("new");
    });
    ::close(live);
    // Only a named temporary has a name while it is written; it is gone too.
    EXPECT_EQ(whileWriting.size(), unnamed ? 10u : 11u);
    EXPECT_EQ(dir.List(),
              (Names{".notes.vevez-", ".notes.vevez-backup", ".w.txt.vevez-Live01", ".w.txt.vevez-Sta_e1",
                     ".w.txt.vevez-Stale12", ".x.vevez-draft1", "w.txt", "w.txt.vevez-abcdef"}));
    EXPECT_EQ(ReadBytes(path), "new");
    const mode_t mask = ::umask(0);  // a new file gets what the umask allows
    WriteFileAtomic(dir / "new.txt", "");
    ::umask(mask);
    EXPECT_EQ(ModeOf(dir / "new.txt") & 0777, 0666u) << unnamed;
    ::unlink((dir / "new.txt").c_str());
    AllowUnnamedTemporaries(before);
  }
}

TEST(WriteFileAtomic, KeepsAttributesAclAndGroup) {
  TempDir dir;
  const std::string path = dir / "w.txt";
  WriteBytes(path, "old");
  // An attribute of the user's, and an ACL giving user 1 rw- (the mask is
  // rw-) while the owning group has r--; the group is not root's.
  const std::string acl =
      "\x02\0\0\0\x01\0\x06\0\xff\xff\xff\xff\x02\0\x06\0\x01\0\0\0\x04\0\x04\0\xff\xff\xff\xff"
      "\x10\0\x06\0\xff\xff\xff\xff\x20\0\0\0\xff\xff\xff\xff"s;
  const group* users = ::getgrnam("users");
  ASSERT_NE(users, nullptr);
  ASSERT_EQ(::chown(path.c_str(), 0, users->gr_gid) | ::chmod(path.c_str(), 0640), 0);
  ASSERT_EQ(::setxattr(path.c_str(), "user.tag", "blue", 4, 0), 0);
  ASSERT_EQ(::setxattr(path.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0), 0);
  WriteFileAtomic(path, "newer");
  auto attr = [&](const char* name) {
    std::string v(256, '\0');
    const ssize_t n = ::getxattr(path.c_str(), name, v.data(), v.size());
    return n < 0 ? "(none)" : v.substr(0, static_cast<size_t>(n));
  };
  EXPECT_EQ(attr("user.tag") + attr(kTempMarkAttr), "blue(none)");
  EXPECT_EQ(attr("system.posix_acl_access"), acl);
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0660u);
  EXPECT_EQ(st.st_gid, users->gr_gid);

  // A user outside the file's group cannot keep it: the group then gets no
  // more than others had, nor does the ACL (its group entry would be ours).
  test::GiveToUnprivileged(dir.path());
  for (const mode_t expected : {0604u, 0644u}) {  // with the ACL, then without
    ASSERT_EQ(
        ::chown(path.c_str(), test::Unprivileged()->pw_uid, users->gr_gid) | ::chmod(path.c_str(), 0664), 0);
    EXPECT_EQ(test::AsUnprivileged([&] { return ErrorOf([&] { WriteFileAtomic(path, "newest"); }); }),
              "(no error)");
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_NE(st.st_gid, users->gr_gid);
    EXPECT_EQ(st.st_mode & 07777, expected);
  }
  EXPECT_EQ(attr("user.tag") + attr("system.posix_acl_access"), "blue(none)");
}

// ---- permissions and messages ------------------------------------------------------

TEST(WriteFileAtomic, RefusalsNameTheFileAndTheReason) {
  TempDir dir;
  const std::string path = dir / "w.txt", longName = dir / std::string(256, 'n'), none = dir / "none/w.txt";
  test::GiveToUnprivileged(dir.path());
  WriteBytes(path, "old");
  const std::tuple<mode_t, bool, std::string, std::string> cases[] = {
      // No write bit for anyone: not written, even by root.
      {0444, false, path, CreateMessage(path) + "\n読み取り専用のファイルです"},
      {0444, true, path, CreateMessage(path) + "\n読み取り専用のファイルです"},
      {0644, true, path, CreateMessage(path) + "\n許可がありません"},  // root's file
      {0644, false, none, CreateMessage(none) + "\nそのようなファイルやディレクトリはありません"},
      {0644, false, longName, CreateMessage(longName) + "\nファイル名が長すぎます"},
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
    return kWriteMessage + "\nファイル " + file + ": " + reason;
  };
  const struct {
    std::string target;
    rlim_t limit;
    std::optional<SyncOf> failing;
    std::string replace, createOnly;
  } cases[] = {
      {none, RLIM_INFINITY, {}, CreateMessage(none) + "\nそのようなファイルやディレクトリはありません", ""},
      {longName, RLIM_INFINITY, {}, CreateMessage(longName) + "\nファイル名が長すぎます", ""},
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
            kWriteMessage + "\nファイル " + path + ": ファイルが大きすぎます");
  EXPECT_EQ(ReadBytes(path), old);
  EXPECT_EQ(TempDir::ListDir(backups), Names{});

  // No place for a backup: the file is not touched at all.
  EXPECT_EQ(saveAsUser(dir.path(), "new\r\n", RLIM_INFINITY),
            CreateMessage(path) + "\nバックアップ用のフォルダ " + dir.path() +
                "/vevez に書き込めません\n許可がありません");
  EXPECT_EQ(ReadBytes(path), old);
  EXPECT_EQ(dir.List(), (Names{"cache", "w.txt"}));
  ::chmod(dir.path().c_str(), 0755);
}

}  // namespace
}  // namespace vz
