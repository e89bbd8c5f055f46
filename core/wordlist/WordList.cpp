#include "core/wordlist/WordList.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <stdexcept>

#include "core/files/AtomicFile.h"
#include "core/files/Error.h"
#include "core/text/Convert.h"
#include "core/text/Utf16.h"
#include "core/wordlist/WordLine.h"

namespace vz {

using namespace std::string_view_literals;

void WordList::CheckIndex(int index) const {
  if (index < 0 || index >= Count()) throw IndexError(index);
}

std::uint32_t WordList::After(std::uint32_t end) const {
  const char* t = text_.data();
  return end + (t[end] == '\r' && end + 1 < text_.size() && t[end + 1] == '\n' ? 2 : 1);
}

std::string_view WordList::InText(int index) const {
  const auto i = static_cast<size_t>(index);
  const std::uint32_t begin = i == 0 ? begin_ : After(ends_[i - 1]);
  // A file changed under a mapping may no longer have its line ends where
  // they were found: never a negative length.
  return {text_.data() + begin, ends_[i] > begin ? ends_[i] - begin : 0};
}

template <class Fn>
void WordList::ForEach(Fn&& fn) const {
  std::uint32_t begin = begin_;
  for (size_t i = 0; i < ends_.size(); ++i) {
    const std::uint32_t end = ends_[i];
    std::string_view line(text_.data() + begin, end > begin ? end - begin : 0);
    if (!moved_.empty()) {
      if (auto it = moved_.find(static_cast<int>(i)); it != moved_.end()) line = it->second;
    }
    fn(i, line);
    if (i + 1 < ends_.size()) begin = After(end);
  }
}

std::string_view WordList::Get(int index) const {
  CheckIndex(index);
  if (!moved_.empty()) {
    if (auto it = moved_.find(index); it != moved_.end()) return it->second;
  }
  return InText(index);
}

void WordList::Put(int index, std::string_view line) {
  CheckIndex(index);
  if (auto it = moved_.find(index); it != moved_.end()) {
    it->second.assign(line);
    return;
  }
  if (InText(index).size() != line.size()) {
    moved_[index] = std::string(line);
  } else if (!line.empty()) {
    std::memmove(MutableInText(index), line.data(), line.size());
  }
}

void WordList::Add(std::string_view line) {
  if (ends_.size() >= static_cast<size_t>(INT_MAX)) throw std::length_error("word list too long");
  // The last line read from the file may have no line end, or end in a CR
  // that an added line starting with LF would pair with: give it an LF.
  if (!ends_.empty()) {
    const std::uint32_t last = ends_.back();
    if (last == text_.size() || (last + 1 == text_.size() && text_.data()[last] == '\r')) {
      text_.Append("\n", kMaxBytes);
    }
  }
  text_.Append(line, kMaxBytes);
  ends_.push_back(static_cast<std::uint32_t>(text_.size()));
  text_.Append("\n", kMaxBytes);
}

void WordList::Clear() {
  text_ = TextBuffer();
  begin_ = 0;
  ends_.clear();
  ends_.shrink_to_fit();
  moved_.clear();
}

namespace {

// A UTF-16 file's text as UTF-8, converted straight into the buffer that
// then holds it; a unit that did not decode is a BrokenUtf16 `problem`.
TextBuffer FromUtf16(std::string_view units, bool bigEndian, WordList::LoadProblem& problem) {
  TextBuffer utf8;
  char* const room = utf8.Room(codec::Utf8Room(units.size()));
  const codec::Utf8Written written = codec::Utf16ToUtf8(units, bigEndian, room);
  if (written.length > WordList::kMaxBytes) throw std::length_error("word list too large");
  utf8.Extend(written.length);
  if (!written.clean) problem = WordList::LoadProblem::BrokenUtf16;
  return utf8;
}

}  // namespace

void WordList::Load(const std::string& path) {
  FileStamp stamp;
  TextBuffer text;
  std::vector<std::uint32_t> ends;
  codec::Detected encoding;
  bool bytesAfterNul = false;
  LoadProblem problem = LoadProblem::None;
  try {
    text = TextBuffer::Read(path, kMaxBytes, &stamp);
    std::string_view all(text.data(), text.size());
    if (all.starts_with("\xFF\xFE\0\0"sv) || all.starts_with("\0\0\xFE\xFF"sv)) {
      problem = LoadProblem::UnknownEncoding;
    } else if (const codec::Detected d = codec::DetectEncoding(all.substr(0, 2)); d.bom == 2) {
      // UTF-16 is held as UTF-8, so that the lines work as in any other
      // file: converted in one pass as it is read.
      encoding = d;
      text = FromUtf16(all.substr(d.bom), d.encoding == codec::Encoding::Utf16Be, problem);
      all = std::string_view(text.data(), text.size());
    }
    // A byte-order mark is not part of line 0 (a UTF-16 file's is gone).
    const std::size_t begin =
        encoding.bom != 2 && all.starts_with(codec::kUtf8Bom) ? codec::kUtf8Bom.size() : 0;
    // Room for lines of 8 bytes on average; pages of it that stay unused
    // are never touched.
    ends.reserve(text.size() / 8 + 16);
    // Lines are scanned a piece of about kPiece bytes at a time, each cut after a
    // LF, so that a piece is checked as UTF-8 while it is still in the
    // processor's cache.
    constexpr std::size_t kPiece = 256 * 1024;
    // UTF-16 converted is UTF-8 by making, its encoding told already: its
    // text is not checked again.
    codec::Seen seen{false, encoding.bom != 2, encoding.bom != 2};
    std::size_t length = begin;
    for (std::string_view rest = all.substr(begin);;) {
      std::string_view piece = rest;
      if (rest.size() > kPiece) {
        if (const void* lf = std::memchr(rest.data() + kPiece, '\n', rest.size() - kPiece)) {
          piece = rest.substr(0, static_cast<std::size_t>(static_cast<const char*>(lf) - rest.data()) + 1);
        }
      }
      const std::size_t n = ForEachLine(piece, nullptr, [&](std::string_view v) {
        ends.push_back(static_cast<std::uint32_t>(v.data() + v.size() - all.data()));
        seen.heads |= !v.empty() && static_cast<unsigned char>(v[0]) >= 0x80;
      });
      length += n;
      seen.utf8 = seen.utf8 && codec::ValidUtf8(piece.substr(0, n));
      seen.eucJp = seen.eucJp && codec::ValidEucJp(piece.substr(0, n));
      if (n < piece.size()) {  // at a NUL
        bytesAfterNul = n + 1 < rest.size();
        break;
      }
      rest.remove_prefix(piece.size());
      if (rest.empty()) break;
    }
    // The encoding is told from the bytes the list holds (up to a NUL).
    if (encoding.bom != 2) encoding = codec::DetectEncoding(all.substr(0, length), seen);
    if (bytesAfterNul && problem == LoadProblem::None) problem = LoadProblem::CutAtNul;
    // Bytes after a NUL are not the list's: added lines go after the NUL.
    text.Truncate(length);
    if (ends.size() > static_cast<size_t>(INT_MAX)) throw OpenError(path);
    begin_ = static_cast<std::uint32_t>(begin);
  } catch (...) {
    boundPath_ = path;
    stamp_ = {};
    owned_ = false;
    throw;
  }
  text_ = std::move(text);
  ends_ = std::move(ends);
  moved_.clear();
  encoding_ = encoding;
  problem_ = problem;
  boundPath_ = path;
  stamp_ = stamp;
  // Text cut short at a NUL, or a file that does not convert back to its
  // bytes, must never be saved back.
  owned_ = problem == LoadProblem::None;
}

void WordList::Disown(const std::string& path) {
  Clear();
  boundPath_ = path;
  stamp_ = {};
  owned_ = false;
}

void WordList::BindAbsent(const std::string& path) {
  encoding_ = {};
  problem_ = LoadProblem::None;
  boundPath_ = path;
  stamp_ = {};
  owned_ = true;
}

namespace {

// Raised from a save's last check when the lines no longer stand for the
// file they were read from: the save is given up with the file untouched.
struct SourceChanged {};

// Hands bytes to the writer in pieces of a small reused buffer, never
// straight from the mapping to write(): a page that went missing under
// write() would fail it instead of reading as zeros and marking the list
// changed. Bytes are converted from the lines' encoding to the file's where
// the two differ (a UTF-16 list's lines are UTF-8).
class ChunkedOut {
 public:
  static constexpr std::size_t kChunk = 256 * 1024;

