#pragma once
// What a file has besides its bytes, carried over to the file that replaces
// it: mode, owner and group, extended attributes and ACL.
#include <sys/stat.h>

#include <string>

namespace vz {

// What open(O_CREAT, 0666) would give a new file under the current umask.
mode_t NewFileMode();

// Gives the new file `fd` what the old file `target` (described by `old`)
// has besides its bytes: owner and group where the user may set them, mode,
// the extended attributes the user may set and the ACL; never our temporary
// mark. What cannot be kept never leaves the new file more open than the
// old one.
void CopyMetadata(const std::string& target, const struct stat& old, int fd);

}  // namespace vz
