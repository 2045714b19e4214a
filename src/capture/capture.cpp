#include "capture/capture.h"

#include <cstdio>
#include <filesystem>
#include <vector>

#include "capture/atomic_file.h"
#include "capture/audio_render.h"
#include "capture/png_writer.h"
#include "capture/progress.h"
#include "capture/video_export.h"
#include "driver/schedule.h"
#include "driver/show.h"
#include "platform/null_port.h"

namespace vorlith {

namespace {

constexpr const char* modulePath = "music/brimtale.it";

NullRun nullRun(const CaptureOptions& options) {
  NullRun run;
  run.fps = options.fps;
  run.startMs = options.startMs;
  run.frameLimit = options.untilMs ? captureFrameCount(options.fps, options.startMs, options.untilMs) : 0;
  return run;
}

bool endsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

bool writeSound(const CaptureOptions& options, uint64_t frames, const std::string& path) {
  std::vector<int16_t> samples;
  renderModuleAudio(modulePath, options.startMs, audioFramesForSpan(frames, options.fps), samples);
  if (!writeWav(path, samples)) {
    std::fprintf(stderr, "vorlith: can't write %s\n", path.c_str());
    return false;
  }
  return true;
}

int capturePictures(const CaptureOptions& options) {
  std::error_code error;
  std::filesystem::create_directories(options.output, error);
  if (error) {
    std::fprintf(stderr, "vorlith: can't make the directory %s: %s\n", options.output.c_str(),
                 error.message().c_str());
    return 1;
  }
  const uint64_t total = captureFrameCount(options.fps, options.startMs, options.untilMs);
  Progress progress(options.frames.empty() ? total : std::min<uint64_t>(total, *options.frames.rbegin() + 1),
                    options.fps);
  bool failed = false;
  uint64_t written = 0;
  const int status = runNull(nullRun(options), [&](uint64_t frame, const uint32_t* pixels) {
    progress.update(frame + 1);
    if (!options.frames.empty() && !options.frames.count(frame)) return true;
    const std::string path = (std::filesystem::path(options.output) / frameFileName(frame)).string();
    if (!writePng(path, pixels, frameWidth, frameHeight)) {
      std::fprintf(stderr, "vorlith: can't write %s\n", path.c_str());
      failed = true;
      return false;
    }
    ++written;
    // Nothing after the last chosen frame is wanted.
    return options.frames.empty() || frame < *options.frames.rbegin();
  });
  progress.finish();
  if (status != 0 || failed) return 1;
  // The sound goes with a capture of every frame, over the same span.
  if (options.frames.empty() && !writeSound(options, written, (std::filesystem::path(options.output) / "audio.wav").string()))
    return 1;
  std::fprintf(stderr, "vorlith: %llu frames written to %s\n", static_cast<unsigned long long>(written),
               options.output.c_str());
  return 0;
}

int captureSound(const CaptureOptions& options) {
  AtomicFile file(options.output);
  if (!writeSound(options, captureFrameCount(options.fps, options.startMs, options.untilMs), file.temporaryPath()))
    return 1;
  std::string error;
  if (!file.commit(error)) {
    std::fprintf(stderr, "vorlith: %s\n", error.c_str());
    return 1;
  }
  return 0;
}

int captureVideo(const CaptureOptions& options) {
  const std::string ffmpeg = findOnPath("ffmpeg");
  if (ffmpeg.empty()) {
    std::fprintf(stderr,
                 "vorlith: ffmpeg was not found on PATH, so no video can be made.\n"
                 "Install it (apt-get install ffmpeg), or capture PNG frames and the sound with\n"
                 "--capture DIRECTORY, or the sound alone with --capture FILE.wav.\n");
    return 1;
  }
  const uint64_t frames = captureFrameCount(options.fps, options.startMs, options.untilMs);
  AtomicFile sound(options.output + ".wav");  // a scratch file, never committed
  if (!writeSound(options, frames, sound.temporaryPath())) return 1;

  AtomicFile video(options.output);
  VideoEncoder encoder;
  std::string error;
  if (!encoder.start(ffmpeg, video.temporaryPath(), sound.temporaryPath(), frameWidth, frameHeight,
                     options.videoScale, options.fps, error)) {
    std::fprintf(stderr, "vorlith: %s\n", error.c_str());
    return 1;
  }
  Progress progress(frames, options.fps);
  bool pipeBroken = false;
  const int status = runNull(nullRun(options), [&](uint64_t frame, const uint32_t* pixels) {
    progress.update(frame + 1);
    pipeBroken = !encoder.write(pixels);
    return !pipeBroken;
  });
  progress.finish();
  const bool encoded = encoder.finish(error);
  if (status != 0) return 1;
  if (pipeBroken || !encoded) {
    std::fprintf(stderr, "vorlith: the video could not be written: %s\n",
                 encoded ? "ffmpeg stopped reading" : error.c_str());
    return 1;
  }
  if (!video.commit(error)) {
    std::fprintf(stderr, "vorlith: %s\n", error.c_str());
    return 1;
  }
  std::fprintf(stderr, "vorlith: %llu frames written to %s\n", static_cast<unsigned long long>(frames),
               options.output.c_str());
  return 0;
}

}  // namespace

std::string frameFileName(uint64_t frame) {
  char name[32];
  std::snprintf(name, sizeof name, "frame_%06llu.png", static_cast<unsigned long long>(frame));
  return name;
}

uint64_t captureFrameCount(uint32_t fps, uint32_t startMs, uint32_t untilMs) {
  const uint32_t end = untilMs ? untilMs : showLengthMs;
  for (uint64_t k = 0;; ++k)
    if (virtualShowTime(fps, startMs, k) >= end) return untilMs ? k : k + 1;
}

CaptureKind captureKind(const std::string& output) {
  if (endsWith(output, ".mp4")) return CaptureKind::video;
  if (endsWith(output, ".wav")) return CaptureKind::sound;
  return CaptureKind::pictures;
}

int runCapture(const CaptureOptions& options) {
  switch (captureKind(options.output)) {
    case CaptureKind::video: return captureVideo(options);
    case CaptureKind::sound: return captureSound(options);
    case CaptureKind::pictures: break;
  }
  return capturePictures(options);
}

}  // namespace vorlith
