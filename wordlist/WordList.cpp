#include "wordlist/WordList.h"

#include <climits>
#include <cstring>
#include <stdexcept>

#include "wordlist/Error.h"
#include "wordlist/WordLine.h"

namespace vz {

void WordList::CheckIndex(int index) const {
  if (index < 0 || index >= Count()) throw IndexError(index);
}

std::uint32_t WordList::After(std::uint32_t end) const {
  const char* t = text_.data();
  return end + (t[end] == '\r' && end + 1 < text_.size() && t[end + 1] == '\n' ? 2 : 1);
}

std::string_view WordList::InText(int index) const {
  const auto i = static_cast<size_t>(index);
  const std::uint32_t begin = i == 0 ? 0 : After(ends_[i - 1]);
  // A file changed under a mapping may no longer have its line ends where
  // they were found: never a negative length.
  return {text_.data() + begin, ends_[i] > begin ? ends_[i] - begin : 0};
}

template <class Fn>
void WordList::ForEach(Fn&& fn) const {
  std::uint32_t begin = 0;
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
  ends_.clear();
  ends_.shrink_to_fit();
  moved_.clear();
}

void WordList::Load(const std::string& path) {
  FileStamp stamp;
  TextBuffer text;
  std::vector<std::uint32_t> ends;
  bool bytesAfterNul = false;
  try {
    text = TextBuffer::Read(path, kMaxBytes, &stamp);
    // Room for lines of 8 bytes on average; pages of it that stay unused
    // are never touched.
    ends.reserve(text.size() / 8 + 16);
    const char* base = text.data();
    const size_t length = ForEachLine({base, text.size()}, &bytesAfterNul, [&](std::string_view v) {
      ends.push_back(static_cast<std::uint32_t>(v.data() + v.size() - base));
    });
    // Bytes after a NUL are not the list's: added lines go after the NUL.
    text.Truncate(length);
    if (ends.size() > static_cast<size_t>(INT_MAX)) throw OpenError(path);
  } catch (...) {
    boundPath_ = path;
    stamp_ = {};
    owned_ = false;
    throw;
  }
  text_ = std::move(text);
  ends_ = std::move(ends);
  moved_.clear();
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
  // Another program cut the file short while it was mapped.
  if (text_.Damaged()) return SaveResult::ChangedOnDisk;
  // The lines no longer read from the file they are written over.
  text_.Detach();
  // Written through a small reused buffer rather than one copy of the
  // whole file.
  stamp_ = WriteFileAtomic(path, [this](const WriteFn& write) {
    constexpr std::size_t kChunk = 256 * 1024;
    std::string buf;
    buf.reserve(kChunk + 64);
    bool ok = true;
    ForEach([&](size_t, std::string_view line) {
      if (!ok) return;
      if (buf.size() + line.size() + 2 > kChunk && !buf.empty()) {
        ok = write(buf);
        buf.clear();
      }
      if (line.size() + 2 > kChunk) {
        ok = ok && write(line) && write("\r\n");
        return;
      }
      buf.append(line).append("\r\n");
    });
    return ok && write(buf);
  });
  boundPath_ = path;
  owned_ = true;
  return SaveResult::Saved;
}

// Both replace one byte of a line in place and never insert one.
void WordList::MarkAnswered(int index) {
  CheckIndex(index);
  if (auto it = moved_.find(index); it != moved_.end()) {
    if (!it->second.empty()) it->second[0] = kLineAnswered;
  } else if (!InText(index).empty()) {
    *MutableInText(index) = kLineAnswered;
  }
}

void WordList::ResetPass() {
  auto reset = [](char& mark) {
    // Written only where it changes: a mapped file's page is copied on its
    // first write.
    if (mark != kLineComment && mark != kLineToAsk) mark = kLineToAsk;
  };
  ForEach([&](size_t i, std::string_view line) {
    if (line.empty()) return;
    if (line.data() >= text_.data() && line.data() < text_.data() + text_.size()) {
      reset(*MutableInText(static_cast<int>(i)));
    } else {
      reset(moved_.find(static_cast<int>(i))->second[0]);
    }
  });
}

}  // namespace vz
