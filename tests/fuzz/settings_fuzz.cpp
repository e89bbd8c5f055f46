// Fuzzes the settings file layer: arbitrary file text, section, key and value.
// Checks that a value written reads back byte for byte, that writing one key
// changes no other key's value, that a second write of the same value changes
// nothing, that a value fitted to a buffer is a prefix that fits, and that
// the same holds through the file: a write that can be stored replaces the
// file with exactly the edited text, one that cannot leaves it as it was.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "core/settings/Ini.h"
#include "support/Files.h"
#include "support/Fuzz.h"

namespace {

using vz::test::Check;

// Names as the layer compares them, with every byte's ASCII letters folded:
// names that differ here differ for the layer too.
std::string Folded(std::string_view name) {
  while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
  while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
  std::string out(name);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vz::ini;
  FuzzedDataProvider in(data, size);
  const std::string section = in.ConsumeRandomLengthString(24);
  const std::string key = in.ConsumeRandomLengthString(24);
  const std::string value = in.ConsumeRandomLengthString(64);
  const std::string other = in.ConsumeRandomLengthString(24);  // another key, in either section
  const std::string otherSection = in.ConsumeBool() ? section : in.ConsumeRandomLengthString(24);
  const std::size_t bufSize = in.ConsumeIntegralInRange<std::size_t>(1, 80);
  const std::string text = in.ConsumeRemainingBytesAsString();

  ParseInt(value);
  const std::string fitted = FitBuffer(value, bufSize);
  Check(fitted.size() < bufSize && value.compare(0, fitted.size(), fitted) == 0, "FitBuffer");

  const auto before = FindValue(text, otherSection, other);
  const auto edited = WithValue(text, section, key, value);
  if (edited) {
    Check(FindValue(*edited, section, key) == value, "the value written does not read back");
    if (Folded(other) != Folded(key) || Folded(otherSection) != Folded(section)) {
      Check(FindValue(*edited, otherSection, other) == before, "writing one key changed another");
    }
    Check(WithValue(*edited, section, key, value) == *edited,
          "writing the same value again changed the text");
  }

  const vz::test::TempDir dir("vevez-fuzz", vz::test::FuzzScratchBase());
  const std::string path = dir / "kobeli.ini";
  vz::test::WriteBytes(path, text);
  Check(WriteString(path, section, key, value) == edited.has_value(), "WriteString result");
  Check(vz::test::ReadBytes(path) == (edited ? *edited : text), "the file after WriteString");
  if (edited) Check(ReadString(path, section, key, "", bufSize) == fitted, "ReadString");
  return 0;
}
