#pragma once
// Where the program keeps its files. A program unpacked into a folder of its
// own (or run from the build tree) is portable: the settings file, the
// default word file and the sound cues all live beside the executable. A
// program installed under a prefix (with <prefix>/share/vevez/ beside its
// bin/) never writes inside the installation: settings go to the user's
// configuration folder, the default word file to the user's data folder, and
// the installed data folder only supplies the sample word file and the cues.
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace vz {

// Reads an environment variable; tests pass their own.
using GetEnv = std::function<const char*(const char*)>;
inline const char* SystemEnv(const char* name) { return std::getenv(name); }

// The user's folder named by the XDG variable `var` when it holds an absolute
// path (the only kind the XDG rules accept), else $HOME/`fallback` (the
// password entry's home when $HOME is not absolute); ends in "/".
std::string XdgDir(const GetEnv& getEnv, const char* var, const char* fallback);

// The folder that rewrites in place keep their backups in: "vevez" in the
// user's cache folder ($XDG_CACHE_HOME, by default ~/.cache).
std::string BackupDir();

struct Locations {
  bool installed = false;
  std::string exeDir;     // the executable's directory, ending in "/"
  std::string configDir;  // holds the settings file, ending in "/"
  std::string dataDir;    // the default word file's directory, ending in "/"
  std::string shareDir;   // the installed data folder, ending in "/"; empty when portable
  // Where sound cues are looked for once the current directory has none.
  std::vector<std::string> cueDirs;
};

// The default word file's name.
inline constexpr const char* kDefaultWordFile = "word.txt";

// The locations for an executable in `exeDir` (ending in "/"). The user's
// folders follow $XDG_CONFIG_HOME and $XDG_DATA_HOME (when set to an absolute
// path), else ~/.config and ~/.local/share, each with a "vevez" folder.
Locations FindLocations(const std::string& exeDir, const GetEnv& getEnv);
Locations FindLocations(const std::string& exeDir);

// `path` (file-system bytes) made absolute against the working directory as
// the kernel reports it; an absolute path is returned as it is. Raises
// OpenError(path) when the working directory has no name the kernel can
// give (removed, or deeper than PATH_MAX) or the result would be too long
// to open: never a path guessed from an empty directory name.
std::string AbsolutePath(const std::string& path);

// Readies an installed program's user folders: creates them when missing
// and, at the first start (no settings file and no default word file yet),
// copies the installed sample word file in, so that a new user sees a quiz at
// once. Does nothing for a portable program. Failures are left for the
// settings write and the word-list save to report.
void PrepareUserFolders(const Locations& where, const std::string& settingsPath);

}  // namespace vz
