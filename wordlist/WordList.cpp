#include "wordlist/WordList.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "wordlist/Error.h"
#include "wordlist/HugePages.h"
#include "wordlist/WordLine.h"

namespace vz {

void WordList::CheckIndex(int index) const {
  if (index < 0 || index >= Count()) throw IndexError(index);
}

std::string_view WordList::Get(int index) const {
  CheckIndex(index);
  const Line& l = lines_[static_cast<size_t>(index)];
  return {l.data, l.size};
}

void WordList::Put(int index, std::string_view line) {
  CheckIndex(index);
  Line& l = lines_[static_cast<size_t>(index)];
  if (l.size == line.size()) {
    if (!line.empty()) std::memmove(l.data, line.data(), line.size());
    return;
  }
  l = {Store(line), static_cast<std::uint32_t>(line.size())};
}

void WordList::Add(std::string_view line) {
  lines_.push_back({Store(line), static_cast<std::uint32_t>(line.size())});
}

void WordList::Clear() {
  lines_.clear();
  blocks_.clear();
  blockFree_ = 0;
}

char* WordList::Store(std::string_view bytes) {
  if (bytes.size() >= UINT32_MAX) throw std::length_error("word line too long");
  constexpr std::size_t kBlock = 64 * 1024;
  if (blocks_.empty() || blockFree_ < bytes.size()) {
    std::string& block = blocks_.emplace_back();
    block.resize(std::max(kBlock, bytes.size()));
    blockFree_ = block.size();
  }
  std::string& block = blocks_.back();
  char* at = block.data() + (block.size() - blockFree_);
  if (!bytes.empty()) std::memcpy(at, bytes.data(), bytes.size());
  blockFree_ -= bytes.size();
  return at;
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
  if (text.size() >= UINT32_MAX) throw OpenError(path);
  Clear();
  // The file's bytes become the first block; the lines point into it.
  std::string& block = blocks_.emplace_back(std::move(text));
  std::string_view body = block;
  // The encoding is told from the bytes the list will hold (up to a NUL).
  encoding_ = codec::DetectEncoding(body.substr(0, body.find('\0')));
  if (encoding_.bom) body.remove_prefix(codec::kUtf8Bom.size());
  bool bytesAfterNul = false;
  // Room for lines of 24 bytes on average, so the index is not copied as it
  // grows; pages of it that stay unused are never touched.
  lines_.reserve(block.size() / 24 + 16);
  AdviseHugePages(lines_.data(), lines_.capacity() * sizeof(Line));
  ForEachLine(body, &bytesAfterNul, [&](std::string_view v) {
    lines_.push_back({block.data() + (v.data() - block.data()), static_cast<std::uint32_t>(v.size())});
  });
  boundPath_ = path;
  stamp_ = stamp;
  // Text cut short at a NUL (a UTF-16 file, say) must never be saved back.
  owned_ = !bytesAfterNul;
}

void WordList::BindAbsent(const std::string& path) {
  encoding_ = {};
  boundPath_ = path;
  stamp_ = {};
  owned_ = true;
}

WordList::SaveResult WordList::Save(const std::string& path) {
  const bool bound = path == boundPath_;
  if (bound && !owned_) return SaveResult::NotOwned;
  const FileStamp now = StampOf(path);
  if (bound && stamp_.exists && !now.exists) return SaveResult::DeletedOnDisk;
  if (bound ? (now.exists && now != stamp_) : now.exists) return SaveResult::ChangedOnDisk;
  // Written through a small reused buffer rather than one copy of the
  // whole file.
  stamp_ = WriteFileAtomic(path, [this](const WriteFn& write) {
    constexpr std::size_t kChunk = 256 * 1024;
    std::string buf;
    buf.reserve(kChunk + 64);
    if (encoding_.bom) buf.append(codec::kUtf8Bom);
    for (const Line& l : lines_) {
      if (buf.size() + l.size + 2 > kChunk && !buf.empty()) {
        if (!write(buf)) return false;
        buf.clear();
      }
      if (l.size + 2 > kChunk) {
        if (!write(std::string_view(l.data, l.size)) || !write("\r\n")) return false;
        continue;
      }
      buf.append(l.data, l.size).append("\r\n");
    }
    return write(buf);
  });
  boundPath_ = path;
  owned_ = true;
  return SaveResult::Saved;
}

// The mark replaces the line's first byte in place and is never inserted.
// In a UTF-8 list a line may begin with a multi-byte character (a line
// written without a state mark): the mark then takes the place of that whole
// character, so that the line stays valid UTF-8 and the file is still taken
// for UTF-8 when it is loaded again.
void WordList::SetMark(Line& l, char mark) const {
  if (encoding_.encoding == codec::Encoding::Utf8) {
    const auto drop = static_cast<std::uint32_t>(std::max(codec::Utf8SequenceAt({l.data, l.size}) - 1, 0));
    l.data += drop;
    l.size -= drop;
  }
  l.data[0] = mark;
}

void WordList::MarkAnswered(int index) {
  CheckIndex(index);
  Line& l = lines_[static_cast<size_t>(index)];
  if (l.size > 0) SetMark(l, kLineAnswered);
}

void WordList::ResetPass() {
  for (Line& l : lines_) {
    if (l.size > 0 && l.data[0] != kLineComment) SetMark(l, kLineToAsk);
  }
}

}  // namespace vz
