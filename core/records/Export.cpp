#include "core/records/Export.h"

#include "core/text/Convert.h"

namespace vz::records {
namespace {

vz::import::Format HandOut(const std::vector<HardWord>& words, const vz::import::OnRecord& onRecord,
                           const vz::import::OnSkip& onSkip) {
  std::size_t n = 0;
  for (const HardWord& w : words) {
    ++n;
    if (w.cut) {
      onSkip({n, "長すぎるため、記録には初めの部分しかありません"});
      continue;
    }
    vz::import::Record r{n, codec::ToUtf8(w.encoding, w.question), {codec::ToUtf8(w.encoding, w.answers)}};
    onRecord(r);
  }
  return vz::import::Format::Plain;
}

}  // namespace

vz::import::Summary ExportWords(const std::vector<HardWord>& words, const std::string& target) {
  const vz::import::RecordSource source = [&](const vz::import::OnRecord& onRecord,
                                              const vz::import::OnSkip& onSkip) {
    return HandOut(words, onRecord, onSkip);
  };
  return vz::import::WriteWordFile(
      target, source, [](const vz::import::Skipped&) {}, "書き出せる単語がありません");
}

}  // namespace vz::records
