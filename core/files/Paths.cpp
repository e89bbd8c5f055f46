#include "core/files/Paths.h"

namespace vz {

std::string DirPart(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

std::string NamePart(std::string_view path) { return std::string(path.substr(DirPart(path).size())); }

std::string ParentDir(std::string_view path) {
  std::string dir = DirPart(path);
  if (dir.empty()) return ".";
  if (dir.size() > 1) dir.pop_back();
  return dir;
}

}  // namespace vz
