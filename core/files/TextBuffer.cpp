#include "core/files/TextBuffer.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <mutex>
#include <stdexcept>
#include <utility>

#include "core/files/Error.h"
#include "core/files/Fd.h"

namespace vz {
namespace {

// Files from this size on are mapped; smaller ones cost little to copy.
constexpr std::size_t kMapFrom = 512 * 1024;
constexpr std::size_t kHugePage = 2 * 1024 * 1024;

std::size_t PageSize() {
  static const std::size_t size = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  return size;
}

std::size_t RoundToPages(std::size_t n) { return (n + PageSize() - 1) & ~(PageSize() - 1); }

// ---- fault guard for file mappings ------------------------------------------
//
// Touching a page of a file mapping that lies wholly past the file's end
// raises SIGBUS. The handler puts zero pages over the rest of such a mapping
// and marks it damaged; the access then goes on. Faults elsewhere get the
// disposition that was there before.

struct GuardSlot {
  std::atomic<std::uintptr_t> begin{0}, end{0};
  std::atomic<bool> damaged{false};
};
GuardSlot gSlots[8];
struct sigaction gPrevious {};

void OnBusError(int sig, siginfo_t* info, void* context) {
  const auto at = reinterpret_cast<std::uintptr_t>(info->si_addr);
  for (GuardSlot& s : gSlots) {
    const std::uintptr_t begin = s.begin.load(), end = s.end.load();
    if (begin == 0 || at < begin || at >= end) continue;
    const std::uintptr_t page = at & ~(PageSize() - 1);
    void* p = ::mmap(reinterpret_cast<void*>(page), end - page, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
    if (p != MAP_FAILED) {
      s.damaged.store(true);
      return;
    }
  }
  if ((gPrevious.sa_flags & SA_SIGINFO) && gPrevious.sa_sigaction) {
    gPrevious.sa_sigaction(sig, info, context);
    return;
  }
  if (gPrevious.sa_handler != SIG_DFL && gPrevious.sa_handler != SIG_IGN && gPrevious.sa_handler) {
    gPrevious.sa_handler(sig);
    return;
  }
  ::signal(sig, SIG_DFL);
  ::raise(sig);
}

// A free slot for the mapping [p, p + n), or -1.
int GuardMapping(char* p, std::size_t n) {
  static std::once_flag installed;
  std::call_once(installed, [] {
    PageSize();  // known before any fault needs it
    struct sigaction sa {};
    sa.sa_sigaction = OnBusError;
    sa.sa_flags = SA_SIGINFO;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGBUS, &sa, &gPrevious);
  });
  for (int i = 0; i < static_cast<int>(std::size(gSlots)); ++i) {
    std::uintptr_t expected = 0;
    GuardSlot& s = gSlots[i];
    if (s.begin.compare_exchange_strong(expected, 1)) {  // reserved, matches no address yet
      s.damaged.store(false);
      s.end.store(reinterpret_cast<std::uintptr_t>(p) + n);
      s.begin.store(reinterpret_cast<std::uintptr_t>(p));
      return i;
    }
  }
  return -1;
}

void Unguard(int slot) {
  if (slot < 0) return;
  gSlots[slot].end.store(0);
  gSlots[slot].begin.store(0);
}

}  // namespace

TextBuffer::TextBuffer(TextBuffer&& other) noexcept { *this = std::move(other); }

TextBuffer& TextBuffer::operator=(TextBuffer&& other) noexcept {
  if (this != &other) {
    Release();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    mapped_ = std::exchange(other.mapped_, 0);
    guard_ = std::exchange(other.guard_, -1);
    fd_ = std::exchange(other.fd_, -1);
    stamp_ = other.stamp_;
    damaged_ = std::exchange(other.damaged_, false);
  }
  return *this;
}

TextBuffer::~TextBuffer() { Release(); }

void TextBuffer::Release() {
  Unguard(guard_);
  if (mapped_) ::munmap(data_, mapped_);
  if (fd_ >= 0) ::close(fd_);
  data_ = nullptr;
  size_ = mapped_ = 0;
  guard_ = fd_ = -1;
  damaged_ = false;
}

bool TextBuffer::Changed() const {
  if (damaged_) return true;
  if (guard_ < 0) return false;
  // The size and times of the open file, whatever its name is now: a write
  // through any name, or a cut, shows here.
  return gSlots[guard_].damaged.load() || StampOfOpenFile(fd_) != stamp_;
}

void TextBuffer::AcceptFile() {
  if (fd_ >= 0) stamp_ = StampOfOpenFile(fd_);
}

// Anonymous memory of at least `capacity` bytes, keeping the bytes held.
void TextBuffer::Grow(std::size_t capacity) {
  capacity = RoundToPages(capacity);
  if (capacity <= mapped_) return;
  void* p = !mapped_ ? ::mmap(nullptr, capacity, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0)
                     : ::mremap(data_, mapped_, capacity, MREMAP_MAYMOVE);
  if (p == MAP_FAILED) throw std::bad_alloc();
  // Large buffers fill in 2 MiB pages where the system offers them: a
  // fault each 2 MiB instead of each 4 KiB.
  if (capacity >= kHugePage) ::madvise(p, capacity, MADV_HUGEPAGE);
  data_ = static_cast<char*>(p);
  mapped_ = capacity;
}

char* TextBuffer::Room(std::size_t n) {
  Detach();
  if (n > mapped_ - size_) Grow(size_ + n);
  return data_ + size_;
}

void TextBuffer::Extend(std::size_t n) {
  if (n > mapped_ - size_) throw std::length_error("past the room of a text buffer");
  size_ += n;
}

void TextBuffer::Detach() {
  if (guard_ < 0) return;
  void* p = ::mmap(nullptr, RoundToPages(size_ ? size_ : 1), PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) throw std::bad_alloc();
  if (size_) std::memcpy(p, data_, size_);
  const bool damaged = Changed();
  const std::size_t size = size_;
  Release();
  data_ = static_cast<char*>(p);
  size_ = size;
  mapped_ = RoundToPages(size ? size : 1);
  damaged_ = damaged;
}

void TextBuffer::Truncate(std::size_t size) {
  if (size < size_) size_ = size;
}

void TextBuffer::Append(std::string_view bytes, std::size_t maxBytes) {
  if (bytes.empty()) return;
  if (bytes.size() > maxBytes - size_) throw std::length_error("word list too large");
  Detach();
  if (size_ + bytes.size() > mapped_) Grow(std::max(size_ + bytes.size(), 2 * mapped_));
  std::memcpy(data_ + size_, bytes.data(), bytes.size());
  size_ += bytes.size();
}

bool TextBuffer::Map(int& fd, std::size_t size, const FileStamp& stamp) {
  // Not populated ahead: the faults on first reading map some sixteen
  // pages each, which costs less than populating every page here.
  void* p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE, fd, 0);
  if (p == MAP_FAILED) return false;
  data_ = static_cast<char*>(p);
  size_ = mapped_ = size;
  guard_ = GuardMapping(data_, size);
  if (guard_ < 0) {
    Release();  // no guard to spare: read it instead
    return false;
  }
  fd_ = std::exchange(fd, -1);
  stamp_ = stamp;
  return true;
}

