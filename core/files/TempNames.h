#pragma once
// The names of a save's temporary files, and the clean-up of those a crash
// left behind. A temporary file lives in its target's directory as
// ".<target's name>.vevez-<6 letters or digits>" and carries the mark
// kTempMarkAttr (an extended attribute) until it takes the target's place;
// its writer holds an exclusive lock on it meanwhile. Name, mark and lock
// tell a stale one (its writer died) from a live one and from the user's
// own files.
#include <sys/types.h>

#include <string>
#include <string_view>

namespace vz {

// The extended attribute that marks a named temporary file as ours.
inline constexpr char kTempMarkAttr[] = "user.vevez.temporary";

// Where a temporary file of `target` with the suffix `suffix` goes: its
// directory and name. The target's name is shortened so that the whole name
// stays within the 255-byte limit.
std::string TempPath(const std::string& target, std::string_view suffix);
// A suffix as mkstemp makes them, to be filled in by it.
inline constexpr std::string_view kTempSuffixTemplate = "XXXXXX";
// A random suffix of the same kind.
std::string RandomTempSuffix();

// Marks the open temporary file `fd` as ours and locks it for as long as it
// stays open; false where the file system keeps no extended attributes (the
// file must then be recorded once it has a name).
bool MarkTemp(int fd);

// Records in the user's cache folder ("vevez/temporaries") that the file
// `dev`/`ino`, named `name` in its directory, is a temporary of ours: the
// mark where the file system keeps no extended attributes, and for the
// user's old file while it is moved aside under a temporary name. A record
// may be missing (no cache folder, or a crash before it reached the disk):
// the file then stays. ForgetTemp removes the record.
void RecordTemp(dev_t dev, ino_t ino, const std::string& name);
void ForgetTemp(dev_t dev, ino_t ino);

// Removes temporary files of ours in the directory of `target` whose writer
// is gone. A file is ours only when it is a regular file of the user's, not
// locked, named as a save makes them, and carries our mark or is recorded
// under that name. Anything else stays, whatever its name.
void RemoveStaleTemps(const std::string& target);

}  // namespace vz
