#pragma once
// Comparing byte strings of any size: on two long texts with line breaks a
// failing EXPECT_EQ makes GoogleTest compute a line diff, which on megabytes
// takes gigabytes and minutes, so the test would hang instead of failing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>

namespace vz::test {

// EXPECT_TRUE(SameBytes(actual, expected)): on a difference, both sizes and
// the first differing offset, with 32 bytes of each side from 16 before it.
inline ::testing::AssertionResult SameBytes(std::string_view actual, std::string_view expected) {
  if (actual == expected) return ::testing::AssertionSuccess();
  const auto at = static_cast<std::size_t>(
      std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end()).first - actual.begin());
  auto excerpt = [at](std::string_view s) {
    std::string out;
    for (const char c : s.substr(std::min(at - std::min<std::size_t>(at, 16), s.size()), 32)) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(c));
      out += c >= 0x20 && c < 0x7F && c != '\\' ? std::string(1, c) : hex;
    }
    return out;
  };
  return ::testing::AssertionFailure()
         << actual.size() << " bytes where " << expected.size()
         << " were expected, first different at offset " << at << "\n  actual:   " << excerpt(actual)
         << "\n  expected: " << excerpt(expected);
}

}  // namespace vz::test
