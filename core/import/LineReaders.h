#pragma once
// Readers of sources with one record a line: EDICT and plain unmarked pairs.
#include <string_view>

#include "core/import/Record.h"
#include "core/import/TextWindow.h"

namespace vz::import {

// EDICT lines ("漢字 [かな] /(n) gloss/gloss/"): the headword asks, the
// glosses without their tags are the answers, and with `readings` the
// reading is accepted too. The header line that EDICT and ENAMDICT start
// with is skipped.
void ReadEdict(TextWindow& in, const FieldDecoder& decoder, bool readings, const OnRecord& onRecord,
               const OnSkip& onSkip);
// True when `line` has the shape of an EDICT line.
bool LooksLikeEdict(std::string_view line);

// Plain lines "question,answers" without state marks.
void ReadPlain(TextWindow& in, const FieldDecoder& decoder, const OnRecord& onRecord, const OnSkip& onSkip);

}  // namespace vz::import
