#include "wordlist/WordList.h"

#include "wordlist/Error.h"
#include "wordlist/WordLine.h"

namespace vz {

void WordList::CheckIndex(int index) const {
  if (index < 0 || index >= Count()) throw IndexError(index);
}

const std::string& WordList::Get(int index) const {
  CheckIndex(index);
  return lines_[static_cast<size_t>(index)];
}

void WordList::Put(int index, std::string line) {
  CheckIndex(index);
  lines_[static_cast<size_t>(index)] = std::move(line);
}

void WordList::Load(const std::string& path) {
  FileStamp stamp;
  std::string text;
  try {
    text = ReadRegularFile(path, &stamp);
  } catch (...) {
    boundPath_ = path;
    stamp_ = {};
    owned_ = false;
    throw;
  }
  bool bytesAfterNul = false;
  lines_ = SplitLines(text, &bytesAfterNul);
  boundPath_ = path;
  stamp_ = stamp;
  // Text cut short at a NUL (a UTF-16 file, say) must never be saved back.
  owned_ = !bytesAfterNul;
}

void WordList::BindAbsent(const std::string& path) {
  boundPath_ = path;
  stamp_ = {};
  owned_ = true;
}

WordList::SaveResult WordList::Save(const std::string& path) {
  const bool bound = path == boundPath_;
  if (bound && !owned_) return SaveResult::NotOwned;
  const FileStamp now = StampOf(path);
  if (bound ? (now.exists && now != stamp_) : now.exists) return SaveResult::ChangedOnDisk;
  stamp_ = WriteFileAtomic(path, JoinLines(lines_));
  boundPath_ = path;
  owned_ = true;
  return SaveResult::Saved;
}

void WordList::MarkAnswered(int index) {
  std::string line = Get(index);
  if (line.empty()) return;
  line[0] = '1';
  Put(index, std::move(line));
}

void WordList::ResetPass() {
  for (int i = 0; i < Count(); ++i) {
    std::string line = Get(i);
    if (!line.empty() && line[0] != ';') line[0] = '0';
    Put(i, std::move(line));
  }
}

}  // namespace vz
