#include "core/records/Csv.h"

#include <cstdio>
#include <ctime>

#include "core/text/Convert.h"

namespace vz::records {

std::string CsvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string quoted = "\"";
  for (const char c : text) (c == '"' ? quoted += "\"\"" : quoted += c);
  return quoted + '"';
}

const char* OutcomeName(Outcome outcome) {
  switch (outcome) {
    case Outcome::Correct:
      return "correct";
    case Outcome::Wrong:
      return "wrong";
    case Outcome::TimeOut:
      return "timeout";
    case Outcome::AnswerShown:
      return "shown";
    case Outcome::Skipped:
      return "skipped";
  }
  return "unknown";
}

std::string CsvHeader() { return "time,file,question,answers,outcome,ticks,time_limit\r\n"; }

std::string CsvRecord(const RecordRow& row) {
  const std::time_t secs = static_cast<std::time_t>(row.atMs / 1000);
  std::tm utc{};
  ::gmtime_r(&secs, &utc);
  char time[96];
  std::snprintf(time, sizeof time, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900, utc.tm_mon + 1,
                utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, static_cast<int>(row.atMs % 1000));
  return std::string(time) + ',' + CsvField(row.file) + ',' +
         CsvField(codec::ToUtf8(row.encoding, row.question)) + ',' +
         CsvField(codec::ToUtf8(row.encoding, row.answers)) + ',' + OutcomeName(row.outcome) + ',' +
         std::to_string(row.ticks) + ',' + std::to_string(row.timeLimit) + "\r\n";
}

}  // namespace vz::records
