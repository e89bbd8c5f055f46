#pragma once
// Whether a text's encoding is proven to survive the marking of its lines
// that have no state mark.
#include <optional>

#include "core/text/Encoding.h"
#include "core/text/Utf8Sequence.h"

namespace vz::codec {

// The reading that wins whatever lines without a state mark are marked as
// it marks them (the first character, one byte in code page 932): nullopt
// when none is shown to.
std::optional<Encoding> MarkProof(const Byte* begin, const Byte* end);

}  // namespace vz::codec
