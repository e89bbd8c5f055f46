#include "core/import/Source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "core/files/Error.h"
#include "core/wordlist/WordList.h"

namespace vz::import {

FileSource::FileSource(const std::string& path) : path_(path) {
  // O_NONBLOCK keeps open() from waiting for a writer on a FIFO; the type is
  // checked on the descriptor before anything is read.
  fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  struct stat st;
  if (fd_ < 0 || ::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
    if (fd_ >= 0) ::close(fd_);
    throw OpenError(path);
  }
  opened_ = StampOfOpenFile(fd_);
  if (opened_.size > WordList::kMaxBytes) {
    ::close(fd_);
    throw Error(std::string(OpenError(path, EFBIG).what()) + " (" + std::to_string(opened_.size) +
                " バイト。単語ファイルにできるのは " + std::to_string(WordList::kMaxBytes) +
                " バイトまでです)");
  }
}

FileSource::~FileSource() { ::close(fd_); }

std::size_t FileSource::Read(std::string& out, std::size_t max) {
  const std::size_t had = out.size();
  out.resize(had + max);
  for (;;) {
    const ssize_t n = ::read(fd_, out.data() + had, max);
    if (n >= 0) {
      out.resize(had + static_cast<std::size_t>(n));
      return static_cast<std::size_t>(n);
    }
    if (errno != EINTR) {
      out.resize(had);
      throw OpenError(path_, errno);
    }
  }
}

void FileSource::Rewind() {
  if (::lseek(fd_, 0, SEEK_SET) != 0) throw OpenError(path_, errno);
}

void FileSource::CheckUnchanged() const {
  if (StampOfOpenFile(fd_) != opened_) throw Error("ファイル " + path_ + " は読んでいる間に変更されました");
}

std::size_t MemorySource::Read(std::string& out, std::size_t max) {
  const std::size_t n = std::min(max, bytes_.size() - at_);
  out.append(bytes_.substr(at_, n));
  at_ += n;
  return n;
}

}  // namespace vz::import
