#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "music/audio_library.h"

namespace vorlith {

// The sample of the show's sound (44100 a second, counted from the start of
// the show) at which frame k of a run at fps begins: k * 44100 / fps rounded
// to the nearest sample, halves up. The sound of frames s..e-1 is samples
// audioSampleAt(s)..audioSampleAt(e)-1, so clips that meet at a frame meet
// at a sample, without a gap or an overlap.
uint64_t audioSampleAt(uint64_t frame, uint32_t fps);

// Renders `count` stereo sample frames (interleaved 16-bit, 44100 Hz) of the
// module at path, beginning `first` samples into the song. The song is always
// played from its start, so a part is exactly the same samples as that part
// of the whole. Where the module is missing or unreadable, or has ended, the
// sound is silence. False only when the module could not be read (the
// samples are then all silent). Stops early, leaving the rest silent, when a
// capture is interrupted.
bool renderModuleAudio(const std::filesystem::path& path, uint64_t first, uint64_t count, std::vector<int16_t>& samples);

// A 44100 Hz 16-bit stereo WAV file of interleaved samples, byte for byte.
std::vector<uint8_t> wavBytes(const std::vector<int16_t>& samples);

}  // namespace vorlith
