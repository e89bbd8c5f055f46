#pragma once
// Scans of a text for its non-ASCII bytes, by vectors where the processor
// has them: most of a word file is ASCII answers, which no reading judges.
#include "core/text/Utf8Sequence.h"

namespace vz::codec {

// The bytes from p to end are all ASCII.
bool AllAscii(const Byte* p, const Byte* end);

// Some line begins with a non-ASCII byte (has no state mark).
bool HasHeads(const Byte* p, const Byte* end);

// The end of the line at p (its CR or LF, or `end`), and in `last` the end
// of its last non-ASCII byte (p when it has none).
const Byte* LineEnd(const Byte* p, const Byte* end, const Byte** last);

}  // namespace vz::codec
