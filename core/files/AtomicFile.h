#pragma once
// Saving a whole file crash-safely: the one way the program publishes a file.
//
// The bytes go to a temporary file in the target's directory, unnamed where
// the file system allows it, are flushed to disk, and then take the target's
// place in a single step: renamed over it ("replace"), or linked under its
// name, which fails where something is already there ("create only"). A
// failure at any point leaves the target exactly as it was, and a crash
// leaves nothing behind but, where the file system has no unnamed files, a
// temporary file of ours that the next save into that directory removes
// (TempNames.h).
//
// A replacement gets what the old file has besides its bytes (Metadata.h). A
// symbolic link stays a link and the file it points to is replaced. A file
// the user may not write, or with no write bit for anyone (even for root),
// is never replaced. A file with more than one name (hard links), or one the
// user may write in a directory that refuses new files, is rewritten in
// place instead (InPlaceRewrite.h).
//
// Every failure raises the message of Error.h for it, naming the file and
// the reason the system gave: ReadOnlyError, CreateError when the file cannot
// be created or replaced, ExistsError when a new file's name is taken,
// WriteError when writing or flushing fails, ChangedOnDiskError when another
// writer replaced the file while this one was publishing (the other file then
// stays). While a writer is open, a
// file-size limit fails a write (EFBIG) instead of ending the program.
#include <signal.h>
#include <sys/stat.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "core/files/Fd.h"
#include "core/files/ReadFile.h"

namespace vz {

class InPlaceRewrite;

// Runs just before the old content is given up: for a replacement once the
// new file is written and synced, before it takes the target's place
// (inPlace false); for a rewrite in place once the backup is synced, before
// the first byte of the file is overwritten (inPlace true: a source that
// reads from the file itself must copy what it needs now). An exception
// from it abandons the save and leaves the file as it was.
using CommitFn = std::function<void(bool inPlace)>;

class AtomicFile {
 public:
  enum class Mode {
    kReplace,     // create the file, or replace the one that is there
    kCreateOnly,  // create the file, never over anything (not even a link)
  };

  // Readies a save of `path`. Raises the refusal when the target can never
  // be written this way (read-only, not a regular file, a link loop, no
  // room for a temporary file nor a way to rewrite in place).
  AtomicFile(const std::string& path, Mode mode);
  // Without a Commit that returned, the target stays as it was.
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Adds `bytes` to the new content; false once a write failed (Commit then
  // raises WriteError with the system's reason).
  bool Write(std::string_view bytes);
  // Gives the save up for a reason of the caller's: Commit raises WriteError.
  void Fail();
  // Publishes the new content after `lastCheck` (see CommitFn); returns the
  // stamp of the new file.
  FileStamp Commit(const CommitFn& lastCheck = {});

 private:
  class FileSizeSignalIgnored {
   public:
    FileSizeSignalIgnored();
    ~FileSizeSignalIgnored();

   private:
    struct sigaction previous_ {};
  };
  // The temporary file being written; its name (empty while it has none)
  // goes with it.
  struct Temp {
    Fd f;
    std::string name;
    bool marked = false;  // carries our mark; else recorded while named
    ~Temp();
    void Drop();  // closes it and removes its name
    void Record();
    void Forget();
  };

  void CheckReplaceable();
  bool OpenTemp(mode_t mode);
  bool OpenNamedTemp();
  bool NameTemp();
  void Unmark();
  void Publish(const CommitFn& lastCheck);
  bool ReplaceChecked();

  FileSizeSignalIgnored sizeSignal_;  // first in, last out: covers every write
  std::string path_;                  // as given, for the messages
  std::string target_;                // links resolved, for a replacement
  Mode mode_;
  struct stat old_ {};
  bool hadOld_ = false;
  Temp temp_;
  std::unique_ptr<InPlaceRewrite> inPlace_;
  bool failed_ = false;
  int writeErr_ = 0;
};

// The same in one call: `data`, or the content `produce` hands piece by
// piece to the write function it is given (it returns false when a write
// failed or the content could not be made).
using WriteFn = std::function<bool(std::string_view)>;
using ProduceFn = std::function<bool(const WriteFn&)>;
FileStamp WriteFileAtomic(const std::string& path, std::string_view data);
FileStamp WriteFileAtomic(const std::string& path, const ProduceFn& produce, const CommitFn& commit = {});
// Writes a new file at `path` and never replaces one ("create only").
FileStamp WriteNewFile(const std::string& path, const ProduceFn& produce);

// Whether temporary files may be unnamed (O_TMPFILE) where the file system
// allows it; tests turn it off to exercise named temporaries. Returns the
// previous setting.
bool AllowUnnamedTemporaries(bool allow);

}  // namespace vz
