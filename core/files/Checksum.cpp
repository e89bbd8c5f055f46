#include "core/files/Checksum.h"

#include <unistd.h>
#include <xxhash.h>

#include <cerrno>
#include <memory>

namespace vz {

std::uint64_t ChecksumOf(std::string_view bytes) { return XXH3_64bits(bytes.data(), bytes.size()); }

std::optional<std::uint64_t> ChecksumOfFile(int fd) {
  const std::unique_ptr<XXH3_state_t, decltype(&XXH3_freeState)> state(XXH3_createState(), &XXH3_freeState);
  if (!state || XXH3_64bits_reset(state.get()) != XXH_OK) return std::nullopt;
  char buf[65536];
  for (off_t at = 0;;) {
    const ssize_t n = ::pread(fd, buf, sizeof buf, at);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::nullopt;
    if (n == 0) return XXH3_64bits_digest(state.get());
    XXH3_64bits_update(state.get(), buf, static_cast<std::size_t>(n));
    at += n;
  }
}

}  // namespace vz
