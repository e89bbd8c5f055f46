#pragma once
// Readers of the formats that are not delimited text.
#include <string>
#include <string_view>

#include "codec/Encoding.h"
#include "import/Record.h"

namespace vz::import {

// KDE's vocabulary files (.kvtml, version 2), as UTF-8 text. The question is
// the translation in the first language, the answer the one in the second;
// `columns` ("A,B": identifier numbers, locales or names) picks others. A
// file of one language (as KDE's word games ship them) asks the comment and
// expects the text.
void ReadKvtml(std::string_view utf8, std::string_view columns, const OnRecord& onRecord,
               const OnSkip& onSkip);

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