bool TextBuffer::ReadAll(int fd, std::size_t size, std::size_t maxBytes) {
  // Read to the end, which may lie past the size fstat gave (a file growing
  // meanwhile, or one of the kernel's own that states no size).
  try {
    Grow(size ? size : 4096);
    for (;;) {
      if (size_ >= maxBytes) {
        // Full: a file that still has more is too large, not cut short.
        char probe;
        return ::read(fd, &probe, 1) == 0;
      }
      if (size_ == mapped_) Grow(std::min(2 * mapped_, maxBytes));
      const ssize_t n = ::read(fd, data_ + size_, std::min(mapped_, maxBytes) - size_);
      if (n == 0) return true;
      if (n > 0) {
        size_ += static_cast<std::size_t>(n);
      } else if (errno != EINTR) {
        return false;
      }
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
}

TextBuffer TextBuffer::Read(const std::string& path, std::size_t maxBytes, FileStamp* stamp) {
  // O_NONBLOCK keeps open() from waiting for a writer on a FIFO; the file
  // type is checked on the descriptor before anything is read.
  Fd f(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  struct stat st;
  if (f.fd < 0 || ::fstat(f.fd, &st) != 0 || !S_ISREG(st.st_mode)) throw OpenError(path);
  const auto size = static_cast<std::size_t>(st.st_size);
  if (size > maxBytes) throw OpenError(path);
  *stamp = StampOfOpenFile(f.fd);
  TextBuffer b;
  if (size >= kMapFrom && b.Map(f.fd, size, *stamp)) return b;
  if (!b.ReadAll(f.fd, size, maxBytes)) throw OpenError(path);
  return b;
}

}  // namespace vz
