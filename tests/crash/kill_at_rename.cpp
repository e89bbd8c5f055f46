// Preloaded into the program by crash_save_test.sh: kills the process with
// SIGKILL just before or just after the Nth rename into the directory
// VZ_KILL_DIR (VZ_KILL_AT is "before:N" or "after:N"), so that a crash can
// be placed at every step of a save. Both rename and renameat2 (the swap a
// replacement makes) count.
#include <dlfcn.h>
#include <fcntl.h>

#include <csignal>
#include <cstdlib>
#include <cstring>

namespace {

// Calls `real` between the kills the environment asks for at the rename to `to`.
template <class F>
int Around(const char* to, F&& real) {
  static int renames = 0;
  const char* dir = std::getenv("VZ_KILL_DIR");
  const char* at = std::getenv("VZ_KILL_AT");
  const char* colon = at ? std::strchr(at, ':') : nullptr;
  const bool hit =
      dir && colon && std::strncmp(to, dir, std::strlen(dir)) == 0 && ++renames == std::atoi(colon + 1);
  if (hit && at[0] == 'b') std::raise(SIGKILL);
  const int result = real();
  if (hit) std::raise(SIGKILL);
  return result;
}

}  // namespace

extern "C" int rename(const char* from, const char* to) noexcept {
  using Rename = int (*)(const char*, const char*);
  const auto real = reinterpret_cast<Rename>(::dlsym(RTLD_NEXT, "rename"));
  return Around(to, [&] { return real(from, to); });
}

extern "C" int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned flags) noexcept {
  using Renameat2 = int (*)(int, const char*, int, const char*, unsigned);
  const auto real = reinterpret_cast<Renameat2>(::dlsym(RTLD_NEXT, "renameat2"));
  return Around(to, [&] { return real(fromDir, from, toDir, to, flags); });
}
