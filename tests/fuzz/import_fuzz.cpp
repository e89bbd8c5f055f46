// Fuzzes the import readers (CSV, TSV and .kvtml above all; format
// detection may pick any of them): no crash, and every word line made from a record reads
// back, as the word list splits it, to the record's question and to exactly
// its non-empty answers, in UTF-8 and in code page 932 alike.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "core/files/Error.h"
#include "core/import/Import.h"
#include "core/wordlist/WordLine.h"
#include "support/Cp932.h"

namespace {

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "import_fuzz: %s\n", what);
    std::abort();
  }
}

// The line as the word list reads it, and its answers' alternatives.
void CheckLine(const std::string& line, const std::string& question, const std::vector<std::string>& alts) {
  std::vector<std::string_view> read;
  vz::ForEachLine(line, nullptr, [&](std::string_view l) { read.push_back(l); });
  Check(read.size() == 1 && read[0] == line, "a word line holds a line break or a NUL");
  Check(vz::Askable(line) && line[0] == vz::kLineToAsk, "a word line is not to be asked");
  const vz::SplitLine s = vz::Split(line);
  Check(s.question == question, "the question reads back otherwise");
  Check(!vz::IsOneOfAnswers(s.answers, ""), "an empty answer would be right");
  for (const std::string& alt : alts) Check(vz::IsOneOfAnswers(s.answers, alt), "an answer is not right");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  static constexpr const char* kNames[] = {"words.csv", "words.tsv", "words.txt", "words.kvtml"};
  const char* name = kNames[size > 0 ? data[0] % 4 : 0];
  try {
    vz::import::ReadRecords(
        bytes, name, {},
        [](vz::import::Record& r) {
          std::string why;
          const auto line = vz::import::WordLineOf(r, why);
          if (!line) return;
          std::vector<std::string> alts;
          for (const std::string& a : r.answers) {
            for (std::size_t from = 0; from <= a.size();) {
              const std::size_t to = std::min(a.find(';', from), a.size());
              std::string_view alt = std::string_view(a).substr(from, to - from);
              while (!alt.empty() && (alt.front() == ' ' || alt.front() == '\t')) alt.remove_prefix(1);
              while (!alt.empty() && (alt.back() == ' ' || alt.back() == '\t')) alt.remove_suffix(1);
              if (!alt.empty()) alts.emplace_back(alt);
              from = to + 1;
            }
          }
          CheckLine(*line, r.question, alts);
          if (const auto sjis = vz::codec::Utf8ToCp932(*line)) {
            std::vector<std::string> sjisAlts;
            for (const std::string& a : alts) sjisAlts.push_back(*vz::codec::Utf8ToCp932(a));
            CheckLine(*sjis, *vz::codec::Utf8ToCp932(r.question), sjisAlts);
          }
        },
        [](const vz::import::Skipped& s) { Check(!s.why.empty(), "a record was skipped without a reason"); });
  } catch (const vz::Error&) {
    // A file the converter refuses (broken UTF-16, malformed XML) is refused with a message.
  }
  return 0;
}
