// The operating system's side of os.h on Windows. Names are UTF-8 inside the
// program and wide (UTF-16) at every call into the system.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

#include "platform/os.h"

namespace vorlith {

namespace fs = std::filesystem;

namespace {

std::wstring wide(std::string_view text) {
  if (text.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

std::string utf8(std::wstring_view text) {
  if (text.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                    nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

// The system's words for an error code, without the line break it ends in.
std::string systemReason(DWORD code) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                     FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string reason = n ? utf8(std::wstring_view(text, n)) : "error " + std::to_string(code);
  if (text) LocalFree(text);
  reason.erase(reason.find_last_not_of("\r\n .") + 1);
  return reason;
}

}  // namespace

std::vector<std::string> programArguments(int argc, const char* const* argv) {
  int count = 0;
  wchar_t** words = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!words) return std::vector<std::string>(argv, argv + argc);
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i) arguments.push_back(utf8(words[i]));
  LocalFree(words);
  return arguments;
}

void attachToConsole() {
  // A program of the window kind has no console. Started from one, it prints
  // there, unless its output was sent somewhere already (a pipe, a file).
  const auto unset = [](DWORD which) {
    const HANDLE h = GetStdHandle(which);
    return h == nullptr || h == INVALID_HANDLE_VALUE;
  };
  if (!unset(STD_OUTPUT_HANDLE) && !unset(STD_ERROR_HANDLE)) return;
  if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
  if (unset(STD_OUTPUT_HANDLE) || _fileno(stdout) < 0) std::freopen("CONOUT$", "w", stdout);
  if (unset(STD_ERROR_HANDLE) || _fileno(stderr) < 0) std::freopen("CONOUT$", "w", stderr);
}

QuietStderr::QuietStderr() { (void)saved_; }
QuietStderr::~QuietStderr() {}

uint64_t processId() { return GetCurrentProcessId(); }

bool writeNewFile(const std::string& path, const void* data, size_t size, std::string& reason) {
  const int fd = _wopen(wide(path).c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY | _O_NOINHERIT,
                        _S_IREAD | _S_IWRITE);
  if (fd < 0) {
    reason = std::strerror(errno);
    return false;
  }
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const unsigned chunk = static_cast<unsigned>(std::min<size_t>(size, 1u << 30));
    const int n = _write(fd, bytes, chunk);
    if (n <= 0) {
      reason = std::strerror(n < 0 ? errno : ENOSPC);
      _close(fd);
      return false;
    }
    bytes += n;
    size -= static_cast<size_t>(n);
  }
  if (_close(fd) != 0) {
    reason = std::strerror(errno);
    return false;
  }
  return true;
}

bool replaceFile(const std::string& from, const std::string& to, std::string& reason) {
  if (MoveFileExW(wide(from).c_str(), wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return true;
  reason = systemReason(GetLastError());
  return false;
}

void removeFile(const std::string& path) { DeleteFileW(wide(path).c_str()); }

std::string findOnPath(const std::string& program) {
  const DWORD size = GetEnvironmentVariableW(L"PATH", nullptr, 0);
  if (size == 0 || program.empty()) return "";
  std::wstring dirs(size, L'\0');
  dirs.resize(GetEnvironmentVariableW(L"PATH", dirs.data(), size));
  std::wstring name = wide(program);
  if (fs::path(name).extension().empty()) name += L".exe";
  size_t begin = 0;
  while (begin <= dirs.size()) {
    size_t end = dirs.find(L';', begin);
    if (end == std::wstring::npos) end = dirs.size();
    std::wstring dir = dirs.substr(begin, end - begin);
    // Entries may be quoted ("C:\Program Files\ffmpeg\bin"); empty ones mean nothing.
    if (dir.size() >= 2 && dir.front() == L'"' && dir.back() == L'"') dir = dir.substr(1, dir.size() - 2);
    if (!dir.empty()) {
      const fs::path candidate = fs::path(dir) / name;
      std::error_code ignored;
      if (fs::is_regular_file(candidate, ignored)) return utf8Path(candidate);
    }
    begin = end + 1;
  }
  return "";
}

fs::path programPath(const char* /*argv0*/) {
  std::wstring name(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (n == 0) return {};
    if (n < name.size()) {
      name.resize(n);
      return fs::path(name);
    }
    name.resize(name.size() * 2);
  }
}

// ---- Interrupts

namespace {

std::atomic<int> caught{0};
// Set when the watch ends: a console that is being closed waits for it, as
// the system ends the program as soon as the handler returns.
HANDLE watchOver = nullptr;

BOOL WINAPI note(DWORD event) {
  int number = 0;
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT: number = interruptKeyboard; break;
    case CTRL_CLOSE_EVENT: number = interruptHangUp; break;
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT: number = interruptTerminate; break;
    default: return FALSE;
  }
  int none = 0;
  caught.compare_exchange_strong(none, number);
  if (number != interruptKeyboard && watchOver) WaitForSingleObject(watchOver, 4000);
  return TRUE;
}

}  // namespace

InterruptWatch::InterruptWatch() {
  caught = 0;
  watchOver = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  SetConsoleCtrlHandler(note, TRUE);
}

InterruptWatch::~InterruptWatch() {
  SetConsoleCtrlHandler(note, FALSE);
  if (watchOver) SetEvent(watchOver);
}

int interruptSignal() { return caught; }

// ---- Child processes

namespace {

// One argument as the C runtime of the child splits its command line:
// quoted when it holds a space, a tab or a quote, with the backslashes before
// a quote doubled.
void appendQuoted(std::wstring& line, const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    line += argument;
    return;
  }
  line += L'"';
  size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    line += c;
  }
  line.append(backslashes * 2, L'\\');
  line += L'"';
}

}  // namespace

