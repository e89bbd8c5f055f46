#pragma once
// The program's count of blocks obtained through the C++ global allocator
// (every form of operator new) and not yet released (every form of operator
// delete). The counting layer itself lives in MemCheck.cpp; linking the
// vevez_memcheck object library into an executable installs it for the whole
// process, from its first allocation, and reports unreleased blocks when the
// process ends (LeakReport.cpp).
//
// malloc and friends are not counted: the C libraries below Qt keep blocks
// that nobody ever frees.

namespace vz::memcheck {

// Blocks obtained and not yet released, as far as the layer has seen them.
// A signed 32-bit figure: it can go below 0 when a block obtained elsewhere
// is released through operator delete.
int Count() noexcept;

// Stops counting for the rest of the process and returns the count at that
// moment: from then on no operator new or delete changes it. The leak report
// calls it first so that its own allocations do not change the figure.
int Stop() noexcept;

// From now on the leak report at exit goes to standard error instead of the
// warning box. For a shutdown started by a signal or by the session
// manager, when nobody may be there to close a box.
void ReportOnStandardError() noexcept;

// While one is open on a thread, the blocks that thread obtains are set
// aside: they are not counted, and releasing one later, from any thread, is
// not counted either, so the figure stays exact for every other block. For
// a library's one-time set-up that the program starts but does not own (the
// graphics driver that a display connection loads, with state it keeps for
// the life of the process). Set-aside blocks are remembered one by one, up
// to a fixed number; beyond it blocks are counted as usual, so a leak can
// only ever be shown, never hidden.
class SetAside {
 public:
  SetAside() noexcept;
  ~SetAside();
  SetAside(const SetAside&) = delete;
  SetAside& operator=(const SetAside&) = delete;

 private:
  bool outer_;
};

// How many set-aside blocks are still held.
int SetAsideHeld() noexcept;

}  // namespace vz::memcheck
