#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <string>
#include <vector>

#include "support/Bytes.h"
#include "support/Files.h"
#include "wordlist/Error.h"
#include "wordlist/FileIO.h"

namespace vz {
namespace {

using test::CreateMessage;
using test::ErrorOf;
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
  EXPECT_EQ(ErrorOf([&] { WriteFileAtomic(path, "x"); }), CreateMessage(path));
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
  EXPECT_EQ(report, kWriteMessage);
  EXPECT_EQ(ReadBytes(path), old);
  EXPECT_EQ(StampOf(path), before);
  EXPECT_EQ(ModeOf(path) & 07777, 0640u);
  EXPECT_EQ(dir.List(), Names{"w.txt"});
}

TEST(WriteFileAtomic, FailedWriteOfANewFileLeavesNothing) {
  TempDir dir;
  const std::string report = InChildWithFileSizeLimit(
      10, [&] { return ErrorOf([&] { WriteFileAtomic(dir / "w.txt", std::string(11, 'n')); }); });
  EXPECT_EQ(report, kWriteMessage);
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

// What the sync step saw: the synced file, and what the target held then.
struct SyncSeen {
  ino_t synced;
  std::string targetThen;
};
std::vector<SyncSeen> g_syncs;
std::string g_target;

struct SyncStepSwap {
  SyncFn previous;
  explicit SyncStepSwap(SyncFn fn) : previous(ReplaceSyncStep(fn)) {}
  ~SyncStepSwap() { ReplaceSyncStep(previous); }
};

TEST(WriteFileAtomic, NewContentIsSyncedBeforeItReplacesTheOldAndASyncFailureKeepsTheOld) {
  TempDir dir;
  g_target = dir / "w.txt";
  g_syncs.clear();
  WriteBytes(g_target, "old");
  {
    SyncStepSwap swap(+[](int fd) {
      struct stat st {};
      ::fstat(fd, &st);
      g_syncs.push_back({st.st_ino, ReadBytes(g_target)});
      return ::fsync(fd);
    });
    WriteFileAtomic(g_target, "new");
  }
  ASSERT_EQ(g_syncs.size(), 1u);
  EXPECT_EQ(g_syncs[0].synced, StampOf(g_target).ino);  // the file that is now the target
  EXPECT_EQ(g_syncs[0].targetThen, "old");              // synced while the old one still stood

  SyncStepSwap failing(+[](int) {
    errno = EIO;
    return -1;
  });
  EXPECT_EQ(ErrorOf([&] { WriteFileAtomic(g_target, "newer"); }), kWriteMessage);
  EXPECT_EQ(ReadBytes(g_target), "new");
  EXPECT_EQ(dir.List(), Names{"w.txt"});
}

TEST(WriteFileAtomic, TemporaryFileHasNoNameWhileWrittenAndStaleOnesOfOursAreRemoved) {
  TempDir dir;
  const std::string path = dir / "w.txt";
  WriteBytes(path, "old");
  // Left by a save that was killed; one still being written by another
  // copy of the program (it holds the lock); files of the user's own.
  const Names theirs{".notes.vevez-", ".w.txt.vevez-Live01", "w.txt.vevez-abcdef"};
  for (const auto& n : theirs) WriteBytes(dir / n, "x");
  WriteBytes(dir / ".w.txt.vevez-Stale1", "x");
  WriteBytes(dir / ".other.txt.vevez-Stale2", "x");
  const int live = ::open((dir / ".w.txt.vevez-Live01").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(::flock(live, LOCK_EX), 0);
  Names whileWriting;
  WriteFileAtomic(path, [&](const WriteFn& write) {
    whileWriting = dir.List();
    return write("new");
  });
  ::close(live);
  EXPECT_EQ(whileWriting, (Names{".notes.vevez-", ".other.txt.vevez-Stale2", ".w.txt.vevez-Live01",
                                 ".w.txt.vevez-Stale1", "w.txt", "w.txt.vevez-abcdef"}));
  EXPECT_EQ(dir.List(), (Names{".notes.vevez-", ".w.txt.vevez-Live01", "w.txt", "w.txt.vevez-abcdef"}));
  EXPECT_EQ(ReadBytes(path), "new");
}

// ---- permissions, as an unprivileged user ----------------------------------------

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

  // A rewrite that fails names the backup, which holds the old content.
  WriteBytes(path, old);
  const std::string report = saveAsUser(cache, std::string(100000, 'n'), 4096);
  const Names kept = TempDir::ListDir(backups);
  ASSERT_EQ(kept.size(), 1u) << report;
  EXPECT_EQ(report, WriteError(backups + "/" + kept[0]).what());
  EXPECT_EQ(ReadBytes(backups + "/" + kept[0]), old);

  // No place for a backup: the file is not touched at all.
  WriteBytes(path, old);
  EXPECT_EQ(saveAsUser(dir.path(), "new\r\n", RLIM_INFINITY), CreateMessage(path));
  EXPECT_EQ(ReadBytes(path), old);
  EXPECT_EQ(dir.List(), (Names{"cache", "w.txt"}));
  ::chmod(dir.path().c_str(), 0755);
}

}  // namespace
}  // namespace vz
