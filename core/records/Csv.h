#pragma once
// Records as CSV by RFC 4180: fields separated by ",", records ended by
// CR LF, and a field that holds ",", '"', CR or LF quoted, its quotes doubled.
#include <string>
#include <string_view>

#include "core/records/Stats.h"

namespace vz::records {

// One field as it goes into a record.
std::string CsvField(std::string_view text);

// The header record, and one record of the export: the time (UTC, ISO 8601
// to the millisecond), the word file, the question and the answers (UTF-8),
// the outcome, the ticks taken and the limit.
std::string CsvHeader();
std::string CsvRecord(const RecordRow& row);

// The outcome's name in the export.
const char* OutcomeName(Outcome outcome);

}  // namespace vz::records
