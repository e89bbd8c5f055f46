#pragma once
// Whole-file reading and crash-safe whole-file replacement.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace vz {

// Identity of a file on disk at one moment, to notice changes by others.
struct FileStamp {
  bool exists = false;
  std::uint64_t dev = 0, ino = 0, size = 0;
  std::int64_t mtimeNs = 0;
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

// Replaces the file at `path` with `data` so that a failure at any point
// leaves the old file exactly as it was: the bytes go to a temporary file in
// the same directory, are flushed to disk, and the temporary file is renamed
// over the target. The target's permission bits are kept; a symbolic link
// stays a link and the file it points to is replaced.
// Raises CreateError(path) when the file cannot be created or replaced and
// WriteError() when writing fails. Returns the stamp of the new file.
FileStamp WriteFileAtomic(const std::string& path, std::string_view data);

// The same, with the content streamed: `produce` hands it piece by piece to
// the write function it is given, and returns false if a write failed.
using WriteFn = std::function<bool(std::string_view)>;
FileStamp WriteFileAtomic(const std::string& path, const std::function<bool(const WriteFn&)>& produce);

}  // namespace vz
