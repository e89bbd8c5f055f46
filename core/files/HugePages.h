#pragma once
// Big buffers are faulted in 2 MB pages instead of 4 KB ones where the
// system grants them on request: a 13 MB word file then loads without some
// three thousand page faults. Must run before the memory is first touched.
#include <sys/mman.h>

#include <cstddef>
#include <cstdint>

namespace vz {

inline void AdviseHugePages(const void* p, std::size_t n) {
  constexpr std::uintptr_t kHuge = 2 * 1024 * 1024;
  if (n < 2 * kHuge) return;
  const std::uintptr_t begin = (reinterpret_cast<std::uintptr_t>(p) + kHuge - 1) & ~(kHuge - 1);
  const std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(p) + n) & ~(kHuge - 1);
  if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

}  // namespace vz
