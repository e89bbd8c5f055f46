// Portable and installed modes: where settings, the default word file and
// the cues live, and the first start of an installed program.
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>

#include "core/files/Locations.h"
#include "support/Files.h"

namespace vz {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

class LocationsTest : public ::testing::Test {
 protected:
  // A prefix with bin/ and, when `installed`, share/vevez/ holding the sample.
  std::string MakePrefix(bool installed) {
    ::mkdir((tmp / "bin").c_str(), 0755);
    if (installed) {
      ::mkdir((tmp / "share").c_str(), 0755);
      ::mkdir((tmp / "share/vevez").c_str(), 0755);
      WriteBytes(tmp / "share/vevez/word.txt", "0sample,s\r\n");
    }
    return tmp / "bin/";
  }
  Locations Find(const std::string& exeDir) {
    return FindLocations(exeDir, [this](const char* name) -> const char* {
      auto it = env.find(name);
      return it == env.end() ? nullptr : it->second.c_str();
    });
  }

  TempDir tmp;
  std::map<std::string, std::string> env{{"HOME", tmp / "home"}};
};

TEST_F(LocationsTest, PortableKeepsEverythingBesideTheExecutable) {
  const std::string exe = MakePrefix(false);
  const Locations w = Find(exe);
  EXPECT_FALSE(w.installed);
  EXPECT_EQ(w.configDir, exe);
  EXPECT_EQ(w.dataDir, exe);
  EXPECT_EQ(w.cueDirs, std::vector<std::string>{exe});
  // Nothing is copied in, whatever the current directory holds.
  WriteBytes(tmp / "word.txt", "0here,h\r\n");
  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(tmp.path());
  PrepareUserFolders(w, exe + "kobeli.ini");
  std::filesystem::current_path(cwd);
  EXPECT_EQ(tmp.List(), (std::vector<std::string>{"bin", "word.txt"}));
  EXPECT_TRUE(test::TempDir::ListDir(exe).empty());
}

TEST_F(LocationsTest, InstalledUsesTheXdgFoldersAndCopiesTheSampleOnce) {
  const std::string exe = MakePrefix(true);
  Locations w = Find(exe);
  EXPECT_TRUE(w.installed);
  EXPECT_EQ(w.configDir, tmp / "home/.config/vevez/");
  EXPECT_EQ(w.dataDir, tmp / "home/.local/share/vevez/");
  EXPECT_EQ(w.cueDirs, (std::vector<std::string>{w.dataDir, tmp / "share/vevez/"}));

  // Only absolute XDG paths count.
  env["XDG_CONFIG_HOME"] = "relative/cfg";
  env["XDG_DATA_HOME"] = tmp / "data/";
  w = Find(exe);
  EXPECT_EQ(w.configDir, tmp / "home/.config/vevez/");
  EXPECT_EQ(w.dataDir, tmp / "data/vevez/");

  const std::string settings = w.configDir + "kobeli.ini";
  PrepareUserFolders(w, settings);
  EXPECT_EQ(ReadBytes(w.dataDir + "word.txt"), "0sample,s\r\n");
  EXPECT_EQ(test::ModeOf(tmp / "home/.config") & 0777, 0700u);
  EXPECT_TRUE(S_ISDIR(test::ModeOf(w.configDir)));

  // A user's progress is never replaced by the sample, and once the
  // program has run (settings written), a word file the user deleted is not
  // brought back.
  WriteBytes(w.dataDir + "word.txt", "1sample,s\r\n");
  PrepareUserFolders(w, settings);
  EXPECT_EQ(ReadBytes(w.dataDir + "word.txt"), "1sample,s\r\n");
  WriteBytes(settings, "[SOFT]\r\n");
  ::unlink((w.dataDir + "word.txt").c_str());
  // Nor when the settings file cannot be told missing (ENOTDIR here).
  for (const std::string& at : {settings, settings + "/below-a-file"}) {
    PrepareUserFolders(w, at);
    EXPECT_EQ(test::ModeOf(w.dataDir + "word.txt"), 0u) << at;
  }
  EXPECT_EQ(test::TempDir::ListDir(tmp / "share/vevez"), std::vector<std::string>{"word.txt"});
  // A HOME that is not absolute gives way to the home the system records.
  env = {{"HOME", "relative"}};
  EXPECT_EQ(Find(exe).configDir,
            (std::filesystem::path(::getpwuid(::geteuid())->pw_dir) / ".config/vevez/").string());
}

// A relative file name is made absolute against the working directory the
// kernel reports. A directory deeper than PATH_MAX, or one removed, has no
// such name: an error, never a name made from an empty one ("/word.txt").
TEST_F(LocationsTest, RelativePathsResolveAgainstTheRealWorkingDirectory) {
  const std::string deep(200, 'd');
  const std::string report = test::InChild([&] {
    auto resolved = [](const char* path) {
      std::string r;
      return test::ErrorOf([&] { r = AbsolutePath(path); }) + " " + r;
    };
    std::string out;
    if (::chdir(tmp.path().c_str()) != 0) return std::string("(chdir)");
    out += resolved("sub/w.txt") + "|" + resolved("/abs/w.txt") + "|";
    for (int i = 0; i < 25; ++i) {
      if (::mkdir(deep.c_str(), 0700) != 0 || ::chdir(deep.c_str()) != 0) return std::string("(deep)");
    }
    out += resolved("word.txt") + "|";
    for (int i = 0; i < 25; ++i) (void)!(::chdir("..") == 0 && ::rmdir(deep.c_str()) == 0);
    if (::mkdir("gone", 0700) != 0 || ::chdir("gone") != 0 || ::rmdir("../gone") != 0) return out + "(gone)";
    return out + resolved("word.txt");
  });
  const std::string failed = test::OpenMessage("word.txt") + " ";
  EXPECT_EQ(report, "(no error) " + tmp / "sub/w.txt|(no error) /abs/w.txt|" + failed + "|" + failed);
  EXPECT_EQ(tmp.List(), std::vector<std::string>{});
}

}  // namespace
}  // namespace vz
