#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <string>
#include <vector>

#include "support/Files.h"
#include "wordlist/Error.h"
#include "wordlist/FileIO.h"

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
  EXPECT_EQ(ReadRegularFile(path, &stamp), bytes);
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
  EXPECT_EQ(ReadBytes(path), big);
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
  ::chdir(before);
  std::free(before);
  ASSERT_TRUE(linked);
  EXPECT_EQ(report, "(no error)");
  EXPECT_EQ(ReadBytes(dir / "w.txt"), "new");
  EXPECT_EQ(ReadBytes(dir / "real.txt"), "via link");
  EXPECT_TRUE(S_ISLNK(ModeOf(dir / "link.txt")));
  EXPECT_EQ(dir.List(), (Names{"link.txt", "real.txt", "w.txt"}));
}

TEST(WriteFileAtomic, MissingDirectoryIsACreateError) {
  TempDir dir;
  const std::string path = dir / "nowhere/w.txt";
  EXPECT_EQ(test::FirstLine(ErrorOf([&] { WriteFileAtomic(path, "x"); })), CreateMessage(path));
  EXPECT_EQ(dir.List(), Names{});
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

// What the sync step saw: what it synced, what the target and the backup
// directory held then. The step fails at call number g_failAt.
struct SyncSeen {
  SyncOf what;
  std::string targetThen;
  Names backupsThen;
  bool operator==(const SyncSeen&) const = default;
};
std::vector<SyncSeen> g_syncs;
std::string g_target, g_backups;
std::size_t g_failAt = SIZE_MAX;

int RecordingSync(int fd, SyncOf what) {
  g_syncs.push_back({what, ReadBytes(g_target), TempDir::ListDir(g_backups)});
  if (g_syncs.size() - 1 == g_failAt) {
    errno = EIO;
    return -1;
  }
  return ::fsync(fd);
}

struct SyncStepSwap {
  SyncFn previous;
  explicit SyncStepSwap(SyncFn fn) : previous(ReplaceSyncStep(fn)) {}
  ~SyncStepSwap() { ReplaceSyncStep(previous); }
};

// Backups go to `dir`/vevez while it lives.
struct CacheHome {
  std::string before;
  explicit CacheHome(const std::string& dir) {
    if (const char* v = std::getenv("XDG_CACHE_HOME")) before = v;
    ::setenv("XDG_CACHE_HOME", dir.c_str(), 1);
  }
  ~CacheHome() {
    before.empty() ? ::unsetenv("XDG_CACHE_HOME") : ::setenv("XDG_CACHE_HOME", before.c_str(), 1);
  }
};

// Saves "new" over "old" with the sync step failing at call `failAt`;
// returns the error. A second name makes the save rewrite in place.
std::string SaveRecorded(const TempDir& dir, bool inPlace, std::size_t failAt) {
  g_target = dir / "w.txt";
  g_backups = dir / "cache/vevez";
  ::unlink((dir / "link").c_str());
  WriteBytes(g_target, "old");
  if (inPlace) ::link(g_target.c_str(), (dir / "link").c_str());
  g_syncs.clear();
  g_failAt = failAt;
  SyncStepSwap swap(RecordingSync);
  return ErrorOf([&] { WriteFileAtomic(g_target, "new"); });
}

TEST(WriteFileAtomic, EverySyncComesInOrderAndAFailureAtAnyOfThemKeepsTheOldContent) {
  TempDir dir;
  CacheHome cache(dir / "cache");
  const std::string io = "入力/出力エラーです";
  // Rename: the new file is synced while the old one still stands, then the
  // directory, once the rename is done.
  ASSERT_EQ(SaveRecorded(dir, false, SIZE_MAX), "(no error)");
  const std::vector<SyncSeen> renamed{{SyncOf::kNewFile, "old", {}}, {SyncOf::kDirectory, "new", {}}};
  EXPECT_EQ(g_syncs, renamed);
  EXPECT_EQ(SaveRecorded(dir, false, 0), kWriteMessage + "\nファイル " + g_target + ": " + io);
  EXPECT_EQ(ReadBytes(g_target), "old");
  EXPECT_EQ(SaveRecorded(dir, false, 1), kWriteMessage + "\nファイル " + g_target + ": " + io);
  EXPECT_EQ(ReadBytes(g_target), "new");  // in place, but the user is told it may not last
  EXPECT_EQ(dir.List(), Names{"w.txt"});

  // In place: the backup and its directory, the journal entry and the
  // directory again are synced before the file changes; backup and entry go
  // only after the file is synced.
  ASSERT_EQ(SaveRecorded(dir, true, SIZE_MAX), "(no error)");
  ASSERT_EQ(g_syncs.size(), 5u);
  const Names backup = g_syncs[0].backupsThen;
  ASSERT_EQ(backup.size(), 1u);
  const Names both{backup[0], backup[0].substr(0, backup[0].size() - 7) + ".journal"};
  const std::vector<SyncSeen> inPlace{{SyncOf::kBackup, "old", backup},
                                      {SyncOf::kBackupDirectory, "old", backup},
                                      {SyncOf::kJournal, "old", both},
                                      {SyncOf::kBackupDirectory, "old", both},
                                      {SyncOf::kFileInPlace, "new", both}};
  EXPECT_EQ(g_syncs, inPlace);
  EXPECT_EQ(ReadBytes(dir / "link"), "new");
  EXPECT_EQ(TempDir::ListDir(g_backups), Names{});
  for (std::size_t failAt = 0; failAt < inPlace.size(); ++failAt) {
    const std::string first =
        failAt < 4 ? CreateMessage(g_target) + "\n" : kWriteMessage + "\nファイル " + g_target + ": ";
    EXPECT_EQ(SaveRecorded(dir, true, failAt), first + io) << failAt;
    // The old content is back at once (the last sync is its put-back's).
    EXPECT_EQ(ReadBytes(dir / "link"), "old") << failAt;
    EXPECT_EQ(g_syncs.back().what, failAt < 4 ? inPlace[failAt].what : SyncOf::kFileInPlace) << failAt;
    EXPECT_EQ(TempDir::ListDir(g_backups), Names{}) << failAt;
  }

  // Killed before the rewrite is synced: the next start puts the old content
  // back from the backup and says so once.
  const std::string killed = InChild([&] {
    ReplaceSyncStep(+[](int, SyncOf what) { return what == SyncOf::kFileInPlace ? (::_exit(0), 0) : 0; });
    WriteFileAtomic(g_target, "newer, longer");
    return std::string("(not killed)");
  });
  ASSERT_EQ(killed, "");
  EXPECT_EQ(ReadBytes(g_target), "newer, longer");
  EXPECT_EQ(TempDir::ListDir(g_backups).size(), 2u);
  std::vector<InterruptedRewrite> found = RecoverInterruptedRewrites();
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].file, g_target);
  EXPECT_TRUE(found[0].restored);
  EXPECT_EQ(ReadBytes(dir / "link"), "old");
  EXPECT_EQ(TempDir::ListDir(g_backups), Names{});
  EXPECT_TRUE(RecoverInterruptedRewrites().empty());  // told once
}

