#include "core/files/Sync.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "core/files/Fd.h"

namespace vz {
namespace {

int SystemSync(int fd, SyncOf) { return ::fsync(fd); }
SyncFn g_sync = SystemSync;

}  // namespace

SyncFn ReplaceSyncStep(SyncFn sync) { return std::exchange(g_sync, sync); }

int Sync(int fd, SyncOf what) { return g_sync(fd, what); }

// A directory the user may write to but not read cannot be opened to be
// synced; its entries are then left to the file system.
bool SyncDir(const std::string& dir, SyncOf what) {
  Fd d(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return d.fd < 0 ? errno == EACCES : g_sync(d.fd, what) == 0;
}

}  // namespace vz
