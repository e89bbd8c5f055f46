#pragma once
// Whole-file reading, and the stamp that tells whether a file read earlier
// is still the same.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace vz {

// Identity of a file on disk at one moment, to notice changes by others.
struct FileStamp {
  bool exists = false;
  std::uint64_t dev = 0, ino = 0, size = 0;
  std::int64_t mtimeNs = 0;
  // The change time cannot be set from outside: an edit that puts size and
  // modification time back still shows here, to the nanosecond.
  std::int64_t ctimeNs = 0;
  bool operator==(const FileStamp&) const = default;
};

// Stamp of the file `path` names (following links); exists is false when
// nothing is there.
FileStamp StampOf(const std::string& path);
// Stamp of an open file.
FileStamp StampOfOpenFile(int fd);

// True when `path` names an existing regular file (following links).
bool IsRegularFile(const std::string& path);

// Reads a whole regular file. Anything else (missing, unreadable, FIFO,
// device, directory) raises OpenError(path). Never blocks on a FIFO.
// When `stamp` is given it receives the identity of the file that was read.
std::string ReadRegularFile(const std::string& path, FileStamp* stamp = nullptr);

// The same for a caller that tells the user itself: nullopt when the file
// cannot be read, and `err` then holds the system's reason (ENOENT: nothing
// is there; EISDIR: a directory; kNotAFile: something else that is not a
// file; EFBIG: more than `maxBytes`, of which nothing is read).
std::optional<std::string> TryReadRegularFile(const std::string& path, int& err, FileStamp* stamp = nullptr,
                                              std::size_t maxBytes = SIZE_MAX);

}  // namespace vz
