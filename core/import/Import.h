#pragma once
// Converts a file of words kept elsewhere (a spreadsheet's CSV, Anki's plain
// text export, KDE's .kvtml, EDICT lines, plain "question,answer" lines) into
// a new word file. The source is only read; the target is always a new file,
// never one that exists.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/import/Record.h"
#include "core/text/Encoding.h"

namespace vz {
class WordList;
}

namespace vz::import {

enum class Format { Csv, Tsv, Kvtml, Edict, Plain };

struct Options {
  bool readings = false;  // EDICT: the reading is accepted as an answer too
  // "A,B": the question and answer languages of a .kvtml file (number, locale
  // or name), or the question and answer columns of delimited text (from 1).
  std::string columns;
};

struct Summary {
  Format format = Format::Plain;
  std::size_t pairs = 0;       // word lines written
  std::size_t skipped = 0;     // records that gave none
  std::size_t duplicates = 0;  // lines written that repeat an earlier one
  codec::Encoding encoding = codec::Encoding::Cp932;
};

// The format of `bytes`, told by their content first and `fileName` second.
Format DetectFormat(std::string_view bytes, std::string_view fileName);

// Calls onRecord for every record of the file's `bytes` (a byte-order mark
// included), onSkip for records that cannot be read.
Format ReadRecords(std::string_view bytes, std::string_view fileName, const Options& options,
                   const OnRecord& onRecord, const OnSkip& onSkip);

// The word line (UTF-8, mark "0") for `r`, or nullopt with `why` set when the
// line format cannot hold it: an empty question or answer, or a "," in the
// question. Answer alternatives are trimmed and joined with ";"; empty ones
// are dropped, since an empty alternative would take an empty answer as right.
std::optional<std::string> WordLineOf(const Record& r, std::string& why);

// Converts the file at `source` into a new word file at `target`, in code page
// 932 when every line fits it, else in UTF-8 without a byte-order mark (so
// that new word files look like the old ones). Both are streamed: the source
// is read twice, and only its bytes are held. Raises Error
// when the source cannot be read, the target exists or cannot be written, or
// no pair was found (the target is then not created). onSkip hears of every
// record that was left out.
Summary ImportFile(const std::string& source, const std::string& target, const Options& options,
                   const OnSkip& onSkip);

// Hands every record of a source to `onRecord` (and those it cannot read
// to `onSkip`), and says what format the source was.
using RecordSource = std::function<Format(const OnRecord& onRecord, const OnSkip& onSkip)>;

// Writes the word lines of the records `records` hands out to a new word
// file at `target`, as ImportFile does: every line marked "0", in code page
// 932 when every line fits it, else in UTF-8. Raises ExistsError when
// `target` exists, and Error(noWords) when no record gave a line (the
// target is then not created).
Summary WriteWordFile(const std::string& target, const RecordSource& records, const OnSkip& onSkip,
                      const std::string& noWords);

// Where a conversion of `source` goes by default: beside it, with its
// extension replaced by ".txt" ("-vevez.txt" when that is the source itself).
std::string DefaultTarget(const std::string& source);

// A loaded list with lines but not one that starts with a state mark: a file
// that was never a word file, which marking would damage.
bool LooksUnmarked(const WordList& list);

const char* FormatName(Format f);
const char* EncodingName(codec::Encoding e);

}  // namespace vz::import
