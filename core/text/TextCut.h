#pragma once
// Bounded parts of long texts, cut between characters of their encoding: a
// screen shows a few hundred characters at most, and converting and laying
// out a line of megabytes to show that much would freeze the program.
#include <cstddef>
#include <string_view>

#include "core/text/Encoding.h"

namespace vz::codec {

// The first characters of `bytes`, at most `maxBytes` of them; the whole
// text when it is no longer.
std::string_view Head(std::string_view bytes, std::size_t maxBytes, Encoding enc);

// The characters around the middle of `bytes`, at most `maxBytes` of them,
// as much before the middle as after it; the whole text when it is no
// longer. This is what shows of a text centred on a narrower area.
std::string_view Middle(std::string_view bytes, std::size_t maxBytes, Encoding enc);

}  // namespace vz::codec
