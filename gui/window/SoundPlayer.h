#pragma once
// Short sound cues played by bare file name, the way the program has always
// played them: asynchronously, with no fallback sound, and a new cue cutting
// off the one still playing. Built on libcanberra, which hands the file to the
// desktop's sound server (PulseAudio or PipeWire) or plays it through ALSA.
#include <string>
#include <vector>

struct ca_context;

namespace vz {

class SoundPlayer {
 public:
  // Cue files not found in the current directory are looked for in `dirs`
  // (each ending in "/"), in order: the executable's directory for a portable
  // program, the user's and the installed data folders for an installed one.
  explicit SoundPlayer(std::vector<std::string> dirs);
  // Ends any cue still playing and closes the connection to the sound
  // server; no thread of the sound library outlives the object.
  ~SoundPlayer();
  SoundPlayer(const SoundPlayer&) = delete;
  SoundPlayer& operator=(const SoundPlayer&) = delete;

  // Starts playing `name` ("yes.wav") and returns at once, without waiting
  // for the sound. A cue still playing is cut off first, even when `name`
  // cannot be played. A missing or unplayable file, or no sound server or
  // device, gives silence: nothing is shown and nothing is thrown. Returns
  // true when the sound was handed to the sound system.
  bool Play(const std::string& name);
  // Cuts off the cue still playing, if any.
  void Stop();

  // The file Play would use for `name`: `name` in the current directory when
  // a regular file of that name is there, else in the first of the cue
  // directories that holds one; empty when none does.
  std::string Locate(const std::string& name) const;

 private:
  bool Open();
  void Close();

  std::vector<std::string> dirs_;
  ca_context* ctx_ = nullptr;
};

}  // namespace vz
