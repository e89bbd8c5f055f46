// The decision: a byte-order mark, then pure ASCII, then the readings
// judged over the text, proven against marking where lines lack a mark.
#include "core/text/Encoding.h"

#include <iterator>
#include <optional>

#include "core/text/AsciiScan.h"
#include "core/text/MarkProof.h"
#include "core/text/Score.h"

namespace vz::codec {
namespace {

// The encoding whose byte-order mark the bytes start with; none (bom 0) when
// they start with none.
Detected ByMark(std::string_view bytes) {
  for (std::size_t e = 0; e < std::size(kBoms); ++e) {
    if (!kBoms[e].empty() && bytes.starts_with(kBoms[e])) return {Encoding(e), kBoms[e].size()};
  }
  return {};
}

// The best guess where marking is not proven harmless (Detected::stable):
// an encoding is taken when the text, with the lines without a state mark
// cut as it would mark them, reads best in it; when nothing but those lines'
// first characters is left, the whole text decides.
Encoding Guess(const Byte* p, const Byte* end) {
  bool cut = false, empty = false;
  const Encoding plain = Winner(p, end, std::nullopt, &cut, &empty).value_or(Encoding::Cp932);
  if (!cut) return plain;
  for (Encoding e : {plain, Encoding::Utf8, Encoding::Cp932, Encoding::EucJp}) {
    const std::optional<Encoding> w = Winner(p, end, e, &cut, &empty);
    if (w == e || (empty && plain == e)) return e;
  }
  return plain;
}

}  // namespace

Detected DetectEncoding(std::string_view bytes, VectorPath path) {
  const auto* p = reinterpret_cast<const Byte*>(bytes.data());
  return DetectEncoding(bytes,
                        {HasHeads(p, p + bytes.size()), ValidUtf8(bytes, path), ValidEucJp(bytes, path)});
}

Detected DetectEncoding(std::string_view bytes, const Seen& seen) {
  if (const Detected marked = ByMark(bytes); marked.bom) return marked;
  const auto* p = reinterpret_cast<const Byte*>(bytes.data());
  const auto* const end = p + bytes.size();
  if (AllAscii(p, end)) return {};
  // Without lines lacking a state mark, marking changes only first bytes
  // that are ASCII, which no reading judges.
  if (!seen.heads) return {WholeWinner(p, end, seen.utf8, seen.eucJp), 0};
  // With them: the encoding that wins however they are marked, or a guess.
  if (const std::optional<Encoding> proven = MarkProof(p, end)) return {*proven, 0};
  return {Guess(p, end), 0, false};
}

}  // namespace vz::codec
