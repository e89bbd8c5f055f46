#pragma once
// The word rows the editor shows and edits: the lines of the word list as
// (mark, question, answers) triples, plus the pairs added in this session.
//
// A row of an existing line is only an index into that list, and its cells
// are cut out of the line when they are asked for, so opening the editor on
// a large list costs four bytes a line and no conversion. Rows are never
// edited in place, only added at the end and deleted.
//
// Writing back: a row of an existing line gives Join(mark, question,
// answers), which is the line itself when it has a "," after its first byte,
// and mark + "," + the whole line when it has none (same question, same
// answers after a later split). Two kinds of line do not survive that
// round trip and are written back exactly as they were read:
//   - an empty line (it has no mark; the join would turn it into ",");
//   - a line that begins with "," (its mark is that comma, and the join
//     would put a second comma in front of its answers).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/text/Encoding.h"

namespace vz {

class WordRows {
 public:
  // The line written back when every row has been deleted: "0ネコ,cat" in
  // the list's encoding.
  static const char* const kFallbackLine;
  static const char* const kUtf8FallbackLine;
  static const char* const kEucJpFallbackLine;

  // The views refer to lines that must stay unchanged while this object
  // lives (the word list's own, while the dialog is open). They are in `enc`,
  // and so are the rows added and the lines written back.
  explicit WordRows(std::vector<std::string_view> lines, codec::Encoding enc = codec::Encoding::Cp932);

  int Count() const { return static_cast<int>(rows_.size()); }
  codec::Encoding TextEncoding() const { return encoding_; }

  // Cell `column` (0 mark, 1 question, 2 answers) of row `row`, as bytes
  // (a view into the line, valid while the rows are unchanged). The mark of
  // an existing line is its first byte (nothing for an empty line);
  // question and answers are the line's split.
  std::string_view Cell(int row, int column) const;

  // A new row with the mark "0" at the end.
  void Append(std::string question, std::string answers);
  // Removes `count` rows starting at `first`; the rows below move up.
  void Remove(int first, int count);

  // The word lines the rows stand for, in row order; the fallback line alone
  // when there is no row.
  std::vector<std::string> Lines() const;

 private:
  struct Added {
    std::string question;
    std::string answers;
  };

  std::string Line(int row) const;

  std::vector<std::string_view> lines_;
  // >= 0: index into lines_; < 0: ~index into added_.
  std::vector<std::int32_t> rows_;
  std::vector<Added> added_;
  codec::Encoding encoding_;
};

}  // namespace vz
