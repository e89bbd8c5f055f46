#include "core/files/Metadata.h"

#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "core/files/TempNames.h"

namespace vz {
namespace {

// Gives `fd` the old file's owner and group where they differ; false when
// the user may not.
bool KeepOwner(const struct stat& old, int fd) {
  struct stat now;
  if (::fstat(fd, &now) != 0) return false;
  if (now.st_uid == old.st_uid && now.st_gid == old.st_gid) return true;
  // The owner can be given only by root; the group by its members.
  const uid_t owner = now.st_uid == old.st_uid ? static_cast<uid_t>(-1) : old.st_uid;
  return ::fchown(fd, owner, old.st_gid) == 0;
}

// The names of the extended attributes of `target` (not followed if a link),
// each ending in NUL.
std::string AttributeNames(const std::string& target) {
  std::string names(4096, '\0');
  ssize_t listed = ::llistxattr(target.c_str(), names.data(), names.size());
  if (listed < 0 && errno == ERANGE) {
    names.resize(static_cast<std::size_t>(std::max<ssize_t>(::llistxattr(target.c_str(), nullptr, 0), 0)));
    listed = ::llistxattr(target.c_str(), names.data(), names.size());
  }
  names.resize(static_cast<std::size_t>(std::max<ssize_t>(listed, 0)));
  if (!names.empty() && names.back() != '\0') names.push_back('\0');
  return names;
}

}  // namespace

mode_t NewFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

bool CopyMetadata(const std::string& target, const struct stat& old, int fd) {
  if (!KeepOwner(old, fd) || ::fchmod(fd, old.st_mode & 07777) != 0) return false;
  const std::string names = AttributeNames(target);
  std::string value;
  for (std::size_t at = 0; at < names.size(); at = names.find('\0', at) + 1) {
    const std::string name = names.c_str() + at;
    if (name == kTempMarkAttr) continue;
    const ssize_t size = ::lgetxattr(target.c_str(), name.c_str(), nullptr, 0);
    value.resize(static_cast<std::size_t>(std::max<ssize_t>(size, 0)));
    if (size < 0 || ::lgetxattr(target.c_str(), name.c_str(), value.data(), value.size()) != size ||
        ::fsetxattr(fd, name.c_str(), value.data(), value.size(), 0) != 0) {
      return false;
    }
  }
  return true;
}

}  // namespace vz
