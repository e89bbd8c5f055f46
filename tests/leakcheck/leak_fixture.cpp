#include "leak_fixture.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

// Filled by the library's constructor, freed by its destructor.
std::vector<std::string> words = {std::string(64, 'a'), std::string(64, 'b'), std::string(64, 'c')};
std::map<int, std::unique_ptr<int>> table = [] {
  std::map<int, std::unique_ptr<int>> m;
  for (int i = 0; i < 5; ++i) m.emplace(i, std::make_unique<int>(i));
  return m;
}();

void* volatile leaked = nullptr;

}  // namespace

namespace leak_fixture {

int WordCount() { return static_cast<int>(words.size() + table.size()); }

void LeakOneBlock() { leaked = new int[4]{1, 2, 3, 4}; }

}  // namespace leak_fixture
