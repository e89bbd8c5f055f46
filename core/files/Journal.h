#pragma once
// The journal entry of a rewrite in place: which file is being rewritten and
// what recovery must find before it touches anything, which backup holds its
// old content and how to tell that backup whole. It is synced before the
// file changes and removed once the new content is; an entry left behind
// tells the next start to put the file back from the backup, but only into
// the same file in a state the rewrite could have left (Recovery.h).
// An entry is what it says, in fields each ended by a NUL: the head
// "vevez rewrite 2", the file's absolute path, the backup's path, then in
// decimal the file's device and inode, its length, modification and change
// times (ns) when the rewrite began, the new length and the new content's
// checksum, the backup's length and its checksum (Checksum.h).
#include <climits>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vz {

struct JournalEntry {
  std::string file;    // absolute, links resolved
  std::string backup;  // beside the entry (see Backup.h)
  std::uint64_t dev = 0, ino = 0;
  std::uint64_t oldLength = 0;
  std::int64_t mtimeNs = 0, ctimeNs = 0;
  std::uint64_t length = 0, sum = 0;              // the new content
  std::uint64_t backupLength = 0, backupSum = 0;  // the backup (the old content)

  // The longest path an entry holds: the longest the system opens.
  static constexpr std::size_t kMaxPath = PATH_MAX - 1;

  // The entry's bytes; nullopt when Parse could not take them back (a path
  // longer than kMaxPath, or one holding a NUL): no rewrite may start then,
  // since none could be undone.
  std::optional<std::string> Bytes() const;
  // The entry `bytes` hold whole; nullopt for anything else (an entry cut
  // short, one too long, or not an entry at all).
  static std::optional<JournalEntry> Parse(std::string_view bytes);
  // The entry in the open journal file `fd`, read whole from its start.
  static std::optional<JournalEntry> Read(int fd);
};

}  // namespace vz
