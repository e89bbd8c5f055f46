#include "core/text/TextModel.h"

#include <iterator>
#include <memory>
#include <utility>

namespace vz::codec {
namespace {

struct ClassRange {
  char32_t first, last;
  CharClass cls;
};
struct CharCost {
  char32_t c;
  std::uint8_t cost;
};

#include "core/text/TextModel.inc"

constexpr char32_t kHalfFirst = 0xFF61, kHalfLast = 0xFF9F;
constexpr int kUnassignedCost = 255;

CharClass RangeClass(char32_t c) {
  for (const ClassRange& r : kClassRanges) {
    if (c >= r.first && c <= r.last) return r.cls;
  }
  return CharClass::kFar;
}

}  // namespace

char32_t JisChar(int row, int cell) { return kJis[(row - 1) * 94 + cell - 1]; }
char32_t Jis0212Char(int row, int cell) { return kJis0212[(row - 1) * 94 + cell - 1]; }

const Model& Model::Get() {
  // Built on first use and released at exit like any other static, so that
  // the leak report at exit does not count it.
  static const std::unique_ptr<const Model> model = [] {
    auto m = std::make_unique<Model>();
    for (char32_t c = 0; c < 0x10000; ++c) {
      const CharClass k = RangeClass(c);
      m->cls[c] = static_cast<std::uint8_t>(k);
      m->cost[c] = kFloor[static_cast<int>(k)];
    }
    for (const CharCost& c : kCharCosts) {
      if (c.c < 0x10000) m->cost[c.c] = c.cost;
    }
    m->cost[kUnassigned] = kUnassignedCost;
    return std::unique_ptr<const Model>(std::move(m));
  }();
  return *model;
}

CharClass Model::ClassOf(char32_t c) const { return c < 0x10000 ? CharClass(cls[c]) : RangeClass(c); }

int Model::Cost(char32_t c, CharClass k, int context, char32_t before) const {
  if (k == CharClass::kHalfKana && context == static_cast<int>(CharClass::kHalfKana) &&
      before >= kHalfFirst && before <= kHalfLast) {
    return kHalfPairs[(before - kHalfFirst) * 63 + (c - kHalfFirst)];
  }
  const int own = c < 0x10000 ? cost[c] : kFloor[static_cast<int>(k)];
  return kTransition[context][static_cast<int>(k)] + own;
}

int Model::FollowCost(CharClass k, Follow next) { return kFollow[static_cast<int>(k)][next]; }

}  // namespace vz::codec
