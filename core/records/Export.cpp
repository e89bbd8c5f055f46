#include "core/records/Export.h"

#include "core/text/Convert.h"

namespace vz::records {

import::Summary ExportWords(const std::vector<HardWord>& words, const std::string& target){
    auto records = [&](const import::OnRecord& onRecord, const import::OnSkip& onSkip){std::size_t n = 0;
for (const HardWord& w : words) {
  ++n;
  if (w.cut) {
    onSkip({n, "長すぎるため、記録には初めの部分しかありません"});
    continue;
  }
  import::Record r{n, codec::ToUtf8(w.encoding, w.question), {codec::ToUtf8(w.encoding, w.answers)}};
  onRecord(r);
}
return import::Format::Plain;
};  // namespace vz::records
return import::WriteWordFile(
    target, records, [](const import::Skipped&) {}, "書き出せる単語がありません");
}

}  // namespace vz::records
