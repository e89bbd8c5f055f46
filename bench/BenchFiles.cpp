#include "BenchFiles.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

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
  static const std::string dir = [] {
    const char* base = std::getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/vevez-bench-XXXXXX";
    if (!::mkdtemp(tmpl.data())) throw std::runtime_error("cannot make " + tmpl);
    static std::string removeAtExit;
    removeAtExit = tmpl;
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(removeAtExit, ec);
    });
    return tmpl;
  }();
  return dir;
}

}  // namespace vz::bench
