#include "core/files/Folders.h"

#include <sys/stat.h>

#include <cerrno>

namespace vz {

bool IsDirectory(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool MakeDirs(const std::string& dir) {
  for (std::size_t at = 1; at <= dir.size(); ++at) {
    if (at == dir.size() || dir[at] == '/') {
      const std::string part = dir.substr(0, at);
      if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
  }
  return IsDirectory(dir);
}

}  // namespace vz
