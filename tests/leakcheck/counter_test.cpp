// The counting layer, linked into this test executable as into the program:
// every form of operator new and delete must move the count by exactly one
// block, failures and null pointers must leave it alone.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "leakcheck/MemCheck.h"

namespace {

using vz::memcheck::Count;

constexpr std::size_t kSize = 48;
constexpr std::align_val_t kAlign{128};
const std::nothrow_t& nt = std::nothrow;

// One way to obtain a block and one way to give it back; together the pairs
// below use all eight obtain forms and all twelve release forms.
struct FormPair {
  const char* name;
  void* (*obtain)();
  void (*release)(void*);
  bool aligned;
};

const FormPair kPairs[] = {
    {"new_delete", [] { return ::operator new(kSize); }, [](void* p) { ::operator delete(p); }, false},
    {"new_sizedDelete", [] { return ::operator new(kSize); }, [](void* p) { ::operator delete(p, kSize); },
     false},
    {"new_nothrowDelete", [] { return ::operator new(kSize); }, [](void* p) { ::operator delete(p, nt); },
     false},
    {"array_delete", [] { return ::operator new[](kSize); }, [](void* p) { ::operator delete[](p); }, false},
    {"array_sizedDelete", [] { return ::operator new[](kSize); },
     [](void* p) { ::operator delete[](p, kSize); }, false},
    {"array_nothrowDelete", [] { return ::operator new[](kSize); },
     [](void* p) { ::operator delete[](p, nt); }, false},
    {"nothrowNew_delete", [] { return ::operator new(kSize, nt); }, [](void* p) { ::operator delete(p); },
     false},
    {"nothrowArray_delete", [] { return ::operator new[](kSize, nt); },
     [](void* p) { ::operator delete[](p); }, false},
    {"alignedNew_alignedDelete", [] { return ::operator new(kSize, kAlign); },
     [](void* p) { ::operator delete(p, kAlign); }, true},
    {"alignedNew_sizedAlignedDelete", [] { return ::operator new(kSize, kAlign); },
     [](void* p) { ::operator delete(p, kSize, kAlign); }, true},
    {"alignedNew_alignedNothrowDelete", [] { return ::operator new(kSize, kAlign); },
     [](void* p) { ::operator delete(p, kAlign, nt); }, true},
    {"alignedArray_alignedDelete", [] { return ::operator new[](kSize, kAlign); },
     [](void* p) { ::operator delete[](p, kAlign); }, true},
    {"alignedArray_sizedAlignedDelete", [] { return ::operator new[](kSize, kAlign); },
     [](void* p) { ::operator delete[](p, kSize, kAlign); }, true},
    {"alignedArray_alignedNothrowDelete", [] { return ::operator new[](kSize, kAlign); },
     [](void* p) { ::operator delete[](p, kAlign, nt); }, true},
    {"alignedNothrowNew_alignedDelete", [] { return ::operator new(kSize, kAlign, nt); },
     [](void* p) { ::operator delete(p, kAlign); }, true},
    {"alignedNothrowArray_alignedDelete", [] { return ::operator new[](kSize, kAlign, nt); },
     [](void* p) { ::operator delete[](p, kAlign); }, true},
};

void PrintTo(const FormPair& form, std::ostream* os) { *os << form.name; }

class EveryForm : public ::testing::TestWithParam<FormPair> {};

TEST_P(EveryForm, ObtainCountsOneAndReleaseTakesItBack) {
  const FormPair& form = GetParam();
  const int before = Count();

  void* a = form.obtain();
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(Count(), before + 1);
  void* b = form.obtain();
  ASSERT_NE(b, nullptr);
  EXPECT_NE(a, b);
  EXPECT_EQ(Count(), before + 2);

  // The blocks are real, usable memory with the alignment asked for.
  std::memset(a, 0xA5, kSize);
  std::memset(b, 0x5A, kSize);
  if (form.aligned) {
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(a) % static_cast<std::size_t>(kAlign), 0u);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(b) % static_cast<std::size_t>(kAlign), 0u);
  }

  form.release(a);
  EXPECT_EQ(Count(), before + 1);
  form.release(b);
  EXPECT_EQ(Count(), before);
}

