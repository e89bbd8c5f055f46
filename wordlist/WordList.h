#pragma once
// The word list: the lines of the current word file, in file order, as bytes.
// It also remembers which file its lines belong to, so that a save never
// overwrites a file it did not read or that changed on disk since, and which
// encoding its lines are in (found once when the file is loaded).
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "codec/Encoding.h"
#include "wordlist/FileIO.h"

namespace vz {

class WordList {
 public:
  enum class SaveResult {
    Saved,
    // The lines do not stand for the file at that path (it could not be read,
    // or only part of it could): the file was left alone.
    NotOwned,
    // The file changed on disk since it was loaded or saved, or appeared where
    // there was none: the file was left alone.
    ChangedOnDisk,
    // The file was deleted since it was loaded or saved (by the user or a
    // sync tool, on purpose): it is not created again.
    DeletedOnDisk,
  };

  WordList() = default;
  WordList(WordList&&) noexcept = default;
  WordList& operator=(WordList&&) noexcept = default;
  // Lines point into storage the list owns: no copies.
  WordList(const WordList&) = delete;
  WordList& operator=(const WordList&) = delete;

  int Count() const { return static_cast<int>(lines_.size()); }
  // Reading or storing outside 0 .. Count()-1 raises IndexError. A line read
  // stays valid until that line is stored again or the list is cleared,
  // loaded or destroyed.
  std::string_view Get(int index) const;
  void Put(int index, std::string_view line);
  void Add(std::string_view line);
  void Clear();

  // The encoding of every line, decided when the file was loaded and kept
  // through clearing and rebuilding (the word editor's result is in it too).
  // A UTF-8 byte-order mark is not part of line 0; Save writes it back.
  codec::Encoding TextEncoding() const { return encoding_.encoding; }
  bool HasBom() const { return encoding_.bom; }

  // Replaces the lines with those of the file. On failure (OpenError) the
  // lines stay as they were, and the list no longer owns `path`: a later save
  // over it is skipped.
  void Load(const std::string& path);
  // The list starts without a file at `path`: saving there creates it, unless
  // a file has appeared there meanwhile. A file the program creates is in
  // code page 932.
  void BindAbsent(const std::string& path);
  // Writes every line with CR LF over `path`, atomically; see SaveResult for
  // when it declines. Raises CreateError or WriteError when writing fails.
  SaveResult Save(const std::string& path);

  // First byte of line `index` becomes "1"; an empty line has none to change.
  void MarkAnswered(int index);
  // Every line that is not empty and not a comment gets the mark "0".
  void ResetPass();

 private:
  void CheckIndex(int index) const;
  // Copies `bytes` into storage that never moves.
  char* Store(std::string_view bytes);

  // A word file's lines are kept as one block of its bytes with a pointer
  // and length for each line, not as one allocation per line: a list of a
  // few hundred thousand lines then loads in a few milliseconds and takes
  // little more memory than its file. Lines stored later go to further
  // blocks; a line stored with its old length is overwritten in place.
  struct Line {
    char* data;
    std::uint32_t size;
  };
  // Puts `mark` at the head of a line that is not empty.
  void SetMark(Line& l, char mark) const;

  std::vector<Line> lines_;
  std::deque<std::string> blocks_;  // a deque never moves its elements
  std::size_t blockFree_ = 0;       // unused bytes at the end of blocks_.back()
  std::string boundPath_;           // the file the lines were read from or saved to
  FileStamp stamp_;                 // that file as it was then
  bool owned_ = false;              // the lines stand for that whole file
  codec::Detected encoding_;        // of the lines, and whether the file had a byte-order mark
};

}  // namespace vz
