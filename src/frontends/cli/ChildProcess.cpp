#include "ChildProcess.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/win32/WideText.h"
#else
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char** environ;
#endif

#include <climits>

#ifdef _WIN32

namespace {

using platform::win32::Narrow;
using platform::win32::Wide;

// One argument as the C runtime splits a command line back into argv:
// quoted when it is empty or holds a blank or a quote, with the backslashes
// before a quote (or before the closing quote) doubled.
std::wstring Quoted(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
  std::wstring quoted = L"\"";
  for (size_t i = 0;; ++i) {
    size_t backslashes = 0;
    for (; i < arg.size() && arg[i] == L'\\'; ++i) ++backslashes;
    if (i == arg.size()) {
      quoted.append(backslashes * 2, L'\\');
      break;
    }
    quoted.append(arg[i] == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    quoted += arg[i];
  }
  return quoted + L"\"";
}

std::string SystemError(const char* what) {
  return std::string(what) + " failed (" + std::to_string(::GetLastError()) + ")";
}

void CloseIfOpen(void*& handle) {
  if (handle) ::CloseHandle(handle);
  handle = nullptr;
}

}  // namespace

std::string ChildProcess::ThisProgram() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) return Narrow(path.substr(0, n));
    path.resize(path.size() * 2);
  }
}

std::string ChildProcess::Start(const std::string& program, const std::vector<std::string>& args) {
  SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE outRead = nullptr, outWrite = nullptr, errRead = nullptr, errWrite = nullptr;
  if (!::CreatePipe(&outRead, &outWrite, &inherited, 0)) return SystemError("CreatePipe");
  if (!::CreatePipe(&errRead, &errWrite, &inherited, 0)) {
    ::CloseHandle(outRead);
    ::CloseHandle(outWrite);
    return SystemError("CreatePipe");
  }
  // Only the child's ends are inherited, so that a later child keeps no
  // pipe of this one open.
  ::SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
  ::SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
  HANDLE nul =
      ::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited, OPEN_EXISTING, 0, nullptr);
  std::wstring commandLine = Quoted(Wide(program));
  for (const std::string& arg : args) commandLine += L" " + Quoted(Wide(arg));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nul;
  startup.hStdOutput = outWrite;
  startup.hStdError = errWrite;
  PROCESS_INFORMATION info{};
  const std::wstring path = Wide(program);
  const BOOL created =
      ::CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info);
  const std::string failure = created ? std::string() : SystemError("CreateProcess");
  ::CloseHandle(outWrite);
  ::CloseHandle(errWrite);
  if (nul != INVALID_HANDLE_VALUE) ::CloseHandle(nul);
  if (!created) {
    ::CloseHandle(outRead);
    ::CloseHandle(errRead);
    return failure;
  }
  ::CloseHandle(info.hThread);
  std::lock_guard<std::mutex> lock(mutex_);
  process_ = info.hProcess;
  out_ = outRead;
  err_ = errRead;
  started_ = true;
  return {};
}

std::string ChildProcess::Read(Stream stream) {
  void* handle = stream == Stream::kOut ? out_ : err_;
  char buffer[4096];
  DWORD n = 0;
  if (!handle || !::ReadFile(handle, buffer, sizeof buffer, &n, nullptr)) return {};
  return std::string(buffer, n);
}

int ChildProcess::Wait() {
  if (!started_) return -1;
  ::WaitForSingleObject(process_, INFINITE);
  std::lock_guard<std::mutex> lock(mutex_);
  if (!ended_) {
    DWORD code = 0;
    ::GetExitCodeProcess(process_, &code);
    status_ = static_cast<int>(code);
    ended_ = true;
  }
  return status_;
}

void ChildProcess::Interrupt(bool) {}

void ChildProcess::CloseReadEnds() {
  CloseIfOpen(out_);
  CloseIfOpen(err_);
}

ChildProcess::~ChildProcess() {
  CloseReadEnds();
  if (started_) Wait();
  CloseIfOpen(process_);
}

#else

namespace {

std::string SystemError(const char* what, int error) { return std::string(what) + ": " + std::strerror(error); }

void CloseIfOpen(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

// The spawned child's own signal handling starts afresh: it is not born with
// the signals this program's interrupt watcher blocks. It gets a process
// group of its own, so that an interrupt reaches it once, passed on from
// here, and not a second time from the terminal: a second interrupt would
// abandon its download.
std::string SpawnAttributes(posix_spawnattr_t* attributes) {
  if (const int error = posix_spawnattr_init(attributes)) return SystemError("posix_spawnattr_init", error);
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGINT);
  sigaddset(&defaults, SIGTERM);
  posix_spawnattr_setsigmask(attributes, &none);
  posix_spawnattr_setsigdefault(attributes, &defaults);
  posix_spawnattr_setpgroup(attributes, 0);
  posix_spawnattr_setflags(attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
  return {};
}

}  // namespace

std::string ChildProcess::ThisProgram() {
  char path[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return {};
  return std::string(path, static_cast<size_t>(n));
}

std::string ChildProcess::Start(const std::string& program, const std::vector<std::string>& args) {
  int out[2], err[2];
  // Close-on-exec, so that a later child keeps no pipe of this one open.
  if (::pipe2(out, O_CLOEXEC) != 0) return SystemError("pipe", errno);
  if (::pipe2(err, O_CLOEXEC) != 0) {
    const int error = errno;
    ::close(out[0]);
    ::close(out[1]);
    return SystemError("pipe", error);
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
  posix_spawnattr_t attributes;
  std::string failure = SpawnAttributes(&attributes);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (failure.empty()) {
    if (const int error = posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ))
      failure = SystemError(program.c_str(), error);
    posix_spawnattr_destroy(&attributes);
  }
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  ::close(err[1]);
  if (!failure.empty()) {
    ::close(out[0]);
    ::close(err[0]);
    return failure;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  pid_ = pid;
  out_ = out[0];
  err_ = err[0];
  started_ = true;
  return {};
}

std::string ChildProcess::Read(Stream stream) {
  const int fd = stream == Stream::kOut ? out_ : err_;
  char buffer[4096];
  for (;;) {
    const ssize_t n = fd < 0 ? 0 : ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
  }
}

int ChildProcess::Wait() {
  if (!started_) return -1;
  // The child is left a zombie until the lock is held, so that its id is
  // not given to another process while Interrupt may still signal it.
  siginfo_t info{};
  while (::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
  }
  std::lock_guard<std::mutex> lock(mutex_);
  if (ended_) return status_;
  int raw = 0;
  while (::waitpid(pid_, &raw, 0) < 0 && errno == EINTR) {
  }
  status_ = WIFSIGNALED(raw) ? 128 + WTERMSIG(raw) : WEXITSTATUS(raw);
  ended_ = true;
  return status_;
}

void ChildProcess::Interrupt(bool terminate) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (started_ && !ended_) ::kill(pid_, terminate ? SIGTERM : SIGINT);
}

void ChildProcess::CloseReadEnds() {
  CloseIfOpen(out_);
  CloseIfOpen(err_);
}

// Closing first: a child still writing then fails at once rather than wait
// for a reader that will not come.
ChildProcess::~ChildProcess() {
  CloseReadEnds();
  if (started_) Wait();
}

#endif
