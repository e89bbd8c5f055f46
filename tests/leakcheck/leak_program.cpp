// A stand-in for the program in the leak-report tests. It links the counting
// layer and the report like the program does and does some ordinary C++ work:
// globals freed by their destructors (its own and a shared library's),
// function-local statics, a thread, exceptions, iostreams.
//
//   leak_program clean     releases everything it allocates
//   leak_program leak3     leaves exactly three blocks unreleased
//   leak_program unattended  leaks three blocks after asking for the report
//                          on standard error, as a signal-started shutdown does
//   leak_program negative  releases one block it did not obtain through new
//   leak_program exit7     leaks one block and ends with exit status 7
//   leak_program ending    returns while a detached thread still has to
//                          release its block (it does, 100 ms later)
//   leak_program stuck     returns while a detached thread that never ends
//                          holds one block

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "leak_fixture.h"
#include "leakcheck/MemCheck.h"

namespace {

std::map<std::string, std::vector<std::string>> globalTable;

const std::string& Greeting() {
  static const std::string text(80, 'g');
  return text;
}

void* volatile sink[3];

void OrdinaryWork() {
  for (int i = 0; i < 50; ++i)
    globalTable[std::string(40, static_cast<char>('a' + i % 26)) + std::to_string(i)].push_back(
        std::string(30, 'v'));
  std::thread worker([] {
    std::vector<int> v(1000);
    try {
      throw std::runtime_error(std::string(100, 'e'));
    } catch (const std::exception& e) {
      v[0] = static_cast<int>(std::strlen(e.what()));
    }
  });
  worker.join();
  std::cout << "words " << leak_fixture::WordCount() << ", greeting " << Greeting().size() << std::endl;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  OrdinaryWork();
  if (mode == "clean") return 0;
  if (mode == "unattended") vz::memcheck::ReportOnStandardError();
  if (mode == "leak3" || mode == "unattended") {
    // Three forms, one of them inside the shared library.
    sink[0] = new int(3);
    sink[1] = new (std::align_val_t{64}) char[100];
    leak_fixture::LeakOneBlock();
    return 0;
  }
  if (mode == "negative") {
    // A block from malloc given back through operator delete, which passes
    // it on to free: the count ends at -1.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
    ::operator delete(std::malloc(16));
#pragma GCC diagnostic pop
    return 0;
  }
  if (mode == "ending" || mode == "stuck") {
    const bool ends = mode == "ending";
    std::thread([ends] {
      int* block = new int(1);
      if (!ends) {
        for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      delete block;
    }).detach();
    return 0;
  }
  if (mode == "exit7") {
    sink[0] = new int(7);
    std::exit(7);
  }
  std::cerr << "unknown mode\n";
  return 2;
}