  ChunkedOut(AtomicFile& out, codec::Encoding file, bool convert, std::size_t expected)
      : out_(out), file_(file), convert_(convert) {
    buf_.reserve(std::min(kChunk, expected));
  }

  void Put(std::string_view bytes) {
    if (!convert_) return Add(bytes);
    const auto converted = codec::FromUtf8(file_, bytes);
    if (!converted) ok_ = false;
    if (ok_) Add(*converted);
  }

  // False when a piece did not convert or a write failed.
  bool Finish() { return ok_ && out_.Write(buf_); }

 private:
  void Add(std::string_view bytes) {
    while (ok_ && !bytes.empty()) {
      const std::size_t n = std::min(bytes.size(), kChunk - buf_.size());
      buf_.append(bytes.substr(0, n));
      bytes.remove_prefix(n);
      if (buf_.size() == kChunk) {
        ok_ = out_.Write(buf_);
        buf_.clear();
      }
    }
  }

  AtomicFile& out_;
  const codec::Encoding file_;
  const bool convert_;
  std::string buf_;
  bool ok_ = true;
};

}  // namespace

std::optional<WordList::SaveResult> WordList::SaveRefusal(const std::string& path, bool bound) const {
  if (bound && !owned_) return SaveResult::NotOwned;
  const FileStamp now = StampOf(path);
  if (bound && stamp_.exists && !now.exists) return SaveResult::DeletedOnDisk;
  if (bound ? (now.exists && now != stamp_) : now.exists) return SaveResult::ChangedOnDisk;
  if (text_.Changed()) return SaveResult::ChangedOnDisk;
  return std::nullopt;
}

bool WordList::WriteLines(AtomicFile& out) const {
  // Lines as read, each with CR LF: a small file needs no more.
  ChunkedOut chunks(out, encoding_.encoding, encoding_.encoding != TextEncoding(),
                    std::size_t{text_.size()} + 2 * ends_.size() + 3);
  auto put = [&chunks](std::string_view bytes) { chunks.Put(bytes); };
  if (encoding_.bom) put(codec::kUtf8Bom);
  ForEach([&](size_t, std::string_view line) {
    put(line);
    put("\r\n");
  });
  return chunks.Finish();
}

WordList::SaveResult WordList::Save(const std::string& path) {
  const bool bound = path == boundPath_;
  if (const std::optional<SaveResult> refused = SaveRefusal(path, bound)) return *refused;
  // A list read from a mapped file writes its lines straight from the
  // mapping, so another program may cut or rewrite that file while they are
  // read. What was written is trusted only if, after it was written (or, for
  // an in-place rewrite, copied aside), neither the lines' file nor the
  // target changed.
  const FileStamp expected = bound ? stamp_ : FileStamp{};
  const CommitFn check = [&](bool inPlace) {
    // An in-place rewrite overwrites the bytes the lines are read from.
    if (inPlace) text_.Detach();
    if (text_.Changed() || StampOf(path) != expected) throw SourceChanged{};
  };
  try {
    AtomicFile out(path, AtomicFile::Mode::kReplace);
    if (!WriteLines(out)) out.Fail();
    stamp_ = out.Commit(check);
  } catch (const SourceChanged&) {
    return SaveResult::ChangedOnDisk;
  } catch (const ChangedOnDiskError&) {
    return SaveResult::ChangedOnDisk;  // another writer slipped in: its file stays
  }
  // The lines' file, if still mapped, lost a link to the rename.
  text_.AcceptFile();
  boundPath_ = path;
  owned_ = true;
  return SaveResult::Saved;
}

// The mark replaces the line's first byte in place and is never inserted.
// In a UTF-8 or EUC-JP list a line may begin with a multi-byte character (a
// line written without a state mark): the mark then takes the place of that
// whole character, so that the line stays valid and the file is still taken
// for the same encoding when it is loaded again. Code page 932 keeps the
// one-byte rule its files have always had.
void WordList::SetMark(int index, char mark) {
  auto drop = [&](std::string_view line) { return codec::FirstCharLength(TextEncoding(), line) - 1; };
  if (auto it = moved_.find(index); it != moved_.end()) {
    it->second.erase(0, drop(it->second));
    it->second[0] = mark;
    return;
  }
  const std::string_view line = InText(index);
  if (const std::size_t n = drop(line)) {
    moved_[index] = mark + std::string(line.substr(n + 1));
  } else if (line[0] != mark) {  // a mapped file's page is copied on its first write
    *MutableInText(index) = mark;
  }
}

void WordList::MarkAnswered(int index) {
  CheckIndex(index);
  if (!Get(index).empty()) SetMark(index, kLineAnswered);
}

void WordList::ResetPass() {
  ForEach([&](size_t i, std::string_view line) {
    if (!line.empty() && line[0] != kLineComment) SetMark(static_cast<int>(i), kLineToAsk);
  });
}

}  // namespace vz
