// The operating system's side of os.h on Linux (and other POSIX systems).
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
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/os.h"

namespace vorlith {

namespace fs = std::filesystem;

std::vector<std::string> programArguments(int argc, const char* const* argv) {
  return std::vector<std::string>(argv, argv + argc);
}

void attachToConsole() {}

QuietStderr::QuietStderr() {
  std::fflush(stderr);
  saved_ = ::dup(2);
  const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (saved_ >= 0 && null >= 0) ::dup2(null, 2);
  if (null >= 0) ::close(null);
}

QuietStderr::~QuietStderr() {
  if (saved_ < 0) return;
  ::dup2(saved_, 2);
  ::close(saved_);
}

uint64_t processId() { return static_cast<uint64_t>(::getpid()); }

bool writeNewFile(const std::string& path, const void* data, size_t size, std::string& reason) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) {
    reason = std::strerror(errno);
    return false;
  }
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd, bytes, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      // A write that makes no progress without an error is a full disk.
      reason = std::strerror(n < 0 ? errno : ENOSPC);
      ::close(fd);
      return false;
    }
    bytes += n;
    size -= static_cast<size_t>(n);
  }
  if (::close(fd) != 0) {
    reason = std::strerror(errno);
    return false;
  }
  return true;
}

bool replaceFile(const std::string& from, const std::string& to, std::string& reason) {
  if (::rename(from.c_str(), to.c_str()) == 0) return true;
  reason = std::strerror(errno);
  return false;
}

void removeFile(const std::string& path) { ::unlink(path.c_str()); }

std::string findOnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  if (!path || program.empty()) return "";
  const std::string_view dirs = path;
  size_t begin = 0;
  while (begin <= dirs.size()) {
    size_t end = dirs.find(':', begin);
    if (end == std::string_view::npos) end = dirs.size();
    // An empty entry means the current directory.
    const std::string dir = end > begin ? std::string(dirs.substr(begin, end - begin)) : ".";
    const std::string candidate = dir + "/" + program;
    struct stat info;
    if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(candidate.c_str(), X_OK) == 0)
      return candidate;
    begin = end + 1;
  }
  return "";
}

fs::path programPath(const char* argv0) {
  std::error_code failure;
  const fs::path self = fs::read_symlink("/proc/self/exe", failure);
  if (!failure && self.is_absolute()) return self;
  // No /proc (a chroot without it, say): what the shell ran, links followed,
  // so that a link in /usr/local/bin still leads to the install it points into.
  if (!argv0 || !*argv0) return {};
  const std::string name = argv0;
  const std::string found = name.find('/') != std::string::npos ? name : findOnPath(name);
  if (found.empty()) return {};
  const fs::path named = fs::absolute(found, failure);
  if (failure) return {};
  const fs::path real = fs::canonical(named, failure);
  return failure ? named : real;
}

// ---- Interrupts

namespace {

volatile std::sig_atomic_t caught = 0;
constexpr int watched[] = {SIGINT, SIGTERM, SIGHUP};
static_assert(SIGHUP == interruptHangUp && SIGINT == interruptKeyboard && SIGTERM == interruptTerminate);
struct sigaction previous[3];

// Only notes the signal: everything else happens in the capture loop.
void note(int signal) {
  if (caught == 0) caught = signal;
}

}  // namespace

InterruptWatch::InterruptWatch() {
  caught = 0;
  struct sigaction action = {};
  action.sa_handler = note;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a wait on a child returns early, to look at the flag.
  action.sa_flags = 0;
  for (int i = 0; i < 3; ++i) {
    sigaction(watched[i], &action, &previous[i]);
    // Started under nohup, the program goes on when the terminal goes.
    if (watched[i] == SIGHUP && previous[i].sa_handler == SIG_IGN) sigaction(SIGHUP, &previous[i], nullptr);
  }
}

InterruptWatch::~InterruptWatch() {
  for (int i = 0; i < 3; ++i) sigaction(watched[i], &previous[i], nullptr);
}

