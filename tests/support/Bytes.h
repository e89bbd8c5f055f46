#pragma once
// Comparing byte strings of any size. On two long texts with line breaks a
// failing EXPECT_EQ makes GoogleTest compute a line diff, which on a few
// megabytes takes gigabytes and minutes: the test would hang instead of
// failing. SameBytes reports the sizes and the first difference instead.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>

namespace vz::test {

// Up to 32 bytes of `s` around `at`, anything but printable ASCII escaped.
inline std::string Excerpt(std::string_view s, std::size_t at) {
  const std::size_t from = std::min(at > 16 ? at - 16 : 0, s.size());
  std::string out = from ? "..." : "";
  for (const char c : s.substr(from, 32)) {
    const auto b = static_cast<unsigned char>(c);
    char hex[8];
    std::snprintf(hex, sizeof hex, "\\x%02X", b);
    out += b >= 0x20 && b < 0x7F && b != '\\' ? std::string(1, c) : hex;
  }
  return from + 32 < s.size() ? out + "..." : out;
}

// EXPECT_TRUE(SameBytes(actual, expected)): on a difference, both sizes and
// the first differing offset with an excerpt of each side around it.
inline ::testing::AssertionResult SameBytes(std::string_view actual, std::string_view expected) {
  const std::size_t n = std::min(actual.size(), expected.size());
  const auto at = static_cast<std::size_t>(
      std::mismatch(actual.begin(), actual.begin() + static_cast<std::ptrdiff_t>(n), expected.begin()).first -
      actual.begin());
  if (at == n && actual.size() == expected.size()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << actual.size() << " bytes where " << expected.size()
         << " were expected, first different at offset " << at << "\n  actual:   " << Excerpt(actual, at)
         << "\n  expected: " << Excerpt(expected, at);
}

}  // namespace vz::test
