#include "core/text/Readings.h"

namespace vz::codec {

std::optional<Encoding> Best(const long (&scores)[3]) {
  std::optional<Encoding> best;
  for (Encoding r : kReadings) {
    const long score = scores[static_cast<int>(r)];
    if (score != kInvalid && (!best || Beats(r, score, *best, scores[static_cast<int>(*best)]))) best = r;
  }
  return best;
}

std::size_t FirstCharLength(Encoding lines, std::string_view line) {
  if (line.empty()) return 0;
  const auto* p = reinterpret_cast<const Byte*>(line.data());
  return static_cast<std::size_t>(MarkedLength(LineEncoding(lines), p, p + line.size()));
}

}  // namespace vz::codec
