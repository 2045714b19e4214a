#include "capture/audio_render.h"

#include <cstdio>

#include "platform/openmpt_audio.h"
#include <fstream>
#include <algorithm>
#include <libopenmpt/libopenmpt.hpp>

namespace vorlith {

uint64_t audioFramesForSpan(uint64_t frames, uint32_t fps) {
  return (frames * audioSampleRate + fps / 2) / fps;
}

bool renderModuleAudio(const std::string& path, uint32_t startMs, uint64_t frames, std::vector<int16_t>& samples) {
  samples.assign(frames * 2, 0);
  // Opened exactly as the live player opens it.
  int error = audioOk;
  const auto module = openModule(path.c_str(), error);
  if (!module) return false;
  if (startMs > 0) module->set_position_seconds(startMs / 1000.0);
  uint64_t done = 0;
  while (done < frames) {
    const size_t chunk = static_cast<size_t>(std::min<uint64_t>(frames - done, 4096));
    const size_t made = module->read_interleaved_stereo(audioSampleRate, chunk, samples.data() + done * 2);
    if (made == 0) break;  // the song is over: the rest stays silent
    done += made;
  }
  return true;
}

namespace {
void put(std::ofstream& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.put(static_cast<char>((value >> (8 * i)) & 0xFF));
}
}  // namespace

bool writeWav(const std::string& path, const std::vector<int16_t>& samples) {
  std::ofstream out(path, std::ios::binary);
  if (!out) return false;
  const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
  out.write("RIFF", 4);
  put(out, 36 + dataBytes, 4);
  out.write("WAVEfmt ", 8);
  put(out, 16, 4);
  put(out, 1, 2);  // PCM
  put(out, 2, 2);  // stereo
  put(out, audioSampleRate, 4);
  put(out, audioSampleRate * 4, 4);
  put(out, 4, 2);
  put(out, 16, 2);
  out.write("data", 4);
  put(out, dataBytes, 4);
  for (int16_t s : samples) put(out, static_cast<uint16_t>(s), 2);
  out.close();
  return !out.fail();
}

}  // namespace vorlith
