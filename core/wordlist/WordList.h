#pragma once
// The word list: the lines of the current word file, in file order, as bytes.
// It also remembers which file its lines belong to, so that a save never
// overwrites a file it did not read or that changed on disk since, and which
// encoding its lines are in (found once when the file is loaded).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/files/ReadFile.h"
#include "core/files/TextBuffer.h"
#include "core/text/Encoding.h"

namespace vz {

class AtomicFile;

class WordList {
 public:
  enum class SaveResult {
    Saved,
    // The lines do not stand for the file at that path (it could not be read,
    // or only part of it could): the file was left alone.
    NotOwned,
    // The file changed on disk since it was loaded or saved, or appeared where
    // there was none, or the file the lines are read from was cut or written
    // before the new content was complete: the file was left alone.
    ChangedOnDisk,
    // The file was deleted since it was loaded or saved (by the user or a
    // sync tool, on purpose): it is not created again.
    DeletedOnDisk,
  };

  // The largest word file the list takes: its lines are found by 32-bit
  // offsets. A larger file is refused as unreadable.
  static constexpr std::size_t kMaxBytes = UINT32_MAX;

  WordList() = default;
  WordList(WordList&&) noexcept = default;
  WordList& operator=(WordList&&) noexcept = default;
  // Lines point into storage the list owns: no copies.
  WordList(const WordList&) = delete;
  WordList& operator=(const WordList&) = delete;

  int Count() const { return static_cast<int>(ends_.size()); }
  // Reading or storing outside 0 .. Count()-1 raises IndexError. A line read
  // stays valid until that line is stored again, a line is added, or the
  // list is cleared, loaded, saved or destroyed.
  std::string_view Get(int index) const;
  void Put(int index, std::string_view line);
  void Add(std::string_view line);
  void Clear();

  // Why a loaded file can never be saved back: its lines do not stand for
  // all of it. The user is told once, right after it loads.
  enum class LoadProblem {
    None,
    CutAtNul,         // bytes follow a NUL (a UTF-32 or BOM-less UTF-16 file, say)
    BrokenUtf16,      // a UTF-16 file with a lone surrogate or an odd length
    UnknownEncoding,  // a UTF-32 byte-order mark
  };

  // The encoding of every line, decided when the file was loaded and kept
  // through clearing and rebuilding (the word editor's result is in it too).
  // A UTF-16 file's lines are held as UTF-8: this is UTF-8 then.
  codec::Encoding TextEncoding() const { return codec::LineEncoding(encoding_.encoding); }
  // The file's own encoding, which Save writes. A byte-order mark is not part
  // of line 0; Save writes it back.
  codec::Encoding FileEncoding() const { return encoding_.encoding; }
  bool HasBom() const { return encoding_.bom != 0; }
  LoadProblem Problem() const { return problem_; }
  // The file the lines were read from, saved to, or stand for (empty until
  // the first Load, BindAbsent or Disown).
  const std::string& Path() const { return boundPath_; }

  // Replaces the lines with those of the file. On failure (OpenError) the
  // lines stay as they were, and the list no longer owns `path`: a later save
  // over it is skipped.
  void Load(const std::string& path);
  // The list starts without a file at `path`: saving there creates it, unless
  // a file has appeared there meanwhile. A file the program creates is in
  // code page 932.
  void BindAbsent(const std::string& path);
  // The list is emptied and stands for nothing of the file at `path`, which
  // stays as it is: a later save over it is skipped (NotOwned).
  void Disown(const std::string& path);
  // Writes every line with CR LF over `path`, atomically; see SaveResult for
  // when it declines. Raises CreateError or WriteError when writing fails.
  SaveResult Save(const std::string& path);

  // First byte of line `index` becomes "1"; an empty line has none to change.
  void MarkAnswered(int index);
  // Every line that is not empty and not a comment gets the mark "0".
  void ResetPass();

 private:
  void CheckIndex(int index) const;
  // Why the lines may not be written over `path` (the file they stand for
  // when `bound`), if they may not.
  std::optional<SaveResult> SaveRefusal(const std::string& path, bool bound) const;
  // Writes every line with CR LF, in the file's encoding; false when a line
  // does not convert or a write failed.
  bool WriteLines(AtomicFile& out) const;
  // Offset of the first byte after the line end at `end`.
  std::uint32_t After(std::uint32_t end) const;
  // Line `index` where it stands in text_ (not what a later store put aside).
  std::string_view InText(int index) const;
  char* MutableInText(int index) { return text_.data() + (InText(index).data() - text_.data()); }
  // Puts `mark` at the head of line `index`, which is not empty.
  void SetMark(int index, char mark);
  // Calls fn(index, line) for every line in order, each line as stored.
  template <class Fn>
  void ForEach(Fn&& fn) const;

  // The lines are the file's bytes as read, with one 32-bit offset a line:
  // where the line ends. A line starts after the previous one's line end
  // (CR, LF or CR LF, as the file has it), line 0 at begin_ (after a
  // byte-order mark), so the list costs little more than its file. Lines added later are appended to the text
  // with an LF. A line stored again with its old length is overwritten in place; one stored with another
  // length is kept aside in moved_.
  TextBuffer text_;
  std::uint32_t begin_ = 0;
  std::vector<std::uint32_t> ends_;
  std::unordered_map<int, std::string> moved_;
  std::string boundPath_;     // the file the lines were read from or saved to
  FileStamp stamp_;           // that file as it was then
  bool owned_ = false;        // the lines stand for that whole file
  codec::Detected encoding_;  // of the file, and whether it had a byte-order mark
  LoadProblem problem_ = LoadProblem::None;
};

}  // namespace vz
