#pragma once
// The readings judged over a whole text: which one reads it best.
#include <optional>

#include "core/text/Encoding.h"
#include "core/text/Utf8Sequence.h"

namespace vz::codec {

// The reading that wins on a text without lines lacking a state mark,
// judging no more than it takes: most files are valid in one reading only,
// and the others fail at their first non-ASCII character. `utf8`, `eucJp`:
// the text reads in them (ValidUtf8, ValidEucJp). Code page 932 when no
// reading is valid.
Encoding WholeWinner(const Byte* p, const Byte* end, bool utf8, bool eucJp);

// The reading that wins on the text with the lines that begin with a
// non-ASCII byte (no state mark) cut as `cut` would mark them (with no
// cut, the whole text is judged): nullopt when nothing but ASCII is left to
// judge, or when no reading is valid. `heads` tells whether there are such
// lines, `empty` the first case.
std::optional<Encoding> Winner(const Byte* p, const Byte* end, std::optional<Encoding> cut, bool* heads,
                               bool* empty);

}  // namespace vz::codec
