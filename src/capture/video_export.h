#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/os.h"

namespace vorlith {

// The files a video export can make, by what they are for.
enum class VideoFormat {
  mp4,   // H.264 + AAC: plays everywhere
  mkv,   // FFV1 (lossless RGB) + FLAC: archival, decodes to the frames bit for bit
  webm,  // VP9 + Opus: for the web
  gif,   // a palette clip for sharing, no sound
};

// The pictures of a video: every frame pixel becomes a block of blockWidth x
// blockHeight pixels, so the picture is made of whole pixels of the frame.
struct PictureSize {
  int blockWidth = 1;
  int blockHeight = 1;
  int width() const;
  int height() const;
};

// Square pixels at scale times 320x200; with aspect, 4:3 pictures of 5x6
// blocks times scale (1600x1200, 3200x2400).
PictureSize pictureSize(int scale, bool aspect);

// Blows a 320x200 frame up into a picture of blocks.
void blowUp(const uint32_t* frame, const PictureSize& size, std::vector<uint32_t>& picture);

// What ffmpeg is asked to make: pictures of the given size from its input
// pipe as 0x00RRGGBB words (bgr0), the sound from a WAV file (none when
// empty), into `output` in the given format. A GIF is made in two passes:
// the first (palettePass) makes its palette, a PNG file, from the frames;
// the second maps the frames to it.
struct EncodeJob {
  VideoFormat format = VideoFormat::mp4;
  std::string output;
  std::string sound;
  std::string palette;
  bool palettePass = false;
  int width = 320;
  int height = 200;
  uint32_t fps = 30;
};

// The command line (without the program) for ffmpeg.
std::vector<std::string> encoderArguments(const EncodeJob& job);

// Turns a WAV file into a FLAC file.
std::vector<std::string> flacArguments(const std::string& wav, const std::string& output);

// ffmpeg as a child process (see ChildProcess: it never outlives this
// program), taking its input from a pipe. Its messages are kept, to say why
// it failed.
class Encoder {
 public:
  // Starts program with the arguments; false with a message in error.
  bool start(const std::string& program, const std::vector<std::string>& arguments, std::string& error) {
    return child_.start(program, arguments, error);
  }
  // Sends bytes to its input; false when it stopped reading or the capture
  // is interrupted.
  bool write(const void* data, size_t size) { return child_.write(data, size); }
  // Closes its input and waits for it to end. False when it failed (the
  // reason in error) or the capture was interrupted meanwhile (then it is
  // stopped with that signal).
  bool finish(std::string& error);
  // Forwards the signal to it, waits a moment for it to end, kills it if it
  // has not, and reaps it.
  void stop(int signal) { child_.stop(signal); }

 private:
  ChildProcess child_;
};

// Why an encoder failed, from its messages and exit status: the system's
// reason where its messages name one ("No space left on device"), else its
// last message.
std::string encoderFailure(const std::string& messages, int status);

}  // namespace vorlith
