#include "codec/Convert.h"

#include "codec/Cp932.h"

namespace vz::codec {
namespace {

// Valid UTF-8 stays as it is; each byte that starts no valid sequence
// becomes U+FFFD.
std::string RepairUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size();) {
    const int n = Utf8SequenceAt(bytes.substr(i));
    if (n > 0) {
      out.append(bytes.substr(i, static_cast<std::size_t>(n)));
      i += static_cast<std::size_t>(n);
    } else {
      if (static_cast<unsigned char>(bytes[i]) < 0x80) {
        out += bytes[i];
      } else {
        out += "\xEF\xBF\xBD";
      }
      ++i;
    }
  }
  return out;
}

}  // namespace

std::string ToUtf8(Encoding enc, std::string_view bytes) {
  switch (enc) {
    case Encoding::Cp932:
      return Cp932ToUtf8(bytes);
    case Encoding::Utf8:
      return RepairUtf8(bytes);
  }
  return RepairUtf8(bytes);
}

std::optional<std::string> FromUtf8(Encoding enc, std::string_view utf8) {
  switch (enc) {
    case Encoding::Cp932:
      return Utf8ToCp932(utf8);
    case Encoding::Utf8:
      if (RepairUtf8(utf8) != utf8) return std::nullopt;
      return std::string(utf8);
  }
  return std::nullopt;
}

}  // namespace vz::codec
