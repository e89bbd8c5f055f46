#pragma once
// The checksum that tells a backup or a rewritten file from one that was cut
// or altered afterwards: XXH3 (64 bits) from the xxHash library, over the
// whole content of an open file.
#include <cstdint>
#include <optional>
#include <string_view>

namespace vz {

// The checksum of `bytes`.
std::uint64_t ChecksumOf(std::string_view bytes);
// The checksum of the whole content of the open file `fd`, read from its
// start; nullopt when reading fails.
std::optional<std::uint64_t> ChecksumOfFile(int fd);

}  // namespace vz
