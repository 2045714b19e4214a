#pragma once
#include <cstdint>
#include <string>

namespace vorlith {

// The full path of a program on PATH, or "" when there is none.
std::string findOnPath(const std::string& program);

// Frames of 0x00RRGGBB pixels (nearest-neighbour upscaled here) piped into
// ffmpeg, which encodes them as H.264 (yuv420p) together with the sound from
// a WAV file as AAC, into an MP4 file.
class VideoEncoder {
 public:
  VideoEncoder() = default;
  ~VideoEncoder();
  VideoEncoder(const VideoEncoder&) = delete;
  VideoEncoder& operator=(const VideoEncoder&) = delete;

  // Starts ffmpeg writing outputPath; false with a message in error on failure.
  bool start(const std::string& ffmpeg, const std::string& outputPath, const std::string& wavPath, int width,
             int height, int scale, uint32_t fps, std::string& error);
  // Sends one frame of width x height pixels.
  bool write(const uint32_t* pixels);
  // Closes the pipe and waits for ffmpeg; false when it failed.
  bool finish(std::string& error);

 private:
  int pipe_ = -1;
  int pid_ = -1;
  int width_ = 0;
  int height_ = 0;
  int scale_ = 1;
  std::string scaled_;
};

}  // namespace vorlith
