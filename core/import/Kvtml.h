#pragma once
// The reader of KDE's vocabulary files.
#include <string_view>

#include "core/import/Record.h"
#include "core/import/TextWindow.h"

namespace vz::import {

// How a .kvtml file that starts with `head` is read, as XML has it: a
// byte-order mark, else the encoding its XML declaration names, else UTF-8.
// Strict: bytes that do not decode make the file malformed. Raises Error for
// an encoding the program cannot read.
Reading KvtmlReading(std::string_view head);

// KDE's vocabulary files (.kvtml, version 2). The question is the
// translation in the first language, the answer the one in the second;
// `columns` ("A,B": identifier numbers, locales or names) picks others. A
// file of one language (as KDE's word games ship them) asks the comment and
// expects the text. Raises Error, with the line and column, for a file that
// is not well-formed XML as far as the reader goes: bytes invalid in its
// encoding, tags that do not close or do not match; an entry longer than
// kMaxRecordBytes is skipped and reported.
void ReadKvtml(TextWindow& in, std::string_view columns, const OnRecord& onRecord, const OnSkip& onSkip);

}  // namespace vz::import
