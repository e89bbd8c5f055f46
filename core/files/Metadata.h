#pragma once
// What a file has besides its bytes, carried over to the file that replaces
// it: mode, owner and group, extended attributes and ACL.
#include <sys/stat.h>

#include <string>

namespace vz {

// What open(O_CREAT, 0666) would give a new file under the current umask.
mode_t NewFileMode();

// Gives the new file `fd` what the old file `target` (described by `old`)
// has besides its bytes: owner and group (always set, never left to what the
// directory gives a new file), mode, every extended attribute the user can
// see (the ACL, and for root `trusted.*` too); never our temporary mark.
// False when any of it could not be kept: the file must then be rewritten
// in place instead of replaced.
bool CopyMetadata(const std::string& target, const struct stat& old, int fd);

}  // namespace vz
