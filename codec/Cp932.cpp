#include "codec/Cp932.h"

#include "codec/Convert.h"

namespace vz::codec {

std::string Cp932ToUtf8(std::string_view bytes) { return ToUtf8(Encoding::Cp932, bytes); }

std::optional<std::string> Utf8ToCp932(std::string_view utf8) { return FromUtf8(Encoding::Cp932, utf8); }

}  // namespace vz::codec
