#pragma once
// The source's text as the readers take it, a piece at a time: without its
// byte-order mark, and decoded to UTF-8 as it is read where a reader needs
// that. A reader holds the record it is reading and one piece more, never
// the whole source, so an import's memory does not grow with its source.
#include <cstddef>
#include <string>
#include <string_view>

#include "core/import/Source.h"
#include "core/text/Encoding.h"
#include "core/wordlist/WordLine.h"

namespace vz::import {

// The longest record (a line, a CSV record, a .kvtml entry) an import
// takes. A longer one is skipped and reported, and never held whole.
inline constexpr std::size_t kMaxRecordBytes = std::size_t{1} << 20;

// How a source's bytes are read.
struct Reading {
  codec::Encoding source = codec::Encoding::Cp932;
  std::size_t bom = 0;  // bytes of byte-order mark to pass over
  bool toUtf8 = false;  // decoded to UTF-8 as they are read
  // Bytes that do not decode end the reading (Undecodable); otherwise a
  // decoded text holds U+FFFD for them.
  bool strict = false;
  // The encoding of the text the readers see.
  codec::Encoding Text() const { return toUtf8 ? codec::Encoding::Utf8 : source; }
};

// The reading a byte-order mark at the start of `head` decides (UTF-16 is
// decoded as it is read); bom 0 when there is none.
Reading ByteOrderMark(std::string_view head);

// A place in UTF-8 text: its line (lines end at LF) and column, in
// characters, both from 1.
struct TextPosition {
  std::size_t line = 1, column = 1;
  void Advance(std::string_view utf8);
};

// Thrown by a strict reading (from More) at the first bytes that do not
// decode: they stand after the window's text and then `before`.
struct Undecodable {
  std::string before;
};

class TextWindow {
 public:
  // Reads `source` from its first byte.
  TextWindow(ByteSource& source, const Reading& reading);

  // The text read and not yet consumed.
  std::string_view Text() const { return std::string_view(text_).substr(used_); }
  codec::Encoding Source() const { return reading_.source; }
  // True once the source has no more bytes.
  bool Ended() const { return ended_; }
  // Reads another piece after Text(); it may add nothing when the piece
  // ends inside a character. False once the source has ended.
  bool More();
  void Consume(std::size_t n) { used_ += n; }
  // Consumes through the next line end (CR, LF or CR LF), reading on as
  // far as it takes.
  void SkipLine();
  // Consumes the LF of a CR LF whose CR was the last byte consumed.
  void SkipLfAfterCr();

 private:
  void Decode(std::string_view piece);

  ByteSource& source_;
  Reading reading_;
  std::string text_, raw_;  // raw_: bytes read but not decoded yet
  std::size_t used_ = 0, bomLeft_ = 0;
  bool ended_ = false;
};

// How much of `text` is whole lines: up to its last line end, or all of it
// once the source has ended. A CR at the very end waits for what follows.
std::size_t WholeLines(std::string_view text, bool ended);

// Calls onLine(line, number, tooLong) for each line of `in`, as
// ForEachTextLine ends and numbers them; a line longer than kMaxRecordBytes
// comes empty with tooLong set, and is never held whole.
template <class OnLine>
void ForEachStreamLine(TextWindow& in, OnLine&& onLine) {
  std::size_t number = 0;
  for (;;) {
    const std::string_view text = in.Text();
    if (const std::size_t whole = WholeLines(text, in.Ended()); whole > 0) {
      ForEachTextLine(text.substr(0, whole), [&](std::string_view line, std::string_view) {
        const bool tooLong = line.size() > kMaxRecordBytes;
        onLine(tooLong ? std::string_view() : line, ++number, tooLong);
      });
      in.Consume(whole);
    } else if (text.size() > kMaxRecordBytes) {
      onLine(std::string_view(), ++number, true);
      in.SkipLine();
    } else if (!in.More() && in.Text().empty()) {
      return;
    }
  }
}

}  // namespace vz::import
