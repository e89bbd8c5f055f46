#pragma once
// The reader of KDE's vocabulary files.
#include <string>
#include <string_view>

#include "core/import/Record.h"

namespace vz::import {

// KDE's vocabulary files (.kvtml, version 2), as UTF-8 text. The question is
// the translation in the first language, the answer the one in the second;
// `columns` ("A,B": identifier numbers, locales or names) picks others. A
// file of one language (as KDE's word games ship them) asks the comment and
// expects the text.
void ReadKvtml(std::string_view utf8, std::string_view columns, const OnRecord& onRecord,
               const OnSkip& onSkip);

}  // namespace vz::import
