#pragma once
// Comparing byte strings of any size. On two long texts with line breaks a
// failing EXPECT_EQ makes GoogleTest compute a line diff, which on megabytes
// takes gigabytes and minutes: the test would hang instead of failing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>

namespace vz::test {

// Up to 32 bytes of `s` from 16 before `at`, anything but printable ASCII escaped.
inline std::string Excerpt(std::string_view s, std::size_t at) {
  std::string out;
  for (const char c : s.substr(std::min(at - std::min<std::size_t>(at, 16), s.size()), 32)) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(c));
    out += c >= 0x20 && c < 0x7F && c != '\\' ? std::string(1, c) : hex;
  }
  return out;
}

// EXPECT_TRUE(SameBytes(actual, expected)): on a difference, both sizes and
// the first differing offset with an excerpt of each side around it.
inline ::testing::AssertionResult SameBytes(std::string_view actual, std::string_view expected) {
  if (actual == expected) return ::testing::AssertionSuccess();
  const std::size_t n = std::min(actual.size(), expected.size());
  const auto at = static_cast<std::size_t>(
      std::mismatch(actual.begin(), actual.begin() + static_cast<std::ptrdiff_t>(n), expected.begin()).first -
      actual.begin());
  return ::testing::AssertionFailure()
         << actual.size() << " bytes where " << expected.size()
         << " were expected, first different at offset " << at << "\n  actual:   " << Excerpt(actual, at)
         << "\n  expected: " << Excerpt(expected, at);
}

}  // namespace vz::test
