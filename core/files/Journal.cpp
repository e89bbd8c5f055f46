#include "core/files/Journal.h"

#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>

namespace vz {
namespace {

constexpr std::string_view kHead = "vevez rewrite 2";
constexpr std::size_t kNumbers = 9, kFields = 3 + kNumbers;
// The longest entry Bytes gives: two paths of the longest length and the
// largest numbers, each field with its NUL.
constexpr std::size_t kMaxDigits = 20;
constexpr std::size_t kMaxBytes = kHead.size() + 2 * JournalEntry::kMaxPath + kNumbers * kMaxDigits + kFields;

bool Fits(std::string_view path) {
  return !path.empty() && path.size() <= JournalEntry::kMaxPath && path.find('\0') == std::string_view::npos;
}

template <typename T>
bool ParseNumber(std::string_view digits, T& value) {
  const auto [last, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  return !digits.empty() && error == std::errc() && last == digits.data() + digits.size();
}

}  // namespace

std::optional<std::string> JournalEntry::Bytes() const {
  if (!Fits(file) || !Fits(backup) || file[0] != '/') return std::nullopt;
  std::string bytes(kHead);
  bytes.append(1, '\0').append(file).append(1, '\0').append(backup).append(1, '\0');
  for (const std::string& n :
       {std::to_string(dev), std::to_string(ino), std::to_string(oldLength), std::to_string(mtimeNs),
        std::to_string(ctimeNs), std::to_string(length), std::to_string(sum), std::to_string(backupLength),
        std::to_string(backupSum)}) {
    bytes.append(n).append(1, '\0');
  }
  return bytes;
}

std::optional<JournalEntry> JournalEntry::Parse(std::string_view bytes) {
  if (bytes.size() > kMaxBytes) return std::nullopt;
  std::array<std::string_view, kFields> fields;
  for (std::string_view& field : fields) {
    const std::size_t end = bytes.find('\0');
    if (end == std::string_view::npos) return std::nullopt;
    field = bytes.substr(0, end);
    bytes.remove_prefix(end + 1);
  }
  if (!bytes.empty() || fields[0] != kHead || !Fits(fields[1]) || fields[1][0] != '/' || !Fits(fields[2])) {
    return std::nullopt;
  }
  JournalEntry e;
  e.file = fields[1];
  e.backup = fields[2];
  const bool numbers = ParseNumber(fields[3], e.dev) && ParseNumber(fields[4], e.ino) &&
                       ParseNumber(fields[5], e.oldLength) && ParseNumber(fields[6], e.mtimeNs) &&
                       ParseNumber(fields[7], e.ctimeNs) && ParseNumber(fields[8], e.length) &&
                       ParseNumber(fields[9], e.sum) && ParseNumber(fields[10], e.backupLength) &&
                       ParseNumber(fields[11], e.backupSum);
  if (!numbers) return std::nullopt;
  return e;
}

std::optional<JournalEntry> JournalEntry::Read(int fd) {
  // One byte more than the longest entry: a file that fills it is none.
  std::string bytes(kMaxBytes + 1, '\0');
  std::size_t got = 0;
  while (got < bytes.size()) {
    const ssize_t n = ::pread(fd, bytes.data() + got, bytes.size() - got, static_cast<off_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  bytes.resize(got);
  return Parse(bytes);
}

}  // namespace vz
