#pragma once
// The UTF-8 sequence rule, a character at a time: what the readings, the
// state mark's length and the plain UTF-8 check all apply.
namespace vz::codec {

using Byte = unsigned char;

// Length (2 to 4) of the valid multi-byte sequence at p (before end); 0 when
// there is none: ASCII, an invalid byte or a cut-off sequence. The range of
// the second byte excludes overlong forms, surrogates and code points above
// U+10FFFF.
inline int Utf8SequenceAt(const Byte* p, const Byte* end) {
  const Byte c = p[0];
  int n;
  Byte lo = 0x80, hi = 0xBF;
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3;
    if (c == 0xE0) lo = 0xA0;
    if (c == 0xED) hi = 0x9F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4;
    if (c == 0xF0) lo = 0x90;
    if (c == 0xF4) hi = 0x8F;
  } else {
    return 0;
  }
  if (end - p < n || p[1] < lo || p[1] > hi) return 0;
  for (int i = 2; i < n; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
  }
  return n;
}

// The bytes from p to end are valid UTF-8, checked a character at a time
// with runs of ASCII skipped: the plain path of ValidUtf8.
bool ValidUtf8Plain(const Byte* p, const Byte* end);

}  // namespace vz::codec