struct ChildProcess::Handles {
  HANDLE process = nullptr;
  HANDLE job = nullptr;
  HANDLE input = nullptr;
  std::thread reader;  // drains its stderr into messages
  std::mutex lock;
  std::string collected;

  void closeInput() {
    if (input) CloseHandle(input);
    input = nullptr;
  }
  void release() {
    closeInput();
    if (reader.joinable()) reader.join();
    if (process) CloseHandle(process);
    if (job) CloseHandle(job);  // kills what is left of it
    process = job = nullptr;
  }
};

ChildProcess::ChildProcess() : handles_(std::make_unique<Handles>()) {}

ChildProcess::~ChildProcess() {
  if (handles_->process) stop(interruptTerminate);
  handles_->release();
}

bool ChildProcess::start(const std::string& program, const std::vector<std::string>& arguments,
                         std::string& error) {
  Handles& h = *handles_;
  std::wstring line;
  appendQuoted(line, wide(program));
  for (const std::string& a : arguments) {
    line += L' ';
    appendQuoted(line, wide(a));
  }

  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE inputRead = nullptr, inputWrite = nullptr, outputRead = nullptr, outputWrite = nullptr;
  if (!CreatePipe(&inputRead, &inputWrite, &inherit, 1 << 20)) {
    error = "can't make a pipe: " + systemReason(GetLastError());
    return false;
  }
  if (!CreatePipe(&outputRead, &outputWrite, &inherit, 1 << 16)) {
    error = "can't make a pipe: " + systemReason(GetLastError());
    CloseHandle(inputRead);
    CloseHandle(inputWrite);
    return false;
  }
  // Our ends stay ours.
  SetHandleInformation(inputWrite, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(outputRead, HANDLE_FLAG_INHERIT, 0);

  // The job kills the child when its last handle closes: ours, when this
  // program ends however it ends.
  h.job = CreateJobObjectW(nullptr, nullptr);
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (h.job) SetInformationJobObject(h.job, JobObjectExtendedLimitInformation, &limits, sizeof limits);

  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = inputRead;
  startup.hStdOutput = outputWrite;
  startup.hStdError = outputWrite;
  PROCESS_INFORMATION info = {};
  // Its own process group (a Ctrl-C reaches only us, and we stop it in
  // order), no console window of its own, held until it is in the job.
  const BOOL started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE,
                                      CREATE_NEW_PROCESS_GROUP | CREATE_NO_WINDOW | CREATE_SUSPENDED |
                                          CREATE_UNICODE_ENVIRONMENT,
                                      nullptr, nullptr, &startup, &info);
  const DWORD startError = GetLastError();
  CloseHandle(inputRead);
  CloseHandle(outputWrite);
  if (!started) {
    error = "can't start " + program + ": " + systemReason(startError);
    CloseHandle(inputWrite);
    CloseHandle(outputRead);
    if (h.job) CloseHandle(h.job);
    h.job = nullptr;
    return false;
  }
  if (h.job) AssignProcessToJobObject(h.job, info.hProcess);
  ResumeThread(info.hThread);
  CloseHandle(info.hThread);
  h.process = info.hProcess;
  h.input = inputWrite;
  messages_.clear();
  h.collected.clear();
  h.reader = std::thread([&h, outputRead] {
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(outputRead, buffer, sizeof buffer, &n, nullptr) && n > 0) {
      std::lock_guard<std::mutex> hold(h.lock);
      keepMessages(h.collected, buffer, n);
    }
    CloseHandle(outputRead);
  });
  return true;
}

bool ChildProcess::write(const void* data, size_t size) {
  Handles& h = *handles_;
  const char* bytes = static_cast<const char*>(data);
  // In pieces, to look at the interrupt flag between them.
  while (size > 0) {
    if (!h.input || interruptSignal()) return false;
    const DWORD piece = static_cast<DWORD>(std::min<size_t>(size, 1 << 16));
    DWORD n = 0;
    if (!WriteFile(h.input, bytes, piece, &n, nullptr)) return false;  // it stopped reading
    bytes += n;
    size -= n;
  }
  return true;
}

bool ChildProcess::finish(int& status, std::string& error) {
  Handles& h = *handles_;
  h.closeInput();
  if (!h.process) {
    error = "the child is not running";
    return false;
  }
  while (WaitForSingleObject(h.process, 50) == WAIT_TIMEOUT)
    if (interruptSignal()) return false;
  DWORD code = 0;
  GetExitCodeProcess(h.process, &code);
  h.release();
  messages_ = h.collected;
  status = static_cast<int>(code);
  return true;
}

void ChildProcess::stop(int /*signal*/) {
  Handles& h = *handles_;
  h.closeInput();
  if (!h.process) return;
  // No signals to forward: it ends now, with everything in its job.
  if (h.job)
    TerminateJobObject(h.job, 1);
  else
    TerminateProcess(h.process, 1);
  WaitForSingleObject(h.process, 5000);
  h.release();
  messages_ = h.collected;
}

}  // namespace vorlith
