// Fuzzes the word-file round trip: arbitrary bytes are loaded as a word file,
// saved, and loaded again. Checks that the lines follow the line-end rules,
// that a save writes every line with CR LF and loses nothing on reload, that
// a second save gives the same bytes, that text cut short at a NUL is never
// written back over its file, and that the line helpers agree with each other.
// Each input also goes through as UTF-8-shaped text (with a byte-order mark
// when its first byte is odd), and that text as a UTF-16 file: the encoding
// found at load must never change between two loads of the same lines, nor
// through marking and resetting.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "core/text/Convert.h"
#include "core/text/Encoding.h"
#include "core/wordlist/WordLine.h"
#include "core/wordlist/WordList.h"
#include "support/Files.h"
#include "support/Fuzz.h"
#include "support/WordLines.h"

namespace {

using vz::test::Check;
using vz::test::FuzzScratchBase;
using vz::test::ReadBytes;
using vz::test::WriteBytes;

// The line-end rules, written out plainly: CR, LF and CR LF each end a line,
// a NUL ends the text, a last line without an end still counts, and an end
// at the very end adds no empty line.
std::vector<std::string> ExpectedLines(std::string_view text) {
  std::vector<std::string> lines;
  std::string line;
  bool open = false;  // bytes since the last line end
  for (size_t i = 0; i < text.size() && text[i] != '\0'; ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(line);
      line.clear();
      open = false;
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      line.push_back(c);
      open = true;
    }
  }
  if (open) lines.push_back(line);
  return lines;
}

void CheckLineHelpers(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    Check(line.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos,
          "a line holds CR, LF or NUL");
    Check(vz::Askable(line) == (!line.empty() && line[0] != '1' && line[0] != ';'), "Askable");

    const vz::SplitLine s = vz::Split(line);
    const auto comma = line.find(',');
    if (comma == std::string::npos) {
      Check(s.question.empty() && s.answers == line, "Split without a comma");
    } else {
      const std::string mark = line.substr(0, comma == 0 ? 0 : 1);
      Check(vz::Join(mark, s.question, s.answers) == line, "Join does not undo Split");
      Check(s.question.find(',') == std::string::npos, "question holds a comma");
    }
  }

  // Marking and resetting change at most the first byte of a line.
  vz::WordList list;
  for (const auto& l : lines) list.Add(l);
  for (int i = 0; i < list.Count(); ++i) list.MarkAnswered(i);
  for (int i = 0; i < list.Count(); ++i) {
    const std::string& was = lines[static_cast<size_t>(i)];
    const std::string now(list.Get(i));
    Check(now.size() == was.size(), "MarkAnswered changed the length");
    Check(was.empty() || (now[0] == '1' && now.compare(1, std::string::npos, was, 1) == 0), "MarkAnswered");
  }
  list.Clear();
  for (const auto& l : lines) list.Add(l);
  list.ResetPass();
  for (int i = 0; i < list.Count(); ++i) {
    const std::string& was = lines[static_cast<size_t>(i)];
    const std::string now(list.Get(i));
    Check(now.size() == was.size(), "ResetPass changed the length");
    if (!was.empty()) {
      Check(now[0] == (was[0] == ';' ? ';' : '0'), "ResetPass mark");
      Check(now.compare(1, std::string::npos, was, 1) == 0, "ResetPass touched more than the mark");
    }
  }
}

// Fuzz bytes as mostly valid UTF-8: ASCII bytes (line ends, marks, commas,
// NUL) stay; 0xFF stays too, as a broken byte; any other byte of 0x80 or
// more takes the next two bytes with it to make one character of any length.
std::string Utf8Shaped(std::string_view in) {
  std::string out;
  for (size_t i = 0; i < in.size(); ++i) {
    const auto b = static_cast<unsigned char>(in[i]);
    if (b < 0x80 || b == 0xFF) {
      out += in[i];
      continue;
    }
    std::uint32_t c = b & 0x7F;
    for (int k = 0; k < 2 && i + 1 < in.size(); ++k) c = c << 8 | static_cast<unsigned char>(in[++i]);
    c = 0x80 + c % (0x110000 - 0x80);
    if (c >= 0xD800 && c < 0xE000) c = 0xFFFD;
    const int n = c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
    out += static_cast<char>((0xFF00 >> n & 0xFF) | c >> (6 * (n - 1)));
    for (int k = n - 2; k >= 0; --k) out += static_cast<char>(0x80 | (c >> (6 * k) & 0x3F));
  }
  return out;
}

