// Preloaded into the real program by a test: one block obtained through the
// program's operator new as the process ends, and never released.
namespace {
int* volatile kept = nullptr;
__attribute__((destructor)) void LeakAtExit() { kept = new int[4]; }
}  // namespace
