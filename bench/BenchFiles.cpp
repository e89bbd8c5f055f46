#include "BenchFiles.h"

#include "support/Files.h"

namespace vz::bench {
namespace {
std::string& PathStore() {
  static std::string path;
  return path;
}
}  // namespace

const std::string& WordFilePath() { return PathStore(); }
void SetWordFilePath(std::string path) { PathStore() = std::move(path); }

const char* NoWordFileMessage() {
  return "no word file: pass its path or set VEVEZ_BENCH_WORDS "
         "(make one with: bash /work/shared/tools/make-wordfile.sh -K -o /tmp/edict-words.txt)";
}

const std::string& ScratchDir() {
  static const test::TempDir dir("vevez-bench");  // removed at exit
  return dir.path();
}

}  // namespace vz::bench