TEST_P(EveryForm, ReleasingNullChangesNothing) {
  const int before = Count();
  GetParam().release(nullptr);
  EXPECT_EQ(Count(), before);
}

INSTANTIATE_TEST_SUITE_P(MemCheck, EveryForm, ::testing::ValuesIn(kPairs),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(MemCheck, NewExpressionsAreCountedAcrossTheStandardLibrary) {
  const int before = Count();
  auto* words = new std::vector<std::string>(3, std::string(100, 'x'));
  // The vector object, its element array and three long strings.
  EXPECT_EQ(Count(), before + 5);
  delete words;
  EXPECT_EQ(Count(), before);

  struct alignas(256) Wide {
    char bytes[256];
  };
  auto* wide = new Wide[4];
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(wide) % 256, 0u);
  EXPECT_EQ(Count(), before + 1);
  delete[] wide;
  EXPECT_EQ(Count(), before);
}

TEST(MemCheck, ZeroSizedRequestsGetDistinctCountedBlocks) {
  const int before = Count();
  void* a = ::operator new(0);
  void* b = ::operator new[](0, kAlign);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_NE(a, b);
  EXPECT_EQ(Count(), before + 2);
  ::operator delete(a);
  ::operator delete[](b, kAlign);
  EXPECT_EQ(Count(), before);
}

// Larger than any address space: the C allocator refuses at once.
constexpr std::size_t kImpossible = std::numeric_limits<std::size_t>::max() / 2;

TEST(MemCheck, FailedNothrowRequestsLeaveTheCountUnchanged) {
  const int before = Count();
  EXPECT_EQ(::operator new(kImpossible, nt), nullptr);
  EXPECT_EQ(::operator new[](kImpossible, nt), nullptr);
  EXPECT_EQ(::operator new(kImpossible, kAlign, nt), nullptr);
  EXPECT_EQ(::operator new[](kImpossible, kAlign, nt), nullptr);
  EXPECT_EQ(Count(), before);
}

TEST(MemCheck, FailedThrowingRequestsThrowBadAllocAndLeaveTheCountUnchanged) {
  const int before = Count();
  EXPECT_THROW((void)::operator new(kImpossible), std::bad_alloc);
  EXPECT_THROW((void)::operator new[](kImpossible), std::bad_alloc);
  EXPECT_THROW((void)::operator new(kImpossible, kAlign), std::bad_alloc);
  EXPECT_THROW((void)::operator new[](kImpossible, kAlign), std::bad_alloc);
  EXPECT_EQ(Count(), before);
}

// A new-handler that gives up on its third call by removing itself.
std::atomic<int> handlerCalls{0};
void GiveUpOnThirdCall() {
  if (++handlerCalls == 3) std::set_new_handler(nullptr);
}

TEST(MemCheck, FailedRequestsRetryThroughTheNewHandlerUntilItGivesUp) {
  const int before = Count();

  handlerCalls = 0;
  std::set_new_handler(&GiveUpOnThirdCall);
  EXPECT_THROW((void)::operator new(kImpossible), std::bad_alloc);
  EXPECT_EQ(handlerCalls, 3);

  handlerCalls = 0;
  std::set_new_handler(&GiveUpOnThirdCall);
  EXPECT_EQ(::operator new[](kImpossible, kAlign, nt), nullptr);
  EXPECT_EQ(handlerCalls, 3);

  // A handler that throws ends a nothrow request with null.
  std::set_new_handler([] { throw std::bad_alloc(); });
  EXPECT_EQ(::operator new(kImpossible, nt), nullptr);
  std::set_new_handler(nullptr);

  EXPECT_EQ(Count(), before);
}

