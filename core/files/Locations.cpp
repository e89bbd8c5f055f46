#include "core/files/Locations.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>

#include "core/files/AtomicFile.h"
#include "core/files/Error.h"
#include "core/files/Folders.h"
#include "core/files/Paths.h"
#include "core/files/ReadFile.h"

namespace vz {
namespace {

bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 || errno != ENOENT;
}

std::string WithSlash(std::string dir) {
  if (dir.empty() || dir.back() != '/') dir += '/';
  return dir;
}

// The directory above `dir` (which ends in "/"), ending in "/".
std::string Parent(const std::string& dir) {
  std::string d = dir;
  while (d.size() > 1 && d.back() == '/') d.pop_back();
  const std::string up = DirPart(d);
  return up.empty() ? std::string("../") : up;
}

}  // namespace

std::string XdgDir(const GetEnv& getEnv, const char* var, const char* fallback) {
  if (const char* value = getEnv(var); value && value[0] == '/') {
    std::string dir = value;
    if (dir.back() != '/') dir += '/';
    return dir;
  }
  const char* home = getEnv("HOME");
  if (!home || home[0] != '/') {
    const passwd* pw = ::getpwuid(::geteuid());
    home = pw && pw->pw_dir && pw->pw_dir[0] == '/' ? pw->pw_dir : "/";
  }
  std::string dir = home;
  if (dir.back() != '/') dir += '/';
  return dir + fallback;
}

std::string BackupDir() { return XdgDir(SystemEnv, "XDG_CACHE_HOME", ".cache/") + "vevez"; }

Locations FindLocations(const std::string& exeDir, const GetEnv& getEnv) {
  Locations where;
  where.exeDir = WithSlash(exeDir);
  const std::string share = Parent(where.exeDir) + "share/vevez/";
  if (!IsDirectory(share)) {
    where.configDir = where.dataDir = where.exeDir;
    where.cueDirs = {where.exeDir};
    return where;
  }
  where.installed = true;
  where.shareDir = share;
  where.configDir = XdgDir(getEnv, "XDG_CONFIG_HOME", ".config/") + "vevez/";
  where.dataDir = XdgDir(getEnv, "XDG_DATA_HOME", ".local/share/") + "vevez/";
  // Cues a user puts beside their word files win over the installed ones.
  where.cueDirs = {where.dataDir, where.shareDir};
  return where;
}

Locations FindLocations(const std::string& exeDir) { return FindLocations(exeDir, SystemEnv); }

std::string AbsolutePath(const std::string& path) {
  if (!path.empty() && path.front() == '/') return path;
  std::unique_ptr<char, decltype(&std::free)> cwd(::getcwd(nullptr, 0), &std::free);
  // The kernel names an unreachable directory "(unreachable)/..." on old
  // systems: not a path either.
  if (!cwd || cwd.get()[0] != '/') throw OpenError(path);
  std::string absolute = cwd.get();
  if (absolute.back() != '/') absolute += '/';
  absolute += path;
  if (absolute.size() >= PATH_MAX) {
    errno = ENAMETOOLONG;
    throw OpenError(path);
  }
  return absolute;
}

void PrepareUserFolders(const Locations& where, const std::string& settingsPath) {
  if (!where.installed) return;
  MakeDirs(where.configDir);
  MakeDirs(where.dataDir);
  const std::string words = where.dataDir + kDefaultWordFile;
  if (Exists(settingsPath) || Exists(words)) return;
  try {
    WriteFileAtomic(words, ReadRegularFile(where.shareDir + kDefaultWordFile));
  } catch (const Error&) {
    // No sample to copy, or no room for it: the program starts without a
    // word file, as it does anywhere else.
  }
}

}  // namespace vz
