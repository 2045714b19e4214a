#include "capture/capture.h"

#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "capture/atomic_file.h"
#include "capture/audio_render.h"
#include "platform/os.h"
#include "capture/png_writer.h"
#include "capture/progress.h"
#include "capture/video_export.h"
#include "driver/schedule.h"
#include "image/frame_digest.h"
#include "image/image.h"
#include "platform/null_port.h"

namespace vorlith {

namespace {

namespace fs = std::filesystem;

constexpr const char* modulePath = "music/brimtale.it";

// The longest GIF made, and its highest frame rate: GIF frame times are
// whole hundredths of a second, and players slow down shorter ones.
constexpr uint64_t gifLongestSeconds = 30;
constexpr uint32_t gifHighestFps = 50;

constexpr const char* kindsText =
    "  OUT.mp4   a video to play anywhere (H.264 + AAC)\n"
    "  OUT.mkv   an archival video, lossless (FFV1 + FLAC)\n"
    "  OUT.webm  a video for the web (VP9 + Opus)\n"
    "  OUT.gif   a clip for sharing, at most 30 seconds, no sound\n"
    "  OUT.wav   the sound alone; OUT.flac the same, compressed\n"
    "  OUT.txt   the digest of every frame, one line each\n"
    "  OUT       (no extension, or ending in /) a directory of PNG frames and audio.wav";

bool isVideo(CaptureKind kind) {
  return kind == CaptureKind::mp4 || kind == CaptureKind::mkv || kind == CaptureKind::webm || kind == CaptureKind::gif;
}

bool isSound(CaptureKind kind) { return kind == CaptureKind::wav || kind == CaptureKind::flac; }

VideoFormat videoFormat(CaptureKind kind) {
  switch (kind) {
    case CaptureKind::mkv: return VideoFormat::mkv;
    case CaptureKind::webm: return VideoFormat::webm;
    case CaptureKind::gif: return VideoFormat::gif;
    default: return VideoFormat::mp4;
  }
}

// A video's scale: the one asked for, else 4 (1280x800), a GIF 2 (640x400),
// at 4:3 1 (1600x1200).
int videoScale(const CaptureOptions& options, CaptureKind kind) {
  if (options.videoScale > 0) return options.videoScale;
  if (options.aspect) return 1;
  return kind == CaptureKind::gif ? 2 : 4;
}

std::string extensionOf(const std::string& output) { return utf8Path(pathFromUtf8(output).extension()); }

// Prints a failure, unless the capture was interrupted: that has its own words.
void report(const std::string& message) {
  if (!interruptSignal() && !message.empty()) std::fprintf(stderr, "vorlith: %s\n", message.c_str());
}

NullRun nullRun(const CaptureOptions& options, const CaptureSpan& span) {
  NullRun run;
  run.fps = options.fps;
  run.start = options.start;
  run.frameLimit = span.count;
  return run;
}

// The sound of the span as a WAV file. False (with a message in error) when
// the module can't be read: a file of silence would claim to be the music.
bool renderSound(const CaptureOptions& options, const CaptureSpan& span, bool needModule,
                 std::vector<uint8_t>& wav, std::string& error) {
  const uint64_t first = audioSampleAt(span.first, options.fps);
  const uint64_t end = audioSampleAt(span.first + span.count, options.fps);
  std::vector<int16_t> samples;
  if (!renderModuleAudio(modulePath, first, end - first, samples) && needModule) {
    error = writeError(options.output, std::string("the module ") + modulePath + " can't be read");
    return false;
  }
  wav = wavBytes(samples);
  return !interruptSignal();
}

std::string countText(uint64_t frames, const char* what) {
  return std::to_string(frames) + " " + what + (frames == 1 ? "" : "s");
}

// The files of an earlier capture in a PNG directory: frame_*.png and audio.wav.
std::vector<fs::path> earlierCapture(const fs::path& dir) {
  std::vector<fs::path> found;
  std::error_code failure;
  for (fs::directory_iterator it(dir, failure), end; !failure && it != end; it.increment(failure)) {
    const std::string name = utf8Path(it->path().filename());
    const bool frame = name.size() > 10 && name.compare(0, 6, "frame_") == 0 &&
                       name.compare(name.size() - 4, 4, ".png") == 0 &&
                       std::all_of(name.begin() + 6, name.end() - 4, [](char c) { return c >= '0' && c <= '9'; });
    if (frame || name == "audio.wav") found.push_back(it->path());
  }
  std::sort(found.begin(), found.end());
  return found;
}

int capturePictures(const CaptureOptions& options, const CaptureSpan& span) {
  const fs::path dir = pathFromUtf8(options.output);
  std::error_code failure;
  const bool existed = fs::exists(dir, failure);
  fs::create_directories(dir, failure);
  if (failure || !fs::is_directory(dir)) {
    report("can't make the directory " + options.output + ": " +
           (failure ? failure.message() : std::string("a file has that name")));
    return 1;
  }
  const std::vector<fs::path> earlier = earlierCapture(dir);
  if (!earlier.empty()) {
    if (!options.replace) {
      std::fprintf(stderr,
                   "vorlith: %s already holds a capture (%s: frame_*.png, audio.wav); a new one would mix with it.\n"
                   "Choose another directory, or add --replace to remove those files first.\n",
                   options.output.c_str(), countText(earlier.size(), "file").c_str());
      return 2;
    }
    for (const fs::path& path : earlier) {
      if (!fs::remove(path, failure) && failure) {
        report("can't remove " + utf8Path(path) + ": " + failure.message());
        return 1;
      }
    }
  }

  // What this capture has put in place; taken away again if it fails.
  std::vector<std::string> written;
  auto takeBack = [&] {
    for (const std::string& path : written) removeFile(path);
    std::error_code ignored;
    if (!existed) fs::remove(dir, ignored);
  };

  const uint64_t total = options.frames.empty() ? span.count : *options.frames.rbegin() + 1;
  Progress progress(total, options.fps);
  std::string error;
  std::vector<uint8_t> png;
  uint64_t frames = 0;
  const int status = runNull(nullRun(options, span), [&](uint64_t frame, const uint32_t* pixels) {
    if (interruptSignal()) return false;
    progress.update(frame + 1);
    if (!options.frames.empty() && !options.frames.count(frame)) return true;
    AtomicFile file(utf8Path(dir / frameFileName(frame)));
    if (!encodePng(pixels, frameWidth, frameHeight, png)) {
      error = writeError(file.finalPath(), "the PNG encoder failed");
      return false;
    }
    if (!file.write(png.data(), png.size(), error) || !file.commit(error)) return false;
    written.push_back(file.finalPath());
    ++frames;
    // Nothing after the last chosen frame is wanted.
    return options.frames.empty() || frame < *options.frames.rbegin();
  });
  if (status != 0 || !error.empty() || interruptSignal()) {
    progress.stop();
    takeBack();
    if (!error.empty()) report(error);
    return 1;
  }
  progress.finish();
  // The sound goes with a capture of every frame, over the same span.
  const bool withSound = options.frames.empty() && !options.mute;
  if (withSound) {
    std::vector<uint8_t> wav;
    AtomicFile sound(utf8Path(dir / "audio.wav"));
    if (!renderSound(options, span, false, wav, error) || !sound.write(wav.data(), wav.size(), error) ||
        !sound.commit(error)) {
      takeBack();
      if (!error.empty()) report(error);
      return 1;
    }
    written.push_back(sound.finalPath());
  }
  std::fprintf(stderr, "vorlith: %s%s written to %s\n", countText(frames, "frame").c_str(),
               withSound ? " and audio.wav" : "", options.output.c_str());
  return 0;
}

int captureDigests(const CaptureOptions& options, const CaptureSpan& span) {
  AtomicFile file(options.output);
  std::string text;
  uint64_t lines = 0;
  const int status = runNull(nullRun(options, span), [&](uint64_t frame, const uint32_t* pixels) {
    if (interruptSignal()) return false;
    if (!options.frames.empty() && !options.frames.count(frame)) return true;
    char line[48];
    std::snprintf(line, sizeof line, "%llu %016llx\n", static_cast<unsigned long long>(frame),
                  static_cast<unsigned long long>(frameRgbDigest(pixels)));
    text += line;
    ++lines;
    return options.frames.empty() || frame < *options.frames.rbegin();
  });
  if (status != 0 || interruptSignal()) return 1;
  std::string error;
  if (!file.write(text.data(), text.size(), error) || !file.commit(error)) {
    report(error);
    return 1;
  }
  std::fprintf(stderr, "vorlith: %s written to %s\n", countText(lines, "frame digest").c_str(),
               options.output.c_str());
  return 0;
}

std::string ffmpegMissing() {
  return "ffmpeg was not found on PATH, so no video or FLAC file can be made.\n"
         "Install it (apt-get install ffmpeg), or capture PNG frames and the sound with\n"
         "--capture DIRECTORY, or the sound alone with --capture FILE.wav.";
}

// Refuses to start an output whose final name is taken by a directory (the
// rename at the end could only fail).
bool finalNameFree(const std::string& output) {
  std::error_code failure;
  if (!fs::is_directory(pathFromUtf8(output), failure)) return true;
  report(writeError(output, "it is a directory"));
  return false;
}

int captureSound(const CaptureOptions& options, const CaptureSpan& span, CaptureKind kind) {
  if (!finalNameFree(options.output)) return 1;
  const std::string ffmpeg = kind == CaptureKind::flac ? findOnPath("ffmpeg") : "";
  if (kind == CaptureKind::flac && ffmpeg.empty()) {
    report(ffmpegMissing());
    return 1;
  }
  std::string error;
  std::vector<uint8_t> wav;
  AtomicFile file(options.output);
  if (!renderSound(options, span, true, wav, error)) {
    if (!error.empty()) report(error);
    return 1;
  }
  if (kind == CaptureKind::wav) {
    if (!file.write(wav.data(), wav.size(), error)) {
      report(error);
      return 1;
    }
  } else {
    AtomicFile scratch(options.output, ".wav");
    if (!scratch.write(wav.data(), wav.size(), error)) {
      report(error);
      return 1;
    }
    Encoder encoder;
    if (!encoder.start(ffmpeg, flacArguments(scratch.temporaryPath(), file.temporaryPath()), error) ||
        !encoder.finish(error)) {
      if (interruptSignal()) encoder.stop(interruptSignal());
      report(writeError(options.output, error));
      return 1;
    }
  }
  if (!file.commit(error)) {
    report(error);
    return 1;
  }
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.3f", static_cast<double>(wav.size() - 44) / 4 / audioSampleRate);
  std::fprintf(stderr, "vorlith: %s s of sound written to %s\n", seconds, options.output.c_str());
  return 0;
}

// Runs the span through one ffmpeg: every frame blown up to the picture size
// and piped in. False (with a message in error, naming the final output)
// when ffmpeg fails or the capture is interrupted; ffmpeg is then stopped
// and reaped.
bool encodeSpan(const std::string& ffmpeg, const EncodeJob& job, const PictureSize& size,
                const CaptureOptions& options, const CaptureSpan& span, bool showProgress, std::string& error) {
  Encoder encoder;
  if (!encoder.start(ffmpeg, encoderArguments(job), error)) {
    error = writeError(options.output, error);
    return false;
  }
  Progress progress(showProgress ? span.count : 0, options.fps);
  std::vector<uint32_t> picture;
  bool fed = true;
  const int status = runNull(nullRun(options, span), [&](uint64_t frame, const uint32_t* pixels) {
    if (showProgress) progress.update(frame + 1);
    blowUp(pixels, size, picture);
    fed = encoder.write(picture.data(), picture.size() * 4);
    return fed && !interruptSignal();
  });
  if (showProgress) {
    if (fed && status == 0 && !interruptSignal())
      progress.finish();
    else
      progress.stop();
  }
  if (interruptSignal() || status != 0) {
    encoder.stop(interruptSignal() ? interruptSignal() : SIGTERM);
    return false;
  }
  // Also when the pipe broke: its messages and status say why.
  if (!encoder.finish(error)) {
    if (interruptSignal()) encoder.stop(interruptSignal());
    error = writeError(options.output, error);
    return false;
  }
  return true;
}

int captureVideo(const CaptureOptions& options, const CaptureSpan& span, CaptureKind kind) {
  if (!finalNameFree(options.output)) return 1;
  const std::string ffmpeg = findOnPath("ffmpeg");
  if (ffmpeg.empty()) {
    report(ffmpegMissing());
    return 1;
  }
  const bool gif = kind == CaptureKind::gif;
  const bool withSound = !options.mute && !gif;
  const PictureSize size = pictureSize(videoScale(options, kind), options.aspect);
  AtomicFile sound(options.output, ".wav");     // scratch files, never committed
  AtomicFile palette(options.output, ".png");
  AtomicFile video(options.output);
  std::string error;

  EncodeJob job;
  job.format = videoFormat(kind);
  job.output = video.temporaryPath();
  job.fps = options.fps;
  if (withSound) {
    std::vector<uint8_t> wav;
    if (!renderSound(options, span, false, wav, error) || !sound.write(wav.data(), wav.size(), error)) {
      if (!error.empty()) report(error);
      return 1;
    }
    job.sound = sound.temporaryPath();
  }
  if (gif) {
    // First pass: the palette, from the frames themselves (the blocks would
    // only count every colour more often).
    EncodeJob first = job;
    first.palettePass = true;
    first.palette = job.palette = palette.temporaryPath();
    if (!encodeSpan(ffmpeg, first, pictureSize(1, false), options, span, false, error)) {
      report(error);
      return 1;
    }
  }
  job.width = size.width();
  job.height = size.height();
  if (!encodeSpan(ffmpeg, job, size, options, span, true, error) || !video.commit(error)) {
    report(error);
    return 1;
  }
  std::fprintf(stderr, "vorlith: %s written to %s (%dx%d%s)\n", countText(span.count, "frame").c_str(),
               options.output.c_str(), size.width(), size.height(), withSound ? ", with sound" : "");
  return 0;
}

}  // namespace

std::string frameFileName(uint64_t frame) {
  char name[32];
  std::snprintf(name, sizeof name, "frame_%06llu.png", static_cast<unsigned long long>(frame));
  return name;
}

CaptureSpan captureSpan(uint32_t fps, const ShowSeconds& start, const ShowSeconds& until) {
  CaptureSpan span;
  span.first = startFrame(start, fps);
  const uint64_t last = finalFrame(fps);
  const uint64_t end = until.isZero() ? last + 1 : std::min(until.frameAt(fps), last + 1);
  span.count = end > span.first ? end - span.first : 0;
  return span;
}

CaptureKind captureKind(const std::string& output) {
  std::string extension = extensionOf(output);
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (extension.empty()) return CaptureKind::pictures;
  if (extension == ".mp4") return CaptureKind::mp4;
  if (extension == ".mkv") return CaptureKind::mkv;
  if (extension == ".webm") return CaptureKind::webm;
  if (extension == ".gif") return CaptureKind::gif;
  if (extension == ".wav") return CaptureKind::wav;
  if (extension == ".flac") return CaptureKind::flac;
  if (extension == ".txt") return CaptureKind::digests;
  return CaptureKind::unknown;
}

std::string captureRefusal(const CaptureOptions& options) {
  const CaptureKind kind = captureKind(options.output);
  const std::string extension = extensionOf(options.output);
  if (kind == CaptureKind::unknown)
    return "can't make a capture named '" + options.output + "': " + extension +
           " is not a kind it knows. The extension says what to make:\n" + kindsText;
  if (!isVideo(kind)) {
    const std::string what = kind == CaptureKind::pictures ? "PNG frames" : "a " + extension + " file";
    if (options.aspect) return "--aspect goes with a video (.mp4, .mkv, .webm, .gif), not with " + what;
    if (options.videoScale > 0) return "--video-scale goes with a video (.mp4, .mkv, .webm, .gif), not with " + what;
  }
  if (!options.frames.empty() && (isVideo(kind) || isSound(kind)))
    return "--frames goes with PNG frames or a digest list (.txt), not with a " + extension +
           " file: a video or a sound is the whole span (choose it with --start and --until)";
  if (options.mute && (isSound(kind) || kind == CaptureKind::digests))
    return "--mute can't apply to a " + extension + " file" +
           (isSound(kind) ? std::string(": it holds the sound alone") : std::string(": it holds no sound"));
  if (options.aspect && options.videoScale > 2)
    return "--video-scale with --aspect takes 1 or 2 (1600x1200 or 3200x2400), not " +
           std::to_string(options.videoScale);
  if (options.fps == 0) return "--fps must be at least 1";
  const CaptureSpan span = captureSpan(options.fps, options.start, options.until);
  if (span.count == 0)
    return "--start " + options.start.text() + " and --until " + options.until.text() +
           " are less than a frame apart at " + std::to_string(options.fps) + " fps";
  if (!options.frames.empty() && *options.frames.rbegin() >= span.count)
    return "--frames " + std::to_string(*options.frames.rbegin()) + " is past the last frame of this capture (" +
           std::to_string(span.count - 1) + ")";
  if (kind == CaptureKind::gif) {
    if (options.fps > gifHighestFps)
      return "a GIF shows at most " + std::to_string(gifHighestFps) +
             " frames a second (its frame times are whole hundredths of a second); use --fps 50 or less";
    if (span.count > gifLongestSeconds * options.fps) {
      char length[32];
      std::snprintf(length, sizeof length, "%.3f", static_cast<double>(span.count) / options.fps);
      return "a GIF holds at most " + std::to_string(gifLongestSeconds) + " seconds and this one would last " +
             length + " s: choose a part with --start and --until";
    }
  }
  return "";
}

int runCapture(const CaptureOptions& options) {
  InterruptWatch watch;
  const std::string refusal = captureRefusal(options);
  if (!refusal.empty()) {
    std::fprintf(stderr, "vorlith: %s\n", refusal.c_str());
    return 2;
  }
  const CaptureKind kind = captureKind(options.output);
  const CaptureSpan span = captureSpan(options.fps, options.start, options.until);
  int status = 1;
  switch (kind) {
    case CaptureKind::pictures: status = capturePictures(options, span); break;
    case CaptureKind::digests: status = captureDigests(options, span); break;
    case CaptureKind::wav:
    case CaptureKind::flac: status = captureSound(options, span, kind); break;
    case CaptureKind::mp4:
    case CaptureKind::mkv:
    case CaptureKind::webm:
    case CaptureKind::gif: status = captureVideo(options, span, kind); break;
    case CaptureKind::unknown: break;
  }
  // A signal that comes after the output is complete stops nothing.
  const int signal = interruptSignal();
  if (signal && status != 0) {
    std::fprintf(stderr, "vorlith: interrupted; nothing was written to %s\n", options.output.c_str());
    return 128 + signal;
  }
  return status;
}

}  // namespace vorlith
