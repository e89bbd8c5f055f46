#pragma once
// Whether bytes read as EUC-JP, 64 bytes at a time: an EUC-JP word file is
// checked whole when it loads, and most of it is ASCII and two-byte JIS X
// 0208 characters.
#include "core/text/Encoding.h"
#include "core/text/Utf8Sequence.h"

namespace vz::codec {

// Every non-ASCII character from p to end is a valid EUC-JP character by
// the form of its bytes (EucCharAt), checked in vectors as `path` says.
bool ValidEucJp(const Byte* p, const Byte* end, VectorPath path = FastestVectorPath());

// The same a character at a time: what ValidEucJp does where its blocks
// hold a half-width katakana or a JIS X 0212 character.
bool ValidEucJpPlain(const Byte* p, const Byte* end);

}  // namespace vz::codec
