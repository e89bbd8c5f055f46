#pragma once
// What the readers of other formats hand the converter: one record of the
// source, in UTF-8, with its fields already cleaned.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/text/Encoding.h"

namespace vz::import {

struct Record {
  std::size_t line = 0;  // where the record starts in the source, from 1
  std::string question;
  // The source's answers, in order; each may hold alternatives separated by
  // ";" already.
  std::vector<std::string> answers;
};

// A record that gives no word line, and why (UTF-8).
struct Skipped {
  std::size_t line = 0;
  std::string why;
};

using OnRecord = std::function<void(Record&)>;
using OnSkip = std::function<void(const Skipped&)>;

// A field as a word line can hold it: each line break (CR LF, CR or LF) and
// each NUL (which would end a word file) becomes a space, and blanks at both
// ends are trimmed.
std::string CleanField(std::string_view text);

// Why a record longer than the import takes was skipped.
std::string TooLongWhy();

// Turns a reader's raw bytes into UTF-8, and tells bytes that the source's
// encoding does not assign, so that their record is reported rather than
// written with substitutes.
class FieldDecoder {
 public:
  // `text`: what the reader's bytes are in. `replaced`: they were decoded
  // from the source already, and a U+FFFD in them stands for bytes that did
  // not decode. `sourceName` names the source's encoding in Why().
  FieldDecoder(codec::Encoding text, bool replaced, std::string_view sourceName);
  // `raw` as UTF-8 in `out`; false when some of it does not decode.
  bool Decode(std::string_view raw, std::string& out) const;
  const std::string& Why() const { return why_; }

 private:
  codec::Encoding text_;
  bool replaced_;
  std::string why_;
};

}  // namespace vz::import
