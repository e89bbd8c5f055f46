#include "core/quiz/QuizRandom.h"

#include <chrono>

namespace vz {

void QuizRandom::SeedFromClock() {
  using namespace std::chrono;
  const auto ms = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
  seed = static_cast<std::uint32_t>(ms % (24LL * 60 * 60 * 1000));
}

}  // namespace vz
