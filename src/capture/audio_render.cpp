#include "capture/audio_render.h"

#include <algorithm>
#include <libopenmpt/libopenmpt.hpp>

#include "platform/asset_files.h"
#include "platform/os.h"
#include "platform/openmpt_audio.h"

namespace vorlith {

uint64_t audioSampleAt(uint64_t frame, uint32_t fps) {
  return (frame * 2 * audioSampleRate + fps) / (2 * uint64_t{fps});
}

bool renderModuleAudio(const std::filesystem::path& path, uint64_t first, uint64_t count,
                       std::vector<int16_t>& samples) {
  samples.assign(count * 2, 0);
  // Read and opened exactly as the live player reads and opens it.
  const AssetFile file = readAssetFile(path);
  if (file.status != AssetStatus::ok) return false;
  int error = audioOk;
  const auto module = openModule(file.bytes.data(), file.bytes.size(), error);
  if (!module) return false;
  constexpr size_t chunk = 4096;
  std::vector<int16_t> skipped(chunk * 2);
  while (first > 0 && !interruptSignal()) {
    const size_t made =
        module->read_interleaved_stereo(audioSampleRate, std::min<uint64_t>(first, chunk), skipped.data());
    if (made == 0) return true;  // the song ended before the part begins
    first -= made;
  }
  uint64_t done = 0;
  while (done < count && !interruptSignal()) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(count - done, chunk));
    const size_t made = module->read_interleaved_stereo(audioSampleRate, want, samples.data() + done * 2);
    if (made == 0) break;  // the song is over: the rest stays silent
    done += made;
  }
  return true;
}

namespace {
void put(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}
}  // namespace

std::vector<uint8_t> wavBytes(const std::vector<int16_t>& samples) {
  std::vector<uint8_t> out;
  const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
  out.reserve(44 + dataBytes);
  for (char c : std::string("RIFF")) out.push_back(static_cast<uint8_t>(c));
  put(out, 36 + dataBytes, 4);
  for (char c : std::string("WAVEfmt ")) out.push_back(static_cast<uint8_t>(c));
  put(out, 16, 4);
  put(out, 1, 2);  // PCM
  put(out, 2, 2);  // stereo
  put(out, audioSampleRate, 4);
  put(out, audioSampleRate * 4, 4);
  put(out, 4, 2);
  put(out, 16, 2);
  for (char c : std::string("data")) out.push_back(static_cast<uint8_t>(c));
  put(out, dataBytes, 4);
  for (int16_t s : samples) put(out, static_cast<uint16_t>(s), 2);
  return out;
}

}  // namespace vorlith