int interruptSignal() { return caught; }

// ---- Child processes

struct ChildProcess::Handles {
  pid_t pid = -1;
  int input = -1;
  int output = -1;  // its stderr

  void closeInput() {
    if (input >= 0) ::close(input);
    input = -1;
  }
  void readMessages(std::string& messages) {
    char buffer[4096];
    for (;;) {
      const ssize_t n = ::read(output, buffer, sizeof buffer);
      if (n > 0) {
        keepMessages(messages, buffer, static_cast<size_t>(n));
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n == 0) {
        ::close(output);
        output = -1;
      }
      return;
    }
  }
};

ChildProcess::ChildProcess() : handles_(std::make_unique<Handles>()) {}

ChildProcess::~ChildProcess() {
  if (handles_->pid > 0) stop(SIGKILL);
  handles_->closeInput();
  if (handles_->output >= 0) ::close(handles_->output);
}

bool ChildProcess::start(const std::string& program, const std::vector<std::string>& arguments,
                         std::string& error) {
  std::vector<std::string> args = {program};
  args.insert(args.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  int input[2] = {-1, -1}, output[2];
  if (::pipe2(input, O_CLOEXEC) != 0 || ::pipe2(output, O_CLOEXEC) != 0) {
    error = std::string("can't make a pipe: ") + std::strerror(errno);
    if (input[0] >= 0) ::close(input[0]);
    if (input[1] >= 0) ::close(input[1]);
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
  handles_->pid = pid;
  handles_->input = input[1];
  handles_->output = output[0];
  messages_.clear();
  return true;
}

namespace {

// A write to a pipe whose reader has gone raises SIGPIPE, which by default
// ends the program. How SIGPIPE is handled belongs to the whole process (and
// to whoever started it), so it is left alone: this thread blocks the signal
// for the write, and takes back a SIGPIPE the write raised (a wait of no
// time) before its mask is restored. The write then just fails with EPIPE,
// and the child's own messages say why it stopped reading. A SIGPIPE that
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

bool ChildProcess::write(const void* data, size_t size) {
  Handles& h = *handles_;
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    if (h.input < 0 || interruptSignal()) return false;
    pollfd fds[2] = {{h.input, POLLOUT, 0}, {h.output, POLLIN, 0}};
    if (::poll(fds, h.output >= 0 ? 2 : 1, -1) < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (h.output >= 0 && fds[1].revents) h.readMessages(messages_);
    if (fds[0].revents & POLLOUT) {
      const ssize_t n = writeToPipe(h.input, bytes, size);
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

bool ChildProcess::finish(int& status, std::string& error) {
  Handles& h = *handles_;
  h.closeInput();
  if (h.pid <= 0) {
    error = "the child is not running";
    return false;
  }
  // Its messages end when it does.
  while (h.output >= 0) {
    if (interruptSignal()) return false;
    pollfd fd = {h.output, POLLIN, 0};
    if (::poll(&fd, 1, -1) < 0 && errno != EINTR) break;
    if (fd.revents) h.readMessages(messages_);
  }
  int wstatus = 0;
  while (::waitpid(h.pid, &wstatus, 0) < 0) {
    if (errno != EINTR) {
      error = std::string("can't wait for the child: ") + std::strerror(errno);
      h.pid = -1;
      return false;
    }
    if (interruptSignal()) return false;
  }
  h.pid = -1;
  status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
  return true;
}

void ChildProcess::stop(int signal) {
  Handles& h = *handles_;
  h.closeInput();
  if (h.pid <= 0) return;
  ::kill(h.pid, signal);
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  for (;;) {
    const pid_t done = ::waitpid(h.pid, &status, WNOHANG);
    if (done == h.pid || (done < 0 && errno != EINTR)) break;
    if (std::chrono::steady_clock::now() >= deadline) {
      ::kill(h.pid, SIGKILL);
      while (::waitpid(h.pid, &status, 0) < 0 && errno == EINTR) {
      }
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  h.pid = -1;
}

}  // namespace vorlith
