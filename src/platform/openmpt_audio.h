#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "music/audio_library.h"

namespace openmpt {
class module;
}

namespace vorlith {

// The audio library the music player talks to, built on libopenmpt (decoding
// the Impulse Tracker module) and SDL2 (sound output at 44100 Hz stereo).
// Without output it still loads and checks the module, so a run that plays no
// sound (a capture) gives the same notices as one that does.
class OpenmptAudio {
 public:
  explicit OpenmptAudio(bool output);
  ~OpenmptAudio();
  OpenmptAudio(const OpenmptAudio&) = delete;
  OpenmptAudio& operator=(const OpenmptAudio&) = delete;

  const AudioLibrary* library() const { return &library_; }

  // Sample frames the output has played from the module that were not
  // silent (read from any thread).
  uint64_t audibleFrames() const { return audibleFrames_.load(); }

 private:
  static void callback(void* self, uint8_t* stream, int length);
  bool init(uint32_t frequency);
  static void noDeviceHint();
  uint32_t load(const AssetFile& file);
  bool start();
  bool play(uint32_t handle, bool reset);
  void setPosition(uint32_t ms);
  void free();

  AudioLibrary library_;
  bool output_;
  AudioState state_;
  uint32_t device_ = 0;
  std::unique_ptr<openmpt::module> module_;
  bool playing_ = false;  // read by the callback with the device locked
  std::atomic<uint64_t> audibleFrames_{0};
};

// Opens a module from its file's bytes with the settings every player here
// uses (the song once, then libopenmpt's short fade at its end; no random
// dither, so a rendering is the same bytes every time). Null with the
// library's error code audioErrorFileFormat when the bytes are not a module.
std::unique_ptr<openmpt::module> openModule(const uint8_t* bytes, size_t size, int& error);

// An audio library that plays nothing and never fails: for a muted run.
const AudioLibrary* silentAudioLibrary();

}  // namespace vorlith
