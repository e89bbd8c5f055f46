#include "core/session/Conversion.h"

#include "core/files/ReadFile.h"
#include "core/import/Import.h"

namespace vz {

Conversion ConvertBeside(const std::string& source) {
  constexpr int kNames = 100;
  constexpr std::string_view kExtension = ".txt";
  Conversion c;
  c.target = import::DefaultTarget(source);
  const std::string stem = c.target.substr(0, c.target.size() - kExtension.size());
  for (int n = 2; n <= kNames && StampOf(c.target).exists; ++n) {
    c.target = stem + "-" + std::to_string(n) + std::string(kExtension);
  }
  const import::Summary s = import::ImportFile(source, c.target, {}, [&](const import::Skipped& skip) {
    if (c.toldSkips.size() < Conversion::kToldSkips) c.toldSkips.push_back(skip);
  });
  c.pairs = s.pairs;
  c.skipped = s.skipped;
  return c;
}

}  // namespace vz
