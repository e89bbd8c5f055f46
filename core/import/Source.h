#pragma once
// Where an import reads from: the source file, read in pieces so that only
// a piece of it is held at a time, or bytes already in memory.
#include <cstddef>
#include <string>
#include <string_view>

#include "core/files/ReadFile.h"

namespace vz::import {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Appends up to `max` further bytes to `out`; returns how many (0 at the end).
  virtual std::size_t Read(std::string& out, std::size_t max) = 0;
  // The next Read starts again at the first byte.
  virtual void Rewind() = 0;
};

// A regular file, opened once and read as many times as the import needs.
class FileSource : public ByteSource {
 public:
  // Raises OpenError(path) for anything but a readable regular file (never
  // waiting on a FIFO), and the same, with the size, for a file larger than
  // a word file may be: what it holds could never be loaded.
  explicit FileSource(const std::string& path);
  ~FileSource() override;
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;

  std::size_t Read(std::string& out, std::size_t max) override;
  void Rewind() override;
  // Raises Error when the file changed since it was opened: its passes then
  // read different bytes, and nothing made of them may be kept.
  void CheckUnchanged() const;

 private:
  std::string path_;
  int fd_ = -1;
  FileStamp opened_;
};

class MemorySource : public ByteSource {
 public:
  explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
  std::size_t Read(std::string& out, std::size_t max) override;
  void Rewind() override { at_ = 0; }

 private:
  std::string_view bytes_;
  std::size_t at_ = 0;
};

}  // namespace vz::import
