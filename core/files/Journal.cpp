#include "core/files/Journal.h"

#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>

namespace vz {
namespace {

constexpr std::string_view kHead = "vevez rewrite 1";
// The longest entry Bytes gives: two paths of the longest length and the
// largest length, each field with its NUL.
constexpr std::size_t kMaxDigits = 20;
constexpr std::size_t kMaxBytes = kHead.size() + 2 * JournalEntry::kMaxPath + kMaxDigits + 4;

bool Fits(std::string_view path) {
  return !path.empty() && path.size() <= JournalEntry::kMaxPath && path.find('\0') == std::string_view::npos;
}

}  // namespace

std::optional<std::string> JournalEntry::Bytes() const {
  if (!Fits(file) || !Fits(backup) || file[0] != '/') return std::nullopt;
  std::string bytes(kHead);
  bytes.append(1, '\0').append(file).append(1, '\0').append(backup).append(1, '\0');
  return bytes.append(std::to_string(length)).append(1, '\0');
}

std::optional<JournalEntry> JournalEntry::Parse(std::string_view bytes) {
  if (bytes.size() > kMaxBytes) return std::nullopt;
  std::array<std::string_view, 4> fields;
  for (std::string_view& field : fields) {
    const std::size_t end = bytes.find('\0');
    if (end == std::string_view::npos) return std::nullopt;
    field = bytes.substr(0, end);
    bytes.remove_prefix(end + 1);
  }
  JournalEntry e;
  const std::string_view digits = fields[3];
  const auto [last, error] = std::from_chars(digits.data(), digits.data() + digits.size(), e.length);
  if (!bytes.empty() || fields[0] != kHead || !Fits(fields[1]) || fields[1][0] != '/' || !Fits(fields[2]) ||
      error != std::errc() || last != digits.data() + digits.size()) {
    return std::nullopt;
  }
  e.file = fields[1];
  e.backup = fields[2];
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
