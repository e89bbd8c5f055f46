// The counting layer around the C++ global allocator.
//
// Every replaceable form of operator new and operator delete is defined here,
// so the executable that links these objects routes its own allocations and
// those of every library it loads (Qt, libstdc++, plug-ins) through them.
// Each form passes the request on to the C allocator unchanged and adds one
// comparison and one counter change: +1 when a block was handed out, -1 when
// a non-null pointer is given back. There is no per-block bookkeeping.
//
// The counter is an atomic because Qt and the audio library run threads of
// their own; relaxed ordering is enough for a figure that is read once, at
// the very end of the process. It is constant-initialised, so it counts from
// the first allocation of the process, before any constructor has run.

#include "leakcheck/MemCheck.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace vz::memcheck {
namespace {

struct alignas(64) Counter {
  std::atomic<int> blocks{0};
  // What one obtained block adds; 0 once counting has stopped. Keeping it a
  // value rather than a flag keeps the hot path free of a second branch.
  std::atomic<int> step{1};
};

constinit Counter counter;

inline void CountObtained() noexcept {
  counter.blocks.fetch_add(counter.step.load(std::memory_order_relaxed), std::memory_order_relaxed);
}

inline void CountReleased() noexcept {
  counter.blocks.fetch_sub(counter.step.load(std::memory_order_relaxed), std::memory_order_relaxed);
}

// Blocks set aside: an open-addressing table of their addresses. Only the
// thread in a SetAside adds to it; any thread may take a block out when it
// releases it. A slot goes from empty to a block, and back to `kGone` (never
// to empty again), so a search can stop at the first empty slot.
constexpr int kSlotBits = 15;
constexpr std::size_t kSlots = std::size_t{1} << kSlotBits;
constexpr int kProbes = 64;
void* const kGone = &counter;
constinit std::atomic<void*> slots[kSlots] = {};
constinit std::atomic<int> held{0};
constinit thread_local bool settingAside = false;

std::size_t SlotOf(const void* p) noexcept {
  return static_cast<std::size_t>((reinterpret_cast<std::uintptr_t>(p) >> 4) * 0x9E3779B97F4A7C15u >>
                                  (64 - kSlotBits));
}

bool Remember(void* p) noexcept {
  for (std::size_t i = SlotOf(p), n = 0; n < kProbes; ++n, i = (i + 1) % kSlots) {
    void* seen = slots[i].load(std::memory_order_relaxed);
    if ((seen == nullptr || seen == kGone) &&
        slots[i].compare_exchange_strong(seen, p, std::memory_order_release, std::memory_order_relaxed)) {
      held.fetch_add(1, std::memory_order_release);
      return true;
    }
  }
  return false;
}

// True when `p` was set aside; it is then no longer.
bool Forget(void* p) noexcept {
  for (std::size_t i = SlotOf(p), n = 0; n < kProbes; ++n, i = (i + 1) % kSlots) {
    void* seen = slots[i].load(std::memory_order_acquire);
    if (seen == nullptr) return false;
    if (seen == p) {
      slots[i].store(kGone, std::memory_order_relaxed);
      held.fetch_sub(1, std::memory_order_relaxed);
      return true;
    }
  }
  return false;
}

// A new block: counted, unless this thread sets it aside.
inline void Obtained(void* p) noexcept {
  if (!settingAside || !Remember(p)) CountObtained();
}

// The standard obtain loop: ask the C allocator, and on failure let the
// installed new-handler free memory and try again; no handler means failure.
void* ObtainOrThrow(std::size_t size) {
  if (size == 0) size = 1;  // every request gets a distinct block
  for (;;) {
    if (void* p = std::malloc(size)) return p;
    std::new_handler handler = std::get_new_handler();
    if (!handler) throw std::bad_alloc();
    handler();
  }
}

void* ObtainAlignedOrThrow(std::size_t size, std::align_val_t alignment) {
  if (size == 0) size = 1;
  std::size_t align = static_cast<std::size_t>(alignment);
  if (align < sizeof(void*)) align = sizeof(void*);  // posix_memalign's minimum
  for (;;) {
    void* p = nullptr;
    if (posix_memalign(&p, align, size) == 0) return p;
    std::new_handler handler = std::get_new_handler();
    if (!handler) throw std::bad_alloc();
    handler();
  }
}

// The nothrow forms behave like the throwing ones with the exception turned
// into a null result (a new-handler may throw too).
void* ObtainOrNull(std::size_t size) noexcept {
  try {
    return ObtainOrThrow(size);
  } catch (...) {
    return nullptr;
  }
}

void* ObtainAlignedOrNull(std::size_t size, std::align_val_t alignment) noexcept {
  try {
    return ObtainAlignedOrThrow(size, alignment);
  } catch (...) {
    return nullptr;
  }
}

// The throwing paths never return null, so they count without a test.
void* Obtain(std::size_t size) {
  void* p = ObtainOrThrow(size);
  Obtained(p);
  return p;
}

void* ObtainAligned(std::size_t size, std::align_val_t alignment) {
  void* p = ObtainAlignedOrThrow(size, alignment);
  Obtained(p);
  return p;
}

void* ObtainNothrow(std::size_t size) noexcept {
  void* p = ObtainOrNull(size);
  if (p) Obtained(p);
  return p;
}

void* ObtainAlignedNothrow(std::size_t size, std::align_val_t alignment) noexcept {
  void* p = ObtainAlignedOrNull(size, alignment);
  if (p) Obtained(p);
  return p;
}

// Aligned blocks come from posix_memalign, which free() releases too. A
// set-aside block leaves the table before it is freed, so that its address,
// handed out again, is never mistaken for it.
void Release(void* p) noexcept {
  if (p) {
    const bool setAside = held.load(std::memory_order_acquire) > 0 && Forget(p);
    std::free(p);
    if (!setAside) CountReleased();
  }
}

}  // namespace

