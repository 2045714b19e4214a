#include "capture/capture.h"

#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <vector>

#include "capture/atomic_file.h"
#include "capture/audio_render.h"
#include "platform/os.h"
#include "capture/png_writer.h"
#include "capture/progress.h"
#include "capture/video_export.h"
#include "driver/report.h"
#include "image/frame_digest.h"
#include "image/image.h"
#include "base/asset_manifest.h"
#include "platform/asset_files.h"
#include "platform/null_port.h"

namespace vorlith {

namespace {

namespace fs = std::filesystem;

// The longest GIF made, and its highest frame rate: GIF frame times are
// whole hundredths of a second, and players slow down shorter ones.
constexpr uint64_t gifLongestSeconds = 30;
constexpr uint32_t gifHighestFps = 50;

// What each extension makes, and its lines of help.
struct KindRule {
  const char* extension;
  CaptureKind kind;
  const char* help;
};
constexpr KindRule kindRules[] = {
    {".mp4", CaptureKind::mp4, "OUT.mp4   a video to play anywhere (H.264 + AAC)"},
    {".mkv", CaptureKind::mkv, "OUT.mkv   an archival video, lossless (FFV1 + FLAC)"},
    {".webm", CaptureKind::webm, "OUT.webm  a video for the web (VP9 + Opus)"},
    {".gif", CaptureKind::gif, "OUT.gif   a clip to share (at most 30 s and 50 fps, no sound)"},
    {".wav", CaptureKind::wav, "OUT.wav   the sound alone"},
    {".flac", CaptureKind::flac, "OUT.flac  the sound alone, compressed"},
    {".txt", CaptureKind::digests, "OUT.txt   one line per frame: its index and its digest"},
    {"", CaptureKind::pictures,
     "OUT       (an existing directory, no extension, or ending in /)\n"
     "          a directory of frame_NNNNNN.png files and audio.wav"},
};

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

// Prints a failure, unless the capture was interrupted (that has its own
// words); the exit status of a failed capture.
int failed(const std::string& message) {
  if (!interruptSignal() && !message.empty()) std::fprintf(stderr, "vorlith: %s\n", message.c_str());
  return 1;
}

// The sound of the span as a WAV file. False (with a message in error) when
// the module can't be read: a file of silence would claim to be the music.
bool renderSound(const CaptureOptions& options, const CaptureSpan& span, bool needModule,
                 std::vector<uint8_t>& wav, std::string& error) {
  const uint64_t first = audioSampleAt(span.first, options.fps);
  const uint64_t end = audioSampleAt(span.first + span.count, options.fps);
  std::vector<int16_t> samples;
  const char* modulePath = assetPath(Asset::module);
  if (!renderModuleAudio(options.assets / modulePath, first, end - first, samples) && needModule) {
    error = writeError(options.output, std::string("the module ") + modulePath + " can't be read");
    return false;
  }
  wav = wavBytes(samples);
  return !interruptSignal();
}

std::string countText(uint64_t frames, const char* what) {
  return std::to_string(frames) + " " + what + (frames == 1 ? "" : "s");
}

// Where the frames of a capture go: a PNG directory, a digest list or an
// encoder's pipe. Given each chosen frame; false (the reason in error) ends
// the capture.
using CaptureSink = std::function<bool(uint64_t frame, const uint32_t* pixels, std::string& error)>;

// The one capture loop: runs the span on the virtual clock and hands the
// chosen frames (every frame without --frames) to the sink, with a progress
// bar when asked. It ends after the last chosen frame, at the sink's first
// failure or at an interrupt; true when every chosen frame went to the sink.
bool captureFrames(const CaptureOptions& options, const CaptureSpan& span, bool showProgress,
                   const CaptureSink& sink, std::string& error) {
  const bool everyFrame = options.frames.empty();
  const uint64_t last = everyFrame ? span.count - 1 : *options.frames.rbegin();
  Progress progress(last + 1, options.fps, showProgress);
  NullRun run;
  run.fps = options.fps;
  run.start = options.start;
  run.frameLimit = span.count;
  run.assets = packDirectorySource(options.assets);
  bool fed = true;
  const int status = runNull(run, [&](uint64_t frame, const uint32_t* pixels) {
    if (interruptSignal()) return false;
    progress.update(frame + 1);
    if (!everyFrame && !options.frames.count(frame)) return true;
    fed = sink(frame, pixels, error);
    // Nothing after the last chosen frame is wanted.
    return fed && frame < last;
  });
  const bool complete = fed && status == 0 && !interruptSignal();
  progress.end(complete);
  return complete;
}

// The files of an earlier capture in a PNG directory: frame_*.png and audio.wav.
std::vector<fs::path> earlierCapture(const fs::path& dir) {
  std::vector<fs::path> found;
  std::error_code failure;
  for (fs::directory_iterator it(dir, failure), end; !failure && it != end; it.increment(failure)) {
    const std::string name = utf8Path(it->path().filename());
    const bool frame = name.size() > 10 && name.starts_with("frame_") && name.ends_with(".png") &&
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
  if (failure || !fs::is_directory(dir))
    return failed("can't make the directory " + options.output + ": " +
                  (failure ? failure.message() : std::string("a file has that name")));
  const std::vector<fs::path> earlier = earlierCapture(dir);
  if (!earlier.empty()) {
    if (!options.replace) {
      std::fprintf(stderr,
                   "vorlith: %s already holds a capture (%s: frame_*.png, audio.wav); a new one would mix with it.\n"
                   "Choose another directory, or add --replace to remove those files first.\n",
                   options.output.c_str(), countText(earlier.size(), "file").c_str());
      return 2;
    }
    for (const fs::path& path : earlier)
      if (!fs::remove(path, failure) && failure)
        return failed("can't remove " + utf8Path(path) + ": " + failure.message());
  }

  // What this capture has put in place; taken away again if it fails.
  std::vector<std::string> written;
  auto takeBack = [&](const std::string& error) {
    for (const std::string& path : written) removeFile(path);
    std::error_code ignored;
    if (!existed) fs::remove(dir, ignored);
    return failed(error);
  };
  std::vector<uint8_t> png;
  std::string error;
  auto writeFrame = [&](uint64_t frame, const uint32_t* pixels, std::string& why) {
    AtomicFile file(utf8Path(dir / frameFileName(frame)));
    if (!encodePng(pixels, frameWidth, frameHeight, png)) {
      why = writeError(file.finalPath(), "the PNG encoder failed");
      return false;
    }
    if (!file.write(png.data(), png.size(), why) || !file.commit(why)) return false;
    written.push_back(file.finalPath());
    return true;
  };
  if (!captureFrames(options, span, true, writeFrame, error)) return takeBack(error);
  const uint64_t frames = written.size();
  // The sound goes with a capture of every frame, over the same span.
  const bool withSound = options.frames.empty() && !options.mute;
  if (withSound) {
    std::vector<uint8_t> wav;
    AtomicFile sound(utf8Path(dir / "audio.wav"));
    if (!renderSound(options, span, false, wav, error) || !sound.write(wav.data(), wav.size(), error) ||
        !sound.commit(error))
      return takeBack(error);
    written.push_back(sound.finalPath());
  }
  std::fprintf(stderr, "vorlith: %s%s written to %s\n", countText(frames, "frame").c_str(),
               withSound ? " and audio.wav" : "", options.output.c_str());
  return 0;
}

int captureDigests(const CaptureOptions& options, const CaptureSpan& span) {
  AtomicFile file(options.output);
  std::string text, error;
  uint64_t lines = 0;
  const bool complete = captureFrames(options, span, true, [&](uint64_t frame, const uint32_t* pixels, std::string&) {
    text += digestLine(frame, frameRgbDigest(pixels)) + "\n";
    ++lines;
    return true;
  }, error);
  if (!complete) return 1;
  if (!file.write(text.data(), text.size(), error) || !file.commit(error)) return failed(error);
  std::fprintf(stderr, "vorlith: %s written to %s\n", countText(lines, "frame digest").c_str(),
               options.output.c_str());
  return 0;
}

std::string ffmpegMissing() {
  return "ffmpeg was not found on PATH, so no video or FLAC file can be made.\n"
         "Install it (apt-get install ffmpeg), or capture PNG frames and the sound with\n"
         "--capture DIRECTORY, or the sound alone with --capture FILE.wav.";
}

int captureSound(const CaptureOptions& options, const CaptureSpan& span, CaptureKind kind) {
  const std::string ffmpeg = kind == CaptureKind::flac ? findOnPath("ffmpeg") : "";
  if (kind == CaptureKind::flac && ffmpeg.empty()) return failed(ffmpegMissing());
  std::string error;
  std::vector<uint8_t> wav;
  AtomicFile file(options.output);
  if (!renderSound(options, span, true, wav, error)) return failed(error);
  if (kind == CaptureKind::wav) {
    if (!file.write(wav.data(), wav.size(), error)) return failed(error);
  } else {
    AtomicFile scratch(options.output, ".wav");
    if (!scratch.write(wav.data(), wav.size(), error)) return failed(error);
    Encoder encoder;
    if (!encoder.start(ffmpeg, flacArguments(scratch.temporaryPath(), file.temporaryPath()), error) ||
        !encoder.finish(error))
      return failed(writeError(options.output, error));
  }
  if (!file.commit(error)) return failed(error);
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
  std::vector<uint32_t> picture;
  bool fed = true;
  const bool complete = captureFrames(options, span, showProgress, [&](uint64_t, const uint32_t* pixels, std::string&) {
    blowUp(pixels, size, picture);
    return fed = encoder.write(picture.data(), picture.size() * 4);
  }, error);
  if (!complete && (fed || interruptSignal())) {
    encoder.stop(interruptSignal() ? interruptSignal() : SIGTERM);
    return false;
  }
  // Also when the pipe broke: its messages and status say why.
  if (!encoder.finish(error)) {
    error = writeError(options.output, error);
    return false;
  }
  return complete;
}

int captureVideo(const CaptureOptions& options, const CaptureSpan& span, CaptureKind kind) {
  const std::string ffmpeg = findOnPath("ffmpeg");
  if (ffmpeg.empty()) return failed(ffmpegMissing());
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
    if (!renderSound(options, span, false, wav, error) || !sound.write(wav.data(), wav.size(), error))
      return failed(error);
    job.sound = sound.temporaryPath();
  }
  if (gif) {
    // First pass: the palette, from the frames themselves (the blocks would
    // only count every colour more often).
    EncodeJob first = job;
    first.palettePass = true;
    first.palette = job.palette = palette.temporaryPath();
    if (!encodeSpan(ffmpeg, first, pictureSize(1, false), options, span, false, error)) return failed(error);
  }
  job.width = size.width();
  job.height = size.height();
  if (!encodeSpan(ffmpeg, job, size, options, span, true, error) || !video.commit(error)) return failed(error);
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
  // A directory that is there already takes frames, whatever its name.
  std::error_code ignored;
  if (fs::is_directory(pathFromUtf8(output), ignored)) return CaptureKind::pictures;
  std::string extension = extensionOf(output);
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const KindRule& rule : kindRules)
    if (extension == rule.extension) return rule.kind;
  return CaptureKind::unknown;
}

std::string captureKindsText(const std::string& indent) {
  std::string text;
  for (const KindRule& rule : kindRules)
    for (const char* c = rule.help; *c; ++c) {
      if (c == rule.help) text += (text.empty() ? "" : "\n") + indent;
      text += *c;
      if (*c == '\n') text += indent;
    }
  return text;
}

std::string captureRefusal(const CaptureOptions& options) {
  const CaptureKind kind = captureKind(options.output);
  const std::string extension = extensionOf(options.output);
  if (kind == CaptureKind::unknown)
    return "can't make a capture named '" + options.output + "': " + extension +
           " is not a kind it knows. The extension says what to make:\n" + captureKindsText("  ");
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
  if (kind == CaptureKind::pictures)
    status = capturePictures(options, span);
  else if (kind == CaptureKind::digests)
    status = captureDigests(options, span);
  else if (isSound(kind))
    status = captureSound(options, span, kind);
  else if (isVideo(kind))
    status = captureVideo(options, span, kind);
  // A signal that comes after the output is complete stops nothing.
  const int signal = interruptSignal();
  if (signal && status != 0) {
    std::fprintf(stderr, "vorlith: interrupted; nothing was written to %s\n", options.output.c_str());
    return 128 + signal;
  }
  return status;
}

}  // namespace vorlith
