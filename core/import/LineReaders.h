#pragma once
// Readers of sources with one record a line: EDICT and plain unmarked pairs.
#include <string>
#include <string_view>

#include "core/import/Record.h"
#include "core/text/Encoding.h"

namespace vz::import {

// EDICT lines ("漢字 [かな] /(n) gloss/gloss/") in `enc`: the headword asks,
// the glosses without their tags are the answers, and with `readings` the
// reading is accepted too.
void ReadEdict(std::string_view text, codec::Encoding enc, bool readings, const OnRecord& onRecord,
               const OnSkip& onSkip);
// True when `line` has the shape of an EDICT line.
bool LooksLikeEdict(std::string_view line);

// Plain lines "question,answers" without state marks, in `enc`.
void ReadPlain(std::string_view text, codec::Encoding enc, const OnRecord& onRecord, const OnSkip& onSkip);

}  // namespace vz::import
