#include "capture/video_export.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <vector>

extern char** environ;

namespace vorlith {

std::string findOnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  if (!path) return "";
  std::string list = path;
  size_t begin = 0;
  while (begin <= list.size()) {
    size_t end = list.find(':', begin);
    if (end == std::string::npos) end = list.size();
    const std::string dir = end > begin ? list.substr(begin, end - begin) : ".";
    const std::string candidate = dir + "/" + program;
    struct stat info;
    if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(candidate.c_str(), X_OK) == 0)
      return candidate;
    begin = end + 1;
  }
  return "";
}

VideoEncoder::~VideoEncoder() {
  std::string ignored;
  if (pid_ > 0) finish(ignored);
}

bool VideoEncoder::start(const std::string& ffmpeg, const std::string& outputPath, const std::string& wavPath,
                         int width, int height, int scale, uint32_t fps, std::string& error) {
  width_ = width;
  height_ = height;
  scale_ = scale;
  scaled_.resize(static_cast<size_t>(width) * scale * height * scale * 4);
  const std::string size = std::to_string(width * scale) + "x" + std::to_string(height * scale);
  const std::string rate = std::to_string(fps);
  std::vector<std::string> args = {
      ffmpeg,  "-hide_banner", "-loglevel", "error", "-y",
      // pictures from the pipe: 0x00RRGGBB words are the bytes B, G, R, unused
      "-f", "rawvideo", "-pix_fmt", "bgr0", "-s", size, "-framerate", rate, "-i", "pipe:0",
      "-i", wavPath,
      "-map", "0:v", "-map", "1:a",
      "-c:v", "libx264", "-preset", "veryfast", "-crf", "16", "-pix_fmt", "yuv420p",
      "-c:a", "aac", "-b:a", "192k",
      "-movflags", "+faststart", "-f", "mp4", outputPath};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  int fds[2];
  if (::pipe(fds) != 0) {
    error = std::string("can't make a pipe: ") + std::strerror(errno);
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[0], 0);
  posix_spawn_file_actions_addclose(&actions, fds[1]);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, ffmpeg.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(fds[0]);
  if (spawned != 0) {
    ::close(fds[1]);
    error = "can't start " + ffmpeg + ": " + std::strerror(spawned);
    return false;
  }
  // A failing ffmpeg shows up as a failed write, not as a signal.
  std::signal(SIGPIPE, SIG_IGN);
  pipe_ = fds[1];
  pid_ = pid;
  return true;
}

bool VideoEncoder::write(const uint32_t* pixels) {
  const char* data = reinterpret_cast<const char*>(pixels);
  size_t size = static_cast<size_t>(width_) * height_ * 4;
  if (scale_ > 1) {
    // Nearest neighbour: every pixel becomes a scale x scale square.
    auto* out = reinterpret_cast<uint32_t*>(scaled_.data());
    const int outWidth = width_ * scale_;
    for (int y = 0; y < height_; ++y) {
      uint32_t* row = out + static_cast<size_t>(y) * scale_ * outWidth;
      for (int x = 0; x < width_; ++x)
        for (int i = 0; i < scale_; ++i) row[x * scale_ + i] = pixels[y * width_ + x];
      for (int i = 1; i < scale_; ++i) std::memcpy(row + i * outWidth, row, static_cast<size_t>(outWidth) * 4);
    }
    data = scaled_.data();
    size = scaled_.size();
  }
  while (size > 0) {
    const ssize_t n = ::write(pipe_, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool VideoEncoder::finish(std::string& error) {
  if (pipe_ >= 0) ::close(pipe_);
  pipe_ = -1;
  if (pid_ <= 0) return false;
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    error = "ffmpeg failed (status " + std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) + ")";
    return false;
  }
  return true;
}

}  // namespace vorlith
