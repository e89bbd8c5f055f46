// Preloaded into the real program by an end-to-end test: as the process
// ends, one block obtained through the program's operator new and never
// released. The leak report must count exactly this one.
namespace {

int* volatile kept = nullptr;

__attribute__((destructor)) void LeakAtExit() { kept = new int[4]; }

}  // namespace
