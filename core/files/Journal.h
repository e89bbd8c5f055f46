#pragma once
// The journal entry of a rewrite in place: which file is being rewritten,
// which backup holds its old content, and the new length. It is synced
// before the file changes and removed once the new content is; an entry
// left behind tells the next start to put the file back from the backup.
// An entry is what it says, in four fields each ended by a NUL: the head
// "vevez rewrite 1", the file's absolute path, the backup's path and the
// length in decimal.
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
  std::uint64_t length = 0;

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
