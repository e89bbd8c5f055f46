#include "core/files/Metadata.h"

#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "core/files/TempNames.h"

namespace vz {
namespace {

// Keeps the old file's owner and group on `fd` where the user may; returns
// the mode the new file may have: where the group cannot be kept, its
// members get no more than others had.
mode_t KeepOwner(const struct stat& old, int fd, bool& groupKept) {
  mode_t mode = old.st_mode & 07777;
  groupKept = true;
  if (old.st_uid == ::geteuid() && old.st_gid == ::getegid()) return mode;
  // The owner can be kept only by root; the group by its members.
  if (::fchown(fd, old.st_uid, old.st_gid) != 0 && ::fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0) {
    // Our group instead: its members get no more than others had, and
    // the ACL's entry for the owning group would now grant them more.
    groupKept = false;
    mode = (mode & ~(S_IRWXG | S_ISGID)) | (mode & S_IRWXG & ((mode & S_IRWXO) << 3));
  }
  return mode;
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

void CopyMetadata(const std::string& target, const struct stat& old, int fd) {
  bool groupKept;
  const mode_t mode = KeepOwner(old, fd, groupKept);
  ::fchmod(fd, mode);
  const std::string names = AttributeNames(target);
  std::string value;
  for (std::size_t at = 0; at < names.size(); at = names.find('\0', at) + 1) {
    const std::string name = names.c_str() + at;
    const bool isAcl = name == "system.posix_acl_access";
    if (name == kTempMarkAttr || (!isAcl && name.rfind("user.", 0) != 0 && name.rfind("security.", 0) != 0)) {
      continue;
    }
    const ssize_t size = ::lgetxattr(target.c_str(), name.c_str(), nullptr, 0);
    value.resize(static_cast<std::size_t>(std::max<ssize_t>(size, 0)));
    const bool copied = (groupKept || !isAcl) && size >= 0 &&
                        ::lgetxattr(target.c_str(), name.c_str(), value.data(), value.size()) == size &&
                        ::fsetxattr(fd, name.c_str(), value.data(), value.size(), 0) == 0;
    // The old file's group bits are its ACL's mask; without the ACL they
    // would open the file to the owning group as far as the mask allowed
    // anyone named in it.
    if (isAcl && !copied) ::fchmod(fd, mode & ~S_IRWXG);
  }
}

}  // namespace vz
