#include "capture/video_export.h"

#include <cerrno>
#include <cstring>

#include "image/image.h"

namespace vorlith {

int PictureSize::width() const { return frameWidth * blockWidth; }
int PictureSize::height() const { return frameHeight * blockHeight; }

PictureSize pictureSize(int scale, bool aspect) {
  // 320 x 5 : 200 x 6 is 4:3, the smallest whole blocks that make it.
  if (aspect) return {5 * scale, 6 * scale};
  return {scale, scale};
}

void blowUp(const uint32_t* frame, const PictureSize& size, std::vector<uint32_t>& picture) {
  const int width = size.width();
  picture.resize(static_cast<size_t>(width) * size.height());
  for (int y = 0; y < frameHeight; ++y) {
    uint32_t* row = picture.data() + static_cast<size_t>(y) * size.blockHeight * width;
    const uint32_t* source = frame + static_cast<size_t>(y) * frameWidth;
    uint32_t* out = row;
    for (int x = 0; x < frameWidth; ++x)
      for (int i = 0; i < size.blockWidth; ++i) *out++ = source[x];
    for (int i = 1; i < size.blockHeight; ++i)
      std::memcpy(row + static_cast<size_t>(i) * width, row, static_cast<size_t>(width) * 4);
  }
}

namespace {

// The pictures are RGB; a YUV video says how it was made from them: BT.709
// primaries, transfer and matrix, studio range. The conversion itself is
// told the same matrix, so that players undo exactly what was done.
const std::vector<std::string> bt709Conversion = {"-vf", "scale=out_color_matrix=bt709:out_range=tv,format=yuv420p"};
const std::vector<std::string> bt709Tags = {"-color_primaries", "bt709", "-color_trc", "bt709",
                                            "-colorspace",      "bt709", "-color_range", "tv"};

void append(std::vector<std::string>& to, const std::vector<std::string>& more) {
  to.insert(to.end(), more.begin(), more.end());
}

// A file name as ffmpeg reads it literally: never an option ("-x.mp4"), a
// protocol ("a:b.mp4") or a pattern ("%03d").
std::string file(const std::string& path) { return "file:" + path; }

}  // namespace

std::vector<std::string> encoderArguments(const EncodeJob& job) {
  std::vector<std::string> a = {"-hide_banner", "-loglevel", "error", "-y",
                                // pictures from the pipe: 0x00RRGGBB words are the bytes B, G, R, unused
                                "-f", "rawvideo", "-pix_fmt", "bgr0", "-s",
                                std::to_string(job.width) + "x" + std::to_string(job.height), "-framerate",
                                std::to_string(job.fps), "-i", "pipe:0"};
  if (job.format == VideoFormat::gif) {
    if (job.palettePass) {
      append(a, {"-vf", "palettegen=stats_mode=full", "-f", "image2", "-update", "1", file(job.palette)});
    } else {
      // Read as one picture, whatever its name (no image sequence pattern).
      append(a, {"-f", "png_pipe", "-i", file(job.palette), "-lavfi", "[0:v][1:v]paletteuse=dither=sierra2_4a:diff_mode=rectangle",
                 "-loop", "0", "-f", "gif", file(job.output)});
    }
    return a;
  }
  const bool sound = !job.sound.empty();
  if (sound) append(a, {"-i", file(job.sound)});
  append(a, {"-map", "0:v"});
  if (sound) append(a, {"-map", "1:a"});
  switch (job.format) {
    case VideoFormat::mp4:
      append(a, bt709Conversion);
      append(a, {"-c:v", "libx264", "-preset", "veryfast", "-crf", "16"});
      append(a, bt709Tags);
      if (sound) append(a, {"-c:a", "aac", "-b:a", "192k"});
      append(a, {"-movflags", "+faststart", "-f", "mp4"});
      break;
    case VideoFormat::webm:
      append(a, bt709Conversion);
      append(a, {"-c:v", "libvpx-vp9", "-crf", "24", "-b:v", "0", "-deadline", "good", "-cpu-used", "4", "-row-mt",
                 "1"});
      append(a, bt709Tags);
      if (sound) append(a, {"-c:a", "libopus", "-b:a", "160k"});
      append(a, {"-f", "webm"});
      break;
    case VideoFormat::mkv:
      // Lossless and still RGB: every picture decodes to the frame's bytes.
      // Its tags say so: BT.709 primaries and transfer, no matrix (RGB), full range.
      append(a, {"-c:v", "ffv1", "-level", "3", "-g", "1", "-slicecrc", "1", "-color_primaries", "bt709",
                 "-color_trc", "bt709", "-colorspace", "rgb", "-color_range", "pc"});
      if (sound) append(a, {"-c:a", "flac"});
      append(a, {"-f", "matroska"});
      break;
    case VideoFormat::gif: break;
  }
  a.push_back(file(job.output));
  return a;
}

std::vector<std::string> flacArguments(const std::string& wav, const std::string& output) {
  return {"-hide_banner", "-loglevel", "error", "-y", "-i", file(wav), "-c:a", "flac", "-f", "flac", file(output)};
}

std::string encoderFailure(const std::string& messages, int status) {
  // The system's own words for the cause, where the messages quote them.
  static constexpr int causes[] = {ENOSPC,
#ifdef EDQUOT  // not a cause Windows names
                                   EDQUOT,
#endif
                                   EFBIG, EACCES, EROFS, ENOENT, EISDIR, ENOTDIR, EIO, ENOMEM};
  for (int e : causes) {
    const char* reason = std::strerror(e);
    if (messages.find(reason) != std::string::npos) return reason;
  }
  // Else its last message: the last line, without the blanks and breaks after it.
  const std::string kept = messages.substr(0, messages.find_last_not_of("\r\n ") + 1);
  const std::string last = kept.substr(kept.find_last_of('\n') + 1);
  std::string text = "ffmpeg failed";
  if (status >= 0) text += " (status " + std::to_string(status) + ")";
  if (!last.empty()) text += ": " + last;
  return text;
}

bool Encoder::finish(std::string& error) {
  int status = 0;
  if (!child_.finish(status, error)) {
    if (interruptSignal()) child_.stop(interruptSignal());
    return false;
  }
  if (status == 0) return true;
  error = encoderFailure(child_.messages(), status);
  return false;
}

}  // namespace vorlith
