#pragma once
// Whole-file reading and crash-safe whole-file replacement.
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <string_view>

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

// Replaces the file at `path` with `data` so that a failure at any point
// leaves the old file exactly as it was: the bytes go to an unnamed temporary
// file in the same directory, are flushed to disk, and the file gets a name
// only just before it is renamed over the target, so a crash leaves nothing
// behind. Where the file system has no unnamed files, a named temporary file
// is used, and stale ones of ours (their writer died) are removed at the next
// save into that directory. The target's permission bits are kept; a symbolic
// link stays a link and the file it points to is replaced.
//
// A file the user may not write (a read-only file) is never replaced, even
// though its directory would allow it: CreateError. A file the user may write
// in a directory that refuses new files is rewritten in place: its old content
// is first copied to a backup in the user's cache directory
// ($XDG_CACHE_HOME/vevez, by default ~/.cache/vevez), which is removed once the
// new content is on disk. When that rewrite fails, the error names the backup.
//
// Raises CreateError(path) when the file cannot be created or replaced and
// WriteError() when writing fails. Returns the stamp of the new file.
FileStamp WriteFileAtomic(const std::string& path, std::string_view data);

// The same, with the content streamed: `produce` hands it piece by piece to
// the write function it is given, and returns false if a write failed.
// `commit`, when given, runs just before the old content is given up: for a
// replacement once the new file is written and synced, before the rename
// (inPlace false); for an in-place rewrite once the backup is synced, before
// `produce` overwrites the first byte (inPlace true: a source that reads
// from the file itself must copy what it needs now). An exception from it
// abandons the save and leaves the file as it was.
using WriteFn = std::function<bool(std::string_view)>;
using CommitFn = std::function<void(bool inPlace)>;
FileStamp WriteFileAtomic(const std::string& path, const std::function<bool(const WriteFn&)>& produce,
                          const CommitFn& commit = {});

// The directory that in-place rewrites keep their backups in.
std::string BackupDir();

// True when `path` names an existing directory (following links).
bool IsDirectory(const std::string& path);
// Makes `dir` and its missing parents, private to the user (mode 0700, as the
// XDG rules ask); true when `dir` is a directory afterwards.
bool MakeDirs(const std::string& dir);

// Reads an environment variable; tests pass their own.
using GetEnv = std::function<const char*(const char*)>;
inline const char* SystemEnv(const char* name) { return std::getenv(name); }
// The user's folder named by the XDG variable `var` when it holds an absolute
// path (the only kind the XDG rules accept), else $HOME/`fallback` (the
// password entry's home when $HOME is not absolute); ends in "/".
std::string XdgDir(const GetEnv& getEnv, const char* var, const char* fallback);

// The step that flushes a new file's bytes to disk before it takes the old
// file's place (fsync). Tests replace it to watch when it runs or make it
// fail; returns the step it replaced.
using SyncFn = int (*)(int fd);
SyncFn ReplaceSyncStep(SyncFn sync);

}  // namespace vz
