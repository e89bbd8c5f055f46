#pragma once
// The bytes of a word file while its lines are in use.
//
// A big file is mapped privately from the page cache rather than copied:
// a fresh copy costs a first-touch page fault per 4 KB, which on a file of
// some megabytes is most of the program's start-up. Pages the program
// changes (a line's state mark) become private copies; the file itself is
// never written through the mapping. Should another program cut the file
// short meanwhile, the pages past its new end read as zeros instead of
// ending the program, and the buffer reports itself changed; so it does
// when the mapped file was written to since it was read.
// Small files, and files that cannot be mapped, are read into memory of
// their own.
#include <cstddef>
#include <string>
#include <string_view>

#include "core/files/ReadFile.h"

namespace vz {

class TextBuffer {
 public:
  TextBuffer() = default;
  TextBuffer(TextBuffer&& other) noexcept;
  TextBuffer& operator=(TextBuffer&& other) noexcept;
  TextBuffer(const TextBuffer&) = delete;
  TextBuffer& operator=(const TextBuffer&) = delete;
  ~TextBuffer();

  // The whole regular file at `path`. Anything else, a file larger than
  // `maxBytes` (refused from its size, before any byte is read), or memory
  // that cannot be had, raises OpenError(path). `stamp` receives the
  // identity of the file as it was opened.
  static TextBuffer Read(const std::string& path, std::size_t maxBytes, FileStamp* stamp);

  char* data() { return data_; }
  const char* data() const { return data_; }
  std::size_t size() const { return size_; }

  // Forgets the bytes from `size` on.
  void Truncate(std::size_t size);
  // Appends `bytes`; the buffer may move. Raises std::length_error past
  // `maxBytes`.
  void Append(std::string_view bytes, std::size_t maxBytes);
  // Writable room for `n` bytes after the ones held, for a caller that
  // makes bytes in place rather than copying them in: it writes some, then
  // keeps them with Extend. The buffer may move; pages never written cost
  // no memory.
  char* Room(std::size_t n);
  // Keeps the first `n` bytes written into the room Room gave; raises
  // std::length_error for more than that room.
  void Extend(std::size_t n);
  // Copies a mapped file into memory of the buffer's own, so that nothing
  // done to the file from now on (a save that rewrites it in place) can
  // reach the bytes. The file is checked once the copy is made: a change
  // that reached the copy keeps the buffer changed.
  void Detach();
  // The bytes may no longer be the ones read: the mapped file was cut short
  // under the buffer (some bytes read as zeros) or written since it was
  // read or accepted.
  bool Changed() const;
  // Takes the mapped file as it is now for unchanged: a save that renamed a
  // new file over it changed its link count, not its bytes.
  void AcceptFile();

 private:
  void Release();
  void Grow(std::size_t capacity);
  // Maps the open file `fd` of `size` bytes, which it then keeps (`fd`
  // becomes -1); false when it cannot be mapped and guarded.
  bool Map(int& fd, std::size_t size, const FileStamp& stamp);
  // Reads the open file `fd`, which fstat said holds `size` bytes, to its
  // end; false when reading fails, memory cannot be had, or it holds more
  // than `maxBytes`.
  bool ReadAll(int fd, std::size_t size, std::size_t maxBytes);

  char* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t mapped_ = 0;  // length of the mapping (0: no memory)
  int guard_ = -1;          // slot of the file mapping's fault guard, or -1
  int fd_ = -1;             // the mapped file, kept open to see changes to it
  FileStamp stamp_;         // the mapped file when it was read or accepted
  bool damaged_ = false;    // a change seen before Detach
};

}  // namespace vz