// With the address space capped, a request fails until the new-handler gives
// back a reserve; the retried request then succeeds and is counted once.
TEST(MemCheckDeathTest, NewHandlerThatFreesMemoryLetsTheRequestSucceed) {
  EXPECT_EXIT(
      {
        constexpr std::size_t kChunk = 256u << 20;
        static void* reserve = nullptr;
        const int before = Count();
        // Room for what the process maps now and the reserve, not for the
        // reserve and the request together.
        rlimit limit{};
        getrlimit(RLIMIT_AS, &limit);
        FILE* statm = std::fopen("/proc/self/statm", "r");
        unsigned long pages = 0;
        if (!statm || std::fscanf(statm, "%lu", &pages) != 1) _exit(10);
        std::fclose(statm);
        limit.rlim_cur = pages * static_cast<unsigned long>(sysconf(_SC_PAGESIZE)) + kChunk + kChunk / 2;
        if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(11);
        reserve = std::malloc(kChunk);
        if (!reserve) _exit(12);
        if (std::malloc(kChunk)) _exit(13);  // the cap really bites
        std::set_new_handler([] {
          std::free(reserve);
          reserve = nullptr;
          std::set_new_handler(nullptr);
        });
        void* p = ::operator new(kChunk);
        if (reserve != nullptr) _exit(14);  // the handler must have run
        _exit(p != nullptr && Count() == before + 1 ? 0 : 15);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(MemCheck, ConcurrentThreadsNeitherLoseNorInventBlocks) {
  constexpr int kThreads = 4;
  constexpr int kPairsPerThread = 20000;
  constexpr int kKeptPerThread = 10;
  std::vector<std::vector<void*>> kept(kThreads);
  for (auto& k : kept) k.reserve(kKeptPerThread);
  std::vector<std::thread> threads;
  threads.reserve(kThreads);
  const int before = Count();

  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&kept, t] {
      for (int i = 0; i < kPairsPerThread; ++i) {
        if (i % 2) {
          void* p = ::operator new(32);
          ::operator delete(p, 32);
        } else {
          void* p = ::operator new[](64, kAlign);
          ::operator delete[](p, kAlign);
        }
      }
      for (int i = 0; i < kKeptPerThread; ++i) kept[t].push_back(::operator new(16));
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(Count(), before + kThreads * kKeptPerThread);

  for (auto& k : kept)
    for (void* p : k) ::operator delete(p);
  EXPECT_EQ(Count(), before);
}

// Blocks obtained while set aside (every form) never move the count, whichever
// thread releases them; blocks beyond the table's room are counted.
TEST(MemCheck, SetAsideBlocksNeitherCountNorUncount) {
  std::vector<void*> aside(std::size(kPairs)), many(40000);
  const int before = Count();
  {
    vz::memcheck::SetAside outer, nested;
    for (std::size_t i = 0; i < aside.size(); ++i) aside[i] = kPairs[i].obtain();
    for (void*& p : many) p = ::operator new(8);
  }
  EXPECT_TRUE(Count() > before && Count() < before + 10000) << Count() - before;
  std::thread([&] {
    for (std::size_t i = 0; i < aside.size(); ++i) kPairs[i].release(aside[i]);
  }).join();
  for (void* p : many) ::operator delete(p);
  EXPECT_EQ(Count(), before);
  EXPECT_EQ(vz::memcheck::SetAsideHeld(), 0);
}

TEST(MemCheckDeathTest, StopFreezesTheCount) {
  EXPECT_EXIT(
      {
        void* held = ::operator new(8);
        const int frozen = vz::memcheck::Stop();
        void* later = ::operator new(8);
        ::operator delete(held);
        auto* s = new std::string(200, 'y');
        const bool same = Count() == frozen;
        delete s;
        ::operator delete(later);
        _exit(same && Count() == frozen ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
