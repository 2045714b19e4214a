#include "capture/video_export.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "capture/interrupt.h"
#include "image/image.h"

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
  for (int e : {ENOSPC, EDQUOT, EFBIG, EACCES, EROFS, ENOENT, EISDIR, ENOTDIR, EIO, ENOMEM}) {
    const char* reason = std::strerror(e);
    if (messages.find(reason) != std::string::npos) return reason;
  }
  std::string last;
  size_t end = messages.find_last_not_of("\r\n ");
  if (end != std::string::npos) {
    const size_t begin = messages.find_last_of('\n', end);
    last = messages.substr(begin == std::string::npos ? 0 : begin + 1, end + 1 - (begin == std::string::npos ? 0 : begin + 1));
  }
  std::string text = "ffmpeg failed";
  if (status >= 0) text += " (status " + std::to_string(status) + ")";
  if (!last.empty()) text += ": " + last;
  return text;
}

Encoder::~Encoder() {
  if (pid_ > 0) stop(SIGKILL);
  closeInput();
  if (output_ >= 0) ::close(output_);
}

bool Encoder::start(const std::string& program, const std::vector<std::string>& arguments, std::string& error) {
  std::vector<std::string> args = {program};
  append(args, arguments);
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  int input[2], output[2];
  if (::pipe2(input, O_CLOEXEC) != 0) {
    error = std::string("can't make a pipe: ") + std::strerror(errno);
    return false;
  }
  if (::pipe2(output, O_CLOEXEC) != 0) {
    error = std::string("can't make a pipe: ") + std::strerror(errno);
    ::close(input[0]);
    ::close(input[1]);
    return false;
  }
  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid == 0) {
    // The child: only async-signal-safe calls until exec.
    ::setpgid(0, 0);
#ifdef __linux__
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(127);
#endif
    struct sigaction standard = {};
    standard.sa_handler = SIG_DFL;
    ::sigaction(SIGPIPE, &standard, nullptr);
    ::dup2(input[0], 0);
    ::dup2(output[1], 2);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(input[0]);
  ::close(output[1]);
  if (pid < 0) {
    error = "can't start " + program + ": " + std::strerror(errno);
    ::close(input[1]);
    ::close(output[0]);
    return false;
  }
  (void)parent;
  ::fcntl(input[1], F_SETFL, ::fcntl(input[1], F_GETFL) | O_NONBLOCK);
  ::fcntl(output[0], F_SETFL, ::fcntl(output[0], F_GETFL) | O_NONBLOCK);
  pid_ = pid;
  input_ = input[1];
  output_ = output[0];
  messages_.clear();
  return true;
}

void Encoder::readMessages() {
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(output_, buffer, sizeof buffer);
    if (n > 0) {
      messages_.append(buffer, static_cast<size_t>(n));
      // The last messages say why it failed; a chatty encoder can't fill memory.
      if (messages_.size() > 65536) messages_.erase(0, messages_.size() - 32768);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) {
      ::close(output_);
      output_ = -1;
    }
    return;
  }
}

void Encoder::closeInput() {
  if (input_ >= 0) ::close(input_);
  input_ = -1;
}

namespace {

// A write to a pipe whose reader has gone raises SIGPIPE, which by default
// ends the program. How SIGPIPE is handled belongs to the whole process (and
// to whoever started it), so it is left alone: this thread blocks the signal
// for the write, and takes back a SIGPIPE the write raised (a wait of no
// time) before its mask is restored. The write then just fails with EPIPE,
// and the encoder's own messages say why it stopped reading. A SIGPIPE that
// was pending before is not taken.
ssize_t writeToPipe(int fd, const void* data, size_t size) {
  sigset_t pipeSignal, previous, pending;
  sigemptyset(&pipeSignal);
  sigaddset(&pipeSignal, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
  const bool pendingBefore = sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE);
  const ssize_t n = ::write(fd, data, size);
  const int error = errno;
  if (n < 0 && error == EPIPE && !pendingBefore) {
    const timespec noTime = {0, 0};
    while (sigtimedwait(&pipeSignal, nullptr, &noTime) < 0 && errno == EINTR) {
    }
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  errno = error;
  return n;
}

}  // namespace

bool Encoder::write(const void* data, size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    if (input_ < 0 || interruptSignal()) return false;
    pollfd fds[2] = {{input_, POLLOUT, 0}, {output_, POLLIN, 0}};
    if (::poll(fds, output_ >= 0 ? 2 : 1, -1) < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (output_ >= 0 && fds[1].revents) readMessages();
    if (fds[0].revents & POLLOUT) {
      const ssize_t n = writeToPipe(input_, bytes, size);
      if (n < 0) {
        if (errno == EAGAIN || errno == EINTR) continue;
        return false;  // it stopped reading
      }
      bytes += n;
      size -= static_cast<size_t>(n);
    } else if (fds[0].revents & (POLLERR | POLLHUP)) {
      return false;
    }
  }
  return true;
}

bool Encoder::finish(std::string& error) {
  closeInput();
  if (pid_ <= 0) {
    error = "the encoder is not running";
    return false;
  }
  // Its messages end when it does.
  while (output_ >= 0) {
    if (interruptSignal()) return false;
    pollfd fd = {output_, POLLIN, 0};
    if (::poll(&fd, 1, -1) < 0 && errno != EINTR) break;
    if (fd.revents) readMessages();
  }
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0) {
    if (errno != EINTR) {
      error = std::string("can't wait for the encoder: ") + std::strerror(errno);
      pid_ = -1;
      return false;
    }
    if (interruptSignal()) return false;
  }
  pid_ = -1;
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
  error = encoderFailure(messages_, WIFEXITED(status) ? WEXITSTATUS(status) : -1);
  return false;
}

void Encoder::stop(int signal) {
  closeInput();
  if (pid_ <= 0) return;
  ::kill(pid_, signal);
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  for (;;) {
    const pid_t done = ::waitpid(pid_, &status, WNOHANG);
    if (done == pid_ || (done < 0 && errno != EINTR)) break;
    if (std::chrono::steady_clock::now() >= deadline) {
      ::kill(pid_, SIGKILL);
      while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
      }
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  pid_ = -1;
}

}  // namespace vorlith
