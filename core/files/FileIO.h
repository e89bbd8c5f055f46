#pragma once
// Whole-file reading and crash-safe whole-file replacement.
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/files/Error.h"

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
// is used; it carries a mark of ours (an extended attribute) until it is
// renamed, and stale ones (their writer died) are removed at the
// next save into that directory. The new file gets what the old one has
// besides its bytes: mode, owner group, extended attributes and ACL; where
// the group cannot be kept, its members get no more than others had. A
// symbolic link stays a link and the file it points to is replaced.
//
// A file the user may not write, or with no write bit for anyone (even for
// root), is never replaced: CreateError saying why. A file with more than
// one name (hard links), or one the user may write in a directory that
// refuses new files, is rewritten in place: its old content first goes to a
// synced backup in the user's cache directory ($XDG_CACHE_HOME/vevez, by
// default ~/.cache/vevez), the space the new content needs is reserved, and
// a journal entry beside the backup says that the rewrite is under way, so
// that the next start can put the file back (RecoverInterruptedRewrites).
// When the rewrite fails and the old content cannot be put back at once, the
// error names the backup.
//
// Raises CreateError(path) when the file cannot be created or replaced and
// WriteError when writing fails, with the reason the system gave. Returns
// the stamp of the new file.
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

// The error that says why `path` could not be written: a file with no write
// bit for anyone is read-only; otherwise the reason the system gives for
// writing it, if any.
Error WriteRefusal(const std::string& path);

// Writes a new file at `path` and never replaces one: the bytes go to a
// temporary file in the same directory as for WriteFileAtomic, are flushed to
// disk, and the file is then linked under its name, which raises ExistsError
// when something is there. Raises CreateError and WriteError as above.
FileStamp WriteNewFile(const std::string& path, const std::function<bool(const WriteFn&)>& produce);

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

// A rewrite in place that did not finish (the program died during it).
struct InterruptedRewrite {
  std::string file;    // the file that was being rewritten
  std::string backup;  // its old content, kept when it could not be put back
  bool restored = false;
};
// Puts back from their backups the files whose rewrite in place did not
// finish, and removes backups of ours with no journal entry that are older
// than a week. Rewrites still under way in another copy of the program are
// left alone. Returns what it found, for the user to be told once.
std::vector<InterruptedRewrite> RecoverInterruptedRewrites();

// What each sync makes durable.
enum class SyncOf {
  kNewFile,          // a new file's bytes, before it takes the old one's place
  kDirectory,        // the directory of the file, after the rename
  kBackup,           // the backup of a file about to be rewritten in place
  kBackupDirectory,  // the backup directory, after a backup or journal entry
  kJournal,          // the journal entry of a rewrite in place
  kFileInPlace,      // a file rewritten in place (or put back from its backup)
};

// The one step that flushes anything to disk (fsync). Tests replace it to
// watch when it runs or make it fail; returns the step it replaced.
using SyncFn = int (*)(int fd, SyncOf what);
SyncFn ReplaceSyncStep(SyncFn sync);
// Flushes `fd` through that step: 0 when done, as fsync.
int Sync(int fd, SyncOf what);
// Flushes the entries of the directory `dir` through that step; true when
// done, or when the user may not read the directory (nothing to open).
bool SyncDir(const std::string& dir, SyncOf what);

// Whether temporary files may be unnamed (O_TMPFILE) where the file system
// allows it; tests turn it off to exercise named temporaries. Returns the
// previous setting.
bool AllowUnnamedTemporaries(bool allow);

// The extended attribute that marks a named temporary file as ours.
inline constexpr char kTempMarkAttr[] = "user.vevez.temporary";

}  // namespace vz
