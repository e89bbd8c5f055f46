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
    std::size_t ascii = i;
    while (ascii < bytes.size() && static_cast<unsigned char>(bytes[ascii]) < 0x80) ++ascii;
    out.append(bytes.substr(i, ascii - i));
    if ((i = ascii) >= bytes.size()) break;
    const int n = Utf8SequenceAt(bytes.substr(i));
    out.append(n > 0 ? bytes.substr(i, static_cast<std::size_t>(n)) : "\xEF\xBF\xBD");
    i += n > 0 ? static_cast<std::size_t>(n) : 1;
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
