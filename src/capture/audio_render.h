#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "music/audio_library.h"

namespace vorlith {


// Sample frames of sound that go with a capture of `frames` pictures at `fps`:
// the same span of time, rounded to the nearest sample.
uint64_t audioFramesForSpan(uint64_t frames, uint32_t fps);

// Renders the module at path from startMs on into `frames` stereo sample
// frames (interleaved 16-bit, 44100 Hz). Where the module is missing or
// unreadable, or has ended, the sound is silence. False only when the module
// could not be read (the samples are then all silent).
bool renderModuleAudio(const std::string& path, uint32_t startMs, uint64_t frames, std::vector<int16_t>& samples);

// Writes interleaved 16-bit stereo samples as a 44100 Hz WAV file.
bool writeWav(const std::string& path, const std::vector<int16_t>& samples);

}  // namespace vorlith
