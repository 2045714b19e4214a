#pragma once
// What the program needs from the operating system beyond the C++ library,
// in one place: each function here has one definition per system, in
// os_posix.cpp (Linux) and os_windows.cpp (Windows); CMake builds the one that
// fits. Text is UTF-8 throughout: names of files, arguments, messages.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vorlith {

// ---- Names of files. A std::filesystem::path made from a plain string reads
// it in the system's narrow encoding, which on Windows is not UTF-8 even
// where the program's code page is: these two convert explicitly.
inline std::filesystem::path pathFromUtf8(std::string_view text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}
inline std::string utf8Path(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// The program's arguments as UTF-8 (on Windows read again from the wide
// command line, whatever the code page).
std::vector<std::string> programArguments(int argc, const char* const* argv);

// A program started from a console prints there (a Windows program of the
// window kind first attaches to its parent's console, when it has none of
// its own and its output goes nowhere else). Nothing to do elsewhere.
void attachToConsole();

// Sends stderr to the null device while it lives, for libraries that print
// while they merely probe (nothing to silence on Windows).
class QuietStderr {
 public:
  QuietStderr();
  ~QuietStderr();
  QuietStderr(const QuietStderr&) = delete;
  QuietStderr& operator=(const QuietStderr&) = delete;

 private:
  int saved_ = -1;
};

// The id of this process, for names of temporary files.
uint64_t processId();

// ---- Files. Every file is written whole in binary mode (no newline
// translation) by writeNewFile and put in place by replaceFile, which also
// replaces a file of the final name. False with the system's reason.
bool writeNewFile(const std::string& path, const void* data, size_t size, std::string& reason);
bool replaceFile(const std::string& from, const std::string& to, std::string& reason);
void removeFile(const std::string& path);

// ---- Programs. The first executable file of that name in the directories of
// PATH (on Windows with ".exe" added when the name has no extension), or ""
// when there is none. The one walk of PATH in the program.
std::string findOnPath(const std::string& program);

// The program's own file: what the system says (/proc/self/exe; the module
// file name on Windows), else argv0 found the way the shell found it (as given
// when it names a path, else on PATH, links followed). Empty when neither works.
std::filesystem::path programPath(const char* argv0);

// ---- Interrupts. While an InterruptWatch lives, an interrupt does not end
// the program on the spot: the handler only notes it. On Linux that is
// SIGINT, SIGTERM or SIGHUP; on Windows Ctrl-C or Ctrl-Break (noted as
// SIGINT's number) and closing the console window or logging off (SIGHUP's
// and SIGTERM's), so that an interrupted capture ends with 128 + that number
// everywhere. Watches do not nest; the previous handling is back when it goes.
class InterruptWatch {
 public:
  InterruptWatch();
  ~InterruptWatch();
  InterruptWatch(const InterruptWatch&) = delete;
  InterruptWatch& operator=(const InterruptWatch&) = delete;
};

// The number of the first interrupt that came while a watch was on, or 0.
int interruptSignal();

constexpr int interruptHangUp = 1, interruptKeyboard = 2, interruptTerminate = 15;

// ---- A child program with a pipe to its input and its messages (stderr)
// kept, which never outlives this program: on Linux it runs in a process
// group of its own (a Ctrl-C at the terminal reaches only this program, which
// stops it in order) and dies with us; on Windows it runs in a job object
// that is closed, killing it, when this program ends, however it ends.
class ChildProcess {
 public:
  ChildProcess();
  ~ChildProcess();  // a child still running is killed and reaped
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts program (a full path) with the arguments; false with a message.
  bool start(const std::string& program, const std::vector<std::string>& arguments, std::string& error);
  // Sends bytes to its input; false when it stopped reading or an interrupt came.
  // A reader that went away never raises SIGPIPE (whose handling is left alone).
  bool write(const void* data, size_t size);
  // Closes its input and waits for it to end: its exit status in status (-1
  // when a signal ended it). False when an interrupt came meanwhile or it
  // could not be waited for (the reason in error).
  bool finish(int& status, std::string& error);
  // Closes its input, asks it to end (forwarding the signal where there are
  // signals), waits a moment, kills it if it has not ended, and reaps it.
  void stop(int signal);
  // What it wrote to stderr (the last 32 KiB or more of it).
  const std::string& messages() const { return messages_; }

 private:
  struct Handles;
  std::unique_ptr<Handles> handles_;
  std::string messages_;
};

// Keeps the end of a child's messages: the last ones say why it failed, and a
// chatty child can't fill memory.
inline void keepMessages(std::string& messages, const char* more, size_t size) {
  messages.append(more, size);
  if (messages.size() > 65536) messages.erase(0, messages.size() - 32768);
}

}  // namespace vorlith
