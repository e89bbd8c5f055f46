#include "core/files/ReadFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "core/files/Error.h"
#include "core/files/Fd.h"
#include "core/files/HugePages.h"

namespace vz {
namespace {

FileStamp FromStat(const struct stat& st) {
  FileStamp s;
  s.exists = true;
  s.dev = st.st_dev;
  s.ino = st.st_ino;
  s.size = static_cast<std::uint64_t>(st.st_size);
  s.mtimeNs = std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  s.ctimeNs = std::int64_t(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
  return s;
}

// Reads `fd` to its end into `data`, which holds room for the size fstat
// gave; false with errno set when a read fails.
bool ReadToEnd(int fd, std::string& data) {
  std::size_t got = 0;
  for (;;) {
    ssize_t n;
    if (got < data.size()) {
      n = ::read(fd, data.data() + got, data.size() - got);
      if (n > 0) got += static_cast<std::size_t>(n);
    } else {
      // All the bytes fstat promised are in. Look for more (the file grew
      // meanwhile) through a small buffer: growing the whole string just to
      // meet the end of the file would copy all of it.
      char more[16384];
      n = ::read(fd, more, sizeof more);
      if (n > 0) got = data.append(more, static_cast<std::size_t>(n)).size();
    }
    if (n > 0 || (n < 0 && errno == EINTR)) continue;
    data.resize(got);
    return n == 0;
  }
}

}  // namespace

FileStamp StampOf(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return {};
  return FromStat(st);
}

FileStamp StampOfOpenFile(int fd) {
  struct stat st;
  if (::fstat(fd, &st) != 0) return {};
  return FromStat(st);
}

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::optional<std::string> TryReadRegularFile(const std::string& path, int& err, FileStamp* stamp,
                                              std::size_t maxBytes) {
  // O_NONBLOCK keeps open() from waiting for a writer on a FIFO; the file
  // type is checked on the descriptor before anything is read.
  Fd f(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  struct stat st;
  if (f.fd < 0 || ::fstat(f.fd, &st) != 0) {
    err = errno;
    return std::nullopt;
  }
  if (!S_ISREG(st.st_mode)) {
    err = S_ISDIR(st.st_mode) ? EISDIR : kNotAFile;
    return std::nullopt;
  }
  if (static_cast<std::uint64_t>(st.st_size) > maxBytes) {
    err = EFBIG;
    return std::nullopt;
  }
  std::string data;
  data.reserve(static_cast<std::size_t>(st.st_size));
  AdviseHugePages(data.data(), data.capacity());
  data.resize(static_cast<std::size_t>(st.st_size));
  if (!ReadToEnd(f.fd, data) || data.size() > maxBytes) {
    err = data.size() > maxBytes ? EFBIG : errno;
    return std::nullopt;
  }
  if (stamp) *stamp = FromStat(st);
  return data;
}

std::string ReadRegularFile(const std::string& path, FileStamp* stamp) {
  int err = 0;
  std::optional<std::string> data = TryReadRegularFile(path, err, stamp);
  if (!data) throw OpenError(path);
  return std::move(*data);
}

}  // namespace vz