TEST(RecoverInterruptedRewrites, KeepsWhatItCannotPutBackAndRemovesOnlyForgottenBackups) {
  TempDir dir;
  CacheHome cache(dir.path());
  const std::string backups = dir / "vevez";
  ASSERT_TRUE(MakeDirs(backups));
  // A journal entry whose file is gone: the backup is kept and named.
  const std::string gone = dir / "gone.txt", backup = backups + "/gone.txt-Ab3dE6.backup";
  WriteBytes(backup, "old");
  WriteBytes(backups + "/gone.txt-Ab3dE6.journal",
             "vevez rewrite 1\0"s + gone + '\0' + backup + '\0' + "3\0"s);
  // Kept backups over a week old and younger; a backup of a rewrite that
  // still runs (its entry is locked), one still being copied (locked), one
  // whose rewrite never began or ended; an entry cut short; a file not ours.
  const Names files{"old.txt-aaaaaa.kept",     "young.txt-bbbbbb.kept",  "live.txt-cccccc.backup",
                    "live.txt-cccccc.journal", "busy.txt-ffffff.backup", "done.txt-eeeeee.backup",
                    "cut.txt-dddddd.journal",  "cut.txt-dddddd.backup",  "notes.txt"};
  for (const auto& n : files)
    WriteBytes(backups + "/" + n, n == "cut.txt-dddddd.journal" ? "vevez rew" : "x");
  for (const auto& n : files) ASSERT_TRUE(test::Backdate(backups + "/" + n, 8 * 24 * 3600));
  ASSERT_TRUE(test::Backdate(backups + "/young.txt-bbbbbb.kept", -2 * 24 * 3600));
  std::vector<int> locks;
  for (const char* n : {"live.txt-cccccc.journal", "busy.txt-ffffff.backup"}) {
    locks.push_back(::open((backups + "/" + n).c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_EQ(::flock(locks.back(), LOCK_EX), 0);
  }
  const std::string found = InChild([] {
    std::string r;
    for (const auto& f : RecoverInterruptedRewrites())
      r += f.file + " " + f.backup + " " + (f.restored ? "y" : "n");
    return r;
  });
  for (const int fd : locks) ::close(fd);
  const std::string kept = backups + "/gone.txt-Ab3dE6.kept";
  EXPECT_EQ(found, gone + " " + kept + " n");
  EXPECT_EQ(ReadBytes(kept), "old");
  EXPECT_EQ(InterruptedRewriteMessage(gone, kept, false),
            "ファイル " + gone +
                " の保存は途中で止まっていました。\n元に戻せませんでした。元の内容はファイル " + kept +
                " に残してあります");
  EXPECT_EQ(TempDir::ListDir(backups),
            (Names{"busy.txt-ffffff.backup", "gone.txt-Ab3dE6.kept", "live.txt-cccccc.backup",
                   "live.txt-cccccc.journal", "notes.txt", "young.txt-bbbbbb.kept"}));
}

TEST(WriteFileAtomic, StaleTemporariesOfOursAreRemovedAndNothingElse) {
  TempDir dir;
  const std::string path = dir / "w.txt";
  auto marked = [&](const std::string& name) {
    WriteBytes(dir / name, "x");
    return ::setxattr((dir / name).c_str(), kTempMarkAttr, "1", 1, 0) == 0;
  };
  for (const bool unnamed : {true, false}) {
    const bool before = AllowUnnamedTemporaries(unnamed);
    WriteBytes(path, "old");
    // Left by saves that were killed; one still being written by another
    // copy of the program (it holds the lock); and files of the user's own,
    // named alike but without our mark or with another suffix.
    ASSERT_TRUE(marked(".w.txt.vevez-Stale1") && marked(".other.txt.vevez-Stale2") &&
                marked(".w.txt.vevez-Live01") && marked(".w.txt.vevez-Stale12") &&
                marked(".w.txt.vevez-Sta_e1"));
    const Names theirs{".notes.vevez-",
                       ".notes.vevez-backup",
                       ".w.txt.vevez-Live01",
                       ".w.txt.vevez-Sta_e1",
                       ".w.txt.vevez-Stale12",
                       ".x.vevez-draft1",
                       "w.txt",
                       "w.txt.vevez-abcdef"};
    for (const auto& n : {".notes.vevez-", ".notes.vevez-backup", ".x.vevez-draft1", "w.txt.vevez-abcdef"}) {
      WriteBytes(dir / n, "x");
    }
    const int live = ::open((dir / ".w.txt.vevez-Live01").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(live, LOCK_EX), 0);
    Names whileWriting;
    WriteFileAtomic(path, [&](const WriteFn& write) {
      whileWriting = dir.List();
      return write("new");
    });
    ::close(live);
    AllowUnnamedTemporaries(before);
    // Only a named temporary has a name while it is written; it is gone too.
    EXPECT_EQ(whileWriting.size(), unnamed ? 10u : 11u);
    EXPECT_EQ(dir.List(), theirs) << unnamed;
    EXPECT_EQ(ReadBytes(path), "new");
  }
}

TEST(WriteFileAtomic, KeepsLinksAttributesAclAndGroup) {
  TempDir dir;
  const std::string path = dir / "w.txt";
  WriteBytes(path, "old");
  // Every name of the file sees the new content.
  ASSERT_EQ(::link(path.c_str(), (dir / "second").c_str()), 0);
  {
    CacheHome cache(dir / "cache");
    WriteFileAtomic(path, "new");
  }
  EXPECT_EQ(ReadBytes(dir / "second"), "new");
  ASSERT_EQ(::unlink((dir / "second").c_str()), 0);

  // Attributes of the user's and an ACL giving daemon rw- (the mask) while
  // the owning group has r--.
  auto le16 = [](unsigned v) { return std::string{char(v & 0xff), char(v >> 8)}; };
  auto le32 = [&](unsigned v) { return le16(v & 0xffff) + le16(v >> 16); };
  auto entry = [&](unsigned tag, unsigned perm, unsigned id) { return le16(tag) + le16(perm) + le32(id); };
  const std::string acl = le32(2) + entry(1, 6, ~0u) + entry(2, 6, 1) + entry(4, 4, ~0u) +
                          entry(0x10, 6, ~0u) + entry(0x20, 0, ~0u);
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  ASSERT_EQ(::setxattr(path.c_str(), "user.tag", "blue", 4, 0), 0);
  ASSERT_EQ(::setxattr(path.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0), 0);
  const mode_t withAcl = ModeOf(path) & 07777;
  ASSERT_EQ(withAcl, 0660u);
  const group* users = ::getgrnam("users");
  ASSERT_NE(users, nullptr);
  ASSERT_EQ(::chown(path.c_str(), 0, users->gr_gid), 0);
  WriteFileAtomic(path, "newer");
  auto attr = [&](const char* name) {
    std::string v(256, '\0');
    const ssize_t n = ::getxattr(path.c_str(), name, v.data(), v.size());
    return n < 0 ? "(none)" : v.substr(0, static_cast<size_t>(n));
  };
  EXPECT_EQ(attr("user.tag"), "blue");
  EXPECT_EQ(attr("system.posix_acl_access"), acl);
  EXPECT_EQ(attr(kTempMarkAttr), "(none)");
  EXPECT_EQ(ModeOf(path) & 07777, withAcl);
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_gid, users->gr_gid);

  // A user outside the file's group cannot keep it: the group then gets no
  // more than others had.
  ASSERT_EQ(::removexattr(path.c_str(), "system.posix_acl_access"), 0);
  test::GiveToUnprivileged(dir.path());
  test::GiveToUnprivileged(path);
  ASSERT_EQ(::chown(path.c_str(), static_cast<uid_t>(-1), users->gr_gid), 0);
  ASSERT_EQ(::chmod(path.c_str(), 0664), 0);
  EXPECT_EQ(test::AsUnprivileged([&] { return ErrorOf([&] { WriteFileAtomic(path, "newest"); }); }),
            "(no error)");
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_NE(st.st_gid, users->gr_gid);
  EXPECT_EQ(st.st_mode & 07777, 0644u);
  EXPECT_EQ(attr("user.tag"), "blue");
}

// ---- permissions and messages ------------------------------------------------------

TEST(WriteFileAtomic, RefusalsNameTheFileAndTheReason) {
  TempDir dir;
  const std::string path = dir / "w.txt", longName = dir / std::string(256, 'n');
  test::GiveToUnprivileged(dir.path());
  WriteBytes(path, "old");
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  const struct {
    std::string path;
    bool asUser;
    std::string message;
  } cases[] = {
      // No write bit for anyone: not written even by root.
      {path, false, CreateMessage(path) + "\n読み取り専用のファイルです"},
      {path, true, CreateMessage(path) + "\n読み取り専用のファイルです"},
      {dir / "none/w.txt", false,
       CreateMessage(dir / "none/w.txt") + "\nそのようなファイルやディレクトリはありません"},
      {longName, false, CreateMessage(longName) + "\nファイル名が長すぎます"},
      {"/proc/w.txt", false, CreateMessage("/proc/w.txt") + "\nそのようなファイルやディレクトリはありません"},
  };
  for (const auto& c : cases) {
    auto save = [&] { return ErrorOf([&] { WriteFileAtomic(c.path, "new"); }); };
    EXPECT_EQ(c.asUser ? test::AsUnprivileged(save) : save(), c.message);
  }
  EXPECT_EQ(ReadBytes(path), "old");
  // Writable by its owner only, not by the user.
  ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
  ASSERT_EQ(::chown(path.c_str(), 0, 0), 0);
  EXPECT_EQ(test::AsUnprivileged([&] { return ErrorOf([&] { WriteFileAtomic(path, "new"); }); }),
            CreateMessage(path) + "\n許可がありません");
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
  EXPECT_EQ(saveAsUser(dir.path(), "new\r\n", RLIM_INFINITY), CreateMessage(path) + "\n許可がありません");
  EXPECT_EQ(ReadBytes(path), old);
  EXPECT_EQ(dir.List(), (Names{"cache", "w.txt"}));
  ::chmod(dir.path().c_str(), 0755);
}

}  // namespace
}  // namespace vz