SetAside::SetAside() noexcept : outer_(!settingAside) { settingAside = true; }
SetAside::~SetAside() {
  if (outer_) settingAside = false;
}

int SetAsideHeld() noexcept { return held.load(std::memory_order_relaxed); }

int Count() noexcept { return counter.blocks.load(std::memory_order_relaxed); }

int Stop() noexcept {
  counter.step.store(0, std::memory_order_relaxed);
  return counter.blocks.load(std::memory_order_relaxed);
}

}  // namespace vz::memcheck

namespace mc = vz::memcheck;

// Plain.
void* operator new(std::size_t size) { return mc::Obtain(size); }
void* operator new[](std::size_t size) { return mc::Obtain(size); }
void operator delete(void* p) noexcept { mc::Release(p); }
void operator delete[](void* p) noexcept { mc::Release(p); }

// Nothrow.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return mc::ObtainNothrow(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return mc::ObtainNothrow(size); }
void operator delete(void* p, const std::nothrow_t&) noexcept { mc::Release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { mc::Release(p); }

// Sized.
void operator delete(void* p, std::size_t) noexcept { mc::Release(p); }
void operator delete[](void* p, std::size_t) noexcept { mc::Release(p); }

// Aligned.
void* operator new(std::size_t size, std::align_val_t al) { return mc::ObtainAligned(size, al); }
void* operator new[](std::size_t size, std::align_val_t al) { return mc::ObtainAligned(size, al); }
void operator delete(void* p, std::align_val_t) noexcept { mc::Release(p); }
void operator delete[](void* p, std::align_val_t) noexcept { mc::Release(p); }

// Aligned and nothrow.
void* operator new(std::size_t size, std::align_val_t al, const std::nothrow_t&) noexcept {
  return mc::ObtainAlignedNothrow(size, al);
}
void* operator new[](std::size_t size, std::align_val_t al, const std::nothrow_t&) noexcept {
  return mc::ObtainAlignedNothrow(size, al);
}
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { mc::Release(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { mc::Release(p); }

// Sized and aligned.
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { mc::Release(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { mc::Release(p); }
