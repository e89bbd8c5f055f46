#include "gui/window/SoundPlayer.h"

#include <canberra.h>
#include <unistd.h>

#include <climits>
#include <utility>

#include "core/files/ReadFile.h"

namespace vz {

namespace {

// Every cue is played under this id, so cancelling it ends whichever cue is
// still sounding.
constexpr uint32_t kCueId = 1;

// Errors that lie in the file itself (missing, unreadable, not a sound it
// can decode). Any other error means the sound system failed.
bool IsFileError(int err) {
  switch (err) {
    case CA_ERROR_NOTFOUND:
    case CA_ERROR_ACCESS:
    case CA_ERROR_IO:
    case CA_ERROR_CORRUPT:
    case CA_ERROR_NOTSUPPORTED:
    case CA_ERROR_TOOBIG:
    case CA_ERROR_INVALID:
      return true;
    default:
      return false;
  }
}

int StartCue(ca_context* ctx, const std::string& path, const std::string& name) {
  // Only the file is named: no event id, so the library never substitutes a
  // sound from the desktop's theme, and nothing is kept in the server's
  // sample cache, so an edited file is heard as it now is.
  return ca_context_play(ctx, kCueId, CA_PROP_MEDIA_FILENAME, path.c_str(), CA_PROP_MEDIA_NAME, name.c_str(),
                         CA_PROP_MEDIA_ROLE, "event", CA_PROP_CANBERRA_CACHE_CONTROL, "never", nullptr);
}

}  // namespace

SoundPlayer::SoundPlayer(std::vector<std::string> dirs) : dirs_(std::move(dirs)) {}

SoundPlayer::~SoundPlayer() { Close(); }

std::string SoundPlayer::Locate(const std::string& name) const {
  if (name.empty()) return {};
  if (name.front() == '/') return IsRegularFile(name) ? name : std::string();
  if (IsRegularFile(name)) {
    char cwd[PATH_MAX];
    if (::getcwd(cwd, sizeof cwd) == nullptr) return name;
    std::string path(cwd);
    if (path.back() != '/') path += '/';
    return path + name;
  }
  for (const std::string& dir : dirs_) {
    if (!dir.empty() && IsRegularFile(dir + name)) return dir + name;
  }
  return {};
}

bool SoundPlayer::Play(const std::string& name) {
  Stop();
  const std::string path = Locate(name);
  if (path.empty()) return false;

  const bool wasOpen = ctx_ != nullptr;
  if (!wasOpen && !Open()) return false;
  int err = StartCue(ctx_, path, name);
  if (err == CA_SUCCESS) return true;
  if (IsFileError(err)) return false;

  // The connection is no good any more; most often the sound server was
  // restarted. Drop it, and when it had been working, try once on a new one
  // so this cue is not lost. Without a server the next cue tries again.
  Close();
  if (!wasOpen || !Open()) return false;
  err = StartCue(ctx_, path, name);
  if (err != CA_SUCCESS && !IsFileError(err)) Close();
  return err == CA_SUCCESS;
}

void SoundPlayer::Stop() {
  if (ctx_) ca_context_cancel(ctx_, kCueId);
}

bool SoundPlayer::Open() {
  ca_context* ctx = nullptr;
  if (ca_context_create(&ctx) != CA_SUCCESS) return false;
  ca_context_change_props(ctx, CA_PROP_APPLICATION_NAME, "VeveZ", CA_PROP_APPLICATION_ID, "vevez", nullptr);
  if (ca_context_open(ctx) != CA_SUCCESS) {
    ca_context_destroy(ctx);
    return false;
  }
  ctx_ = ctx;
  return true;
}

void SoundPlayer::Close() {
  // Destroying the context ends its streams and joins the library's own
  // threads before returning.
  if (ctx_) ca_context_destroy(std::exchange(ctx_, nullptr));
}

}  // namespace vz