// Marks never change a list's encoding: after marking and resetting every
// line, the saved file still loads in the same encoding (or is plain ASCII,
// which is code page 932 by rule), with its byte-order mark. (Unless its
// encoding was told unstable: see codec::Detected.)
void CheckMarksKeepEncoding(vz::WordList& list, const std::string& path) {
  const bool stable = vz::codec::DetectEncoding(ReadBytes(path)).stable;
  for (int i = 0; i < list.Count(); ++i) list.MarkAnswered(i);
  list.ResetPass();
  Check(list.Save(path) == vz::WordList::SaveResult::Saved, "save after marking declined");
  vz::WordList again;
  again.Load(path);
  const std::string saved = ReadBytes(path);
  const bool ascii = std::all_of(saved.begin(), saved.end(), [](char c) { return (c & 0x80) == 0; });
  Check(again.FileEncoding() == list.FileEncoding() || ascii || !stable,
        "marking turned a list into another encoding");
  Check(again.HasBom() == list.HasBom(), "marking lost the byte-order mark");
}

// UTF-8-shaped text as a UTF-16 file with its byte-order mark: it loads as
// the same lines, saves back byte for byte in its own byte order, and keeps
// its encoding through marking.
void Utf16RoundTrip(std::string text, bool bigEndian) {
  std::erase_if(text, [](char c) { return c == '\xFF' || c == '\0'; });
  const vz::codec::Encoding enc = bigEndian ? vz::codec::Encoding::Utf16Be : vz::codec::Encoding::Utf16Le;
  const std::string bom(vz::codec::BomOf(enc));
  const std::string units = vz::codec::FromUtf8(enc, text).value();
  const vz::test::TempDir dir("vevez-fuzz", FuzzScratchBase());
  const std::string path = dir / "utf16.txt";
  WriteBytes(path, bom + units);
  vz::WordList list;
  list.Load(path);
  Check(list.FileEncoding() == enc && list.Problem() == vz::WordList::LoadProblem::None,
        "UTF-16 file at load");
  const std::vector<std::string> expected = ExpectedLines(text);
  Check(vz::test::LinesOf(list) == expected, "UTF-16 lines differ from the line-end rules");
  Check(list.Save(path) == vz::WordList::SaveResult::Saved, "UTF-16 save declined");
  Check(ReadBytes(path) == bom + *vz::codec::FromUtf8(enc, vz::test::CrLfText(expected)),
        "UTF-16 saved bytes");
  CheckMarksKeepEncoding(list, path);
}

void RoundTrip(std::string_view bytes) {
  const vz::test::TempDir dir("vevez-fuzz", FuzzScratchBase());
  const std::string in = dir / "in.txt";
  const std::string out = dir / "out.txt";
  WriteBytes(in, bytes);

  vz::WordList first;
  first.Load(in);
  // The encoding is told from the bytes up to a NUL; a byte-order mark is
  // not part of line 0, and every save writes it back.
  const vz::codec::Detected found = vz::codec::DetectEncoding(bytes.substr(0, bytes.find('\0')));
  Check(first.FileEncoding() == found.encoding && first.HasBom() == (found.bom != 0),
        "encoding found at load");
  // UTF-16 and UTF-32 files: see Utf16RoundTrip.
  if (found.bom == 2 || first.Problem() == vz::WordList::LoadProblem::UnknownEncoding) return;
  const std::string bom(found.bom ? vz::codec::kUtf8Bom : "");
  const std::vector<std::string> expected = ExpectedLines(bytes.substr(bom.size()));
  Check(vz::test::LinesOf(first) == expected, "loaded lines differ from the line-end rules");
  CheckLineHelpers(expected);

  // Text that stopped at a NUL with more after it is never written back.
  const void* nul = std::memchr(bytes.data(), '\0', bytes.size());
  const bool cut = nul && static_cast<const char*>(nul) + 1 < bytes.data() + bytes.size();
  const std::string file = bom + vz::test::CrLfText(expected);
  if (cut) {
    Check(first.Save(in) == vz::WordList::SaveResult::NotOwned, "saved over a file cut at a NUL");
    Check(ReadBytes(in) == bytes, "file cut at a NUL was changed");
  } else {
    Check(first.Save(in) == vz::WordList::SaveResult::Saved, "save over the loaded file declined");
    Check(ReadBytes(in) == file, "saved bytes over the loaded file");
  }

  Check(first.Save(out) == vz::WordList::SaveResult::Saved, "save to a new file declined");
  Check(ReadBytes(out) == file, "saved bytes");
  Check(first.Save(out) == vz::WordList::SaveResult::Saved, "saving again over its own file declined");

  vz::WordList second;
  second.Load(out);
  Check(vz::test::LinesOf(second) == expected, "lines changed through a save and load");
  Check(second.FileEncoding() == first.FileEncoding() && second.HasBom() == first.HasBom(),
        "the encoding changed between two loads of the same lines");
  Check(second.Save(out) == vz::WordList::SaveResult::Saved, "second save declined");
  Check(ReadBytes(out) == file, "second save gave other bytes");
  CheckMarksKeepEncoding(second, out);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  RoundTrip(bytes);
  const std::string shaped = Utf8Shaped(bytes);
  RoundTrip(size > 0 && data[0] % 2 ? std::string(vz::codec::kUtf8Bom) + shaped : shaped);
  Utf16RoundTrip(shaped, size > 0 && data[0] % 4 >= 2);
  return 0;
}
