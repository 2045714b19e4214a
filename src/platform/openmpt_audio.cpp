#include "platform/openmpt_audio.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <sstream>
#include <libopenmpt/libopenmpt.hpp>

namespace vorlith {

std::unique_ptr<openmpt::module> openModule(const uint8_t* bytes, size_t size, int& error) {
  try {
    std::ostringstream log;  // load warnings stay with the module, not on stderr
    auto module = std::make_unique<openmpt::module>(bytes, size, log);
    module->set_repeat_count(0);
    // No dither on the 16-bit samples: libopenmpt's default draws it at
    // random, so no two renderings of the song would be the same bytes.
    try {
      module->ctl_set_integer("dither", 0);
    } catch (const std::exception&) {
      // A libopenmpt without the setting dithers as it always did.
    }
    error = audioOk;
    return module;
  } catch (const std::exception&) {
    error = audioErrorFileFormat;
    return nullptr;
  }
}

OpenmptAudio::OpenmptAudio(bool output) : output_(output) {
  library_.context = this;
  library_.getVersion = [](void*) { return audioLibraryVersion; };
  library_.init = [](void* c, int, uint32_t frequency, uint32_t) {
    return static_cast<OpenmptAudio*>(c)->init(frequency);
  };
  library_.musicLoad = [](void* c, const AssetFile& file) { return static_cast<OpenmptAudio*>(c)->load(file); };
  library_.start = [](void* c) { return static_cast<OpenmptAudio*>(c)->start(); };
  library_.musicPlayEx = [](void* c, uint32_t handle, uint32_t, int, bool reset) {
    return static_cast<OpenmptAudio*>(c)->play(handle, reset);
  };
  library_.errorGetCode = [](void* c) { return static_cast<OpenmptAudio*>(c)->state_.error; };
  library_.setPositionMs = [](void* c, uint32_t ms) { static_cast<OpenmptAudio*>(c)->setPosition(ms); };
  library_.free = [](void* c) { static_cast<OpenmptAudio*>(c)->free(); };
}

OpenmptAudio::~OpenmptAudio() { free(); }

const AudioLibrary* silentAudioLibrary() {
  static const AudioLibrary silent = [] {
    AudioLibrary a;
    a.getVersion = [](void*) { return audioLibraryVersion; };
    a.init = [](void*, int, uint32_t, uint32_t) { return true; };
    a.musicLoad = [](void*, const AssetFile&) { return AudioState::moduleHandle; };
    a.start = [](void*) { return true; };
    a.musicPlayEx = [](void*, uint32_t, uint32_t, int, bool) { return true; };
    a.errorGetCode = [](void*) { return 0; };
    a.setPositionMs = [](void*, uint32_t) {};
    a.free = [](void*) {};
    return a;
  }();
  return &silent;
}

// The show's own notice names only an error code: this line says what failed
// and how to watch the show anyway.
void OpenmptAudio::noDeviceHint() {
  std::fprintf(stderr, "vorlith: no sound device could be opened (%s); --mute plays the show without sound\n",
               SDL_GetError());
  std::fflush(stderr);
}

bool OpenmptAudio::init(uint32_t frequency) {
  if (state_.open) return state_.fail(audioErrorAlready);
  if (output_) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
      noDeviceHint();
      return state_.fail(audioErrorDevice);
    }
    SDL_AudioSpec want{};
    want.freq = static_cast<int>(frequency);
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = 1024;
    want.callback = [](void* self, Uint8* stream, int length) { callback(self, stream, length); };
    want.userdata = this;
    SDL_AudioSpec have{};
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device_ == 0) {
      noDeviceHint();
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      return state_.fail(audioErrorDevice);
    }
  }
  state_.open = true;
  return state_.succeed();
}

uint32_t OpenmptAudio::load(const AssetFile& file) {
  if (!state_.mayLoad(file)) return 0;
  auto module = openModule(file.bytes.data(), file.bytes.size(), state_.error);
  if (!module) return 0;
  if (output_) SDL_LockAudioDevice(device_);
  module_ = std::move(module);
  playing_ = false;
  if (output_) SDL_UnlockAudioDevice(device_);
  return state_.moduleLoaded();
}

bool OpenmptAudio::start() {
  if (!state_.mayStart()) return false;
  if (output_) SDL_PauseAudioDevice(device_, 0);
  return true;
}

bool OpenmptAudio::play(uint32_t handle, bool reset) {
  if (!state_.mayPlay(handle)) return false;
  if (output_) SDL_LockAudioDevice(device_);
  if (reset) module_->set_position_order_row(0, 0);
  playing_ = true;
  if (output_) SDL_UnlockAudioDevice(device_);
  return true;
}

void OpenmptAudio::setPosition(uint32_t ms) {
  if (!module_) return;
  if (output_) SDL_LockAudioDevice(device_);
  // libopenmpt moves to the start of the row the time falls in; the rest of
  // the way is played and dropped, so the song stands where the clock does.
  const double target = ms / 1000.0;
  const double reached = module_->set_position_seconds(target);
  int64_t skip = target > reached ? static_cast<int64_t>((target - reached) * audioSampleRate + 0.5) : 0;
  int16_t scratch[2 * 1024];
  while (skip > 0) {
    const size_t made = module_->read_interleaved_stereo(
        audioSampleRate, static_cast<size_t>(std::min<int64_t>(skip, 1024)), scratch);
    if (made == 0) break;
    skip -= static_cast<int64_t>(made);
  }
  if (output_) SDL_UnlockAudioDevice(device_);
}

void OpenmptAudio::free() {
  if (output_ && device_ != 0) {
    SDL_CloseAudioDevice(device_);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }
  device_ = 0;
  module_.reset();
  playing_ = false;
  state_.close();
}

void OpenmptAudio::callback(void* context, uint8_t* stream, int length) {
  auto* self = static_cast<OpenmptAudio*>(context);
  auto* samples = reinterpret_cast<int16_t*>(stream);
  const size_t frames = static_cast<size_t>(length) / 4;
  size_t made = 0;
  if (self->playing_ && self->module_) made = self->module_->read_interleaved_stereo(audioSampleRate, frames, samples);
  std::memset(samples + made * 2, 0, (frames - made) * 4);
  uint64_t audible = 0;
  for (size_t i = 0; i < made; ++i) audible += (samples[2 * i] | samples[2 * i + 1]) != 0;
  self->audibleFrames_ += audible;
}

}  // namespace vorlith
