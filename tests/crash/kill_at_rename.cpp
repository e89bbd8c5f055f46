// Preloaded into the program by crash_save_test.sh: kills the process with
// SIGKILL just before or just after the Nth rename into the directory
// VZ_KILL_DIR (VZ_KILL_AT is "before:N" or "after:N"), so that a crash can
// be placed at every step of a save.
#include <dlfcn.h>

#include <csignal>
#include <cstdlib>
#include <cstring>

extern "C" int rename(const char* from, const char* to) noexcept {
  using Rename = int (*)(const char*, const char*);
  static int renames = 0;
  const auto real = reinterpret_cast<Rename>(::dlsym(RTLD_NEXT, "rename"));
  const char* dir = std::getenv("VZ_KILL_DIR");
  const char* at = std::getenv("VZ_KILL_AT");
  const char* colon = at ? std::strchr(at, ':') : nullptr;
  const bool hit =
      dir && colon && std::strncmp(to, dir, std::strlen(dir)) == 0 && ++renames == std::atoi(colon + 1);
  if (hit && at[0] == 'b') std::raise(SIGKILL);
  const int result = real(from, to);
  if (hit) std::raise(SIGKILL);
  return result;
}
