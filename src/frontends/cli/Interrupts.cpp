#include "Interrupts.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <pthread.h>
#include <signal.h>
#include <unistd.h>
#endif

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "Commands.h"
#include "Terminal.h"

namespace {

// The watcher's shared state; one guard lives at a time.
struct Watch {
  std::mutex mutex;
  std::condition_variable taken;
  std::condition_variable disarmed;
  int count = 0;
  std::string armedFor;  // empty while nothing must finish
  std::chrono::steady_clock::time_point firstAt;
  bool askedToFinish = false;
  InterruptGuard::FinalLine finalLine = nullptr;
  InterruptGuard::Relay relay;
#ifndef _WIN32
  std::thread thread;
  sigset_t previousMask;
#endif
};
Watch& TheWatch() {
  static Watch watch;
  return watch;
}

// Straight to the descriptor: the main thread may be drawing the bar, which
// the line starts below.
void Say(const std::string& text) {
#ifdef _WIN32
  std::fputs(((IsTerminal(2) ? "\n" : "") + std::string("zarnet-cli: ") + text + "\n").c_str(), stderr);
  std::fflush(stderr);
#else
  const std::string line = (IsTerminal(STDERR_FILENO) ? "\n" : "") + std::string("zarnet-cli: ") + text + "\n";
  [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, line.data(), line.size());
#endif
}

// Ends the program after saying why, with the final line where one is asked
// for. Written straight to the descriptor: the main thread may hold the
// stream's lock.
[[noreturn]] void End(const Watch& w, const std::optional<std::string>& result, int exitStatus,
                      const std::string& why) {
  Say(why);
  if (w.finalLine) {
    const std::string line = w.finalLine(result, exitStatus, why);
#ifdef _WIN32
    [[maybe_unused]] const int written = ::_write(1, line.data(), static_cast<unsigned>(line.size()));
#else
    [[maybe_unused]] const ssize_t written = ::write(STDOUT_FILENO, line.data(), line.size());
#endif
  }
  std::_Exit(exitStatus);
}

// `exitStatus`: what the interrupt ends the program with.
void Take(Watch& w, int exitStatus) {
  std::unique_lock<std::mutex> lock(w.mutex);
  // Under the lock, so that once RelayTo(nullptr) returns no relay runs
  // any more and what it reaches may go.
  if (w.relay) return w.relay(exitStatus);
  const auto now = std::chrono::steady_clock::now();
  if (w.armedFor.empty()) End(w, std::nullopt, exitStatus, "interrupted; nothing was written to the camera");
  if (w.askedToFinish && now - w.firstAt < std::chrono::seconds(InterruptGuard::kInsistSeconds)) {
    End(w, std::string("FAIL"), exitStatus,
        "abandoned: the " + w.armedFor +
            " was stopped midway; the camera's memory is left half written and the camera may not start. "
            "Flash it again before unplugging it.");
  }
  w.askedToFinish = true;
  w.firstAt = now;
  Say("the " + w.armedFor +
      " will finish first, which may take up to two minutes; interrupt again within 5 s to abandon the camera "
      "half written");
  ++w.count;
  w.taken.notify_all();
}

#ifdef _WIN32
// A closed console, a log-off or a shutdown ends the process as soon as the
// handler returns, and at the latest after the system's grace period (a few
// seconds): the job cannot be promised to finish. The handler holds the
// close for as long as the system lets it, and says so.
void HoldClose(Watch& w) {
  std::unique_lock<std::mutex> lock(w.mutex);
  if (w.armedFor.empty()) {
    Say("the console is closing; nothing was written to the camera");
    std::_Exit(kExitRefused);
  }
  const std::string job = w.armedFor;
  Say("the console is closing, and Windows ends this program within seconds: the " + job +
      " may be stopped midway, leaving the camera's memory half written and the camera unable to start. "
      "Flash it again before unplugging it.");
  w.disarmed.wait(lock, [&w] { return w.armedFor.empty(); });
  Say("the " + job + " ended before the console closed");
}

// The system calls the handler on a thread of its own, as the watcher would.
BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
    HoldClose(TheWatch());
    return TRUE;
  }
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  Take(TheWatch(), event == CTRL_C_EVENT ? kExitInterrupted : kExitTerminated);
  return TRUE;
}

}  // namespace

InterruptGuard::InterruptGuard() { ::SetConsoleCtrlHandler(OnConsoleControl, TRUE); }

InterruptGuard::~InterruptGuard() {
  ::SetConsoleCtrlHandler(OnConsoleControl, FALSE);
  Watch& w = TheWatch();
  std::lock_guard<std::mutex> lock(w.mutex);
  w.count = 0;
  w.armedFor.clear();
  w.askedToFinish = false;
  w.relay = nullptr;
}

// Ctrl-Break stands for SIGTERM: a closing console would hold the calling
// thread until the job ends, which is the thread the simulation calls from.
void InterruptGuard::SendToSelf(bool terminate) { OnConsoleControl(terminate ? CTRL_BREAK_EVENT : CTRL_C_EVENT); }
#else
sigset_t WatchedSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGUSR2);  // the guard's own: stop watching
  return set;
}

void WatchSignals() {
  const sigset_t set = WatchedSignals();
  for (;;) {
    int signal = 0;
    if (sigwait(&set, &signal) != 0 || signal == SIGUSR2) return;
    Take(TheWatch(), signal == SIGTERM ? kExitTerminated : kExitInterrupted);
  }
}

}  // namespace

InterruptGuard::InterruptGuard() {
  Watch& w = TheWatch();
  const sigset_t set = WatchedSignals();
  pthread_sigmask(SIG_BLOCK, &set, &w.previousMask);
  w.thread = std::thread(WatchSignals);
}

void InterruptGuard::SendToSelf(bool terminate) { ::kill(::getpid(), terminate ? SIGTERM : SIGINT); }

InterruptGuard::~InterruptGuard() {
  Watch& w = TheWatch();
  pthread_kill(w.thread.native_handle(), SIGUSR2);
  w.thread.join();
  pthread_sigmask(SIG_SETMASK, &w.previousMask, nullptr);
  std::lock_guard<std::mutex> lock(w.mutex);
  w.count = 0;
  w.armedFor.clear();
  w.askedToFinish = false;
  w.relay = nullptr;
}
#endif

void InterruptGuard::Arm(const std::string& what) {
  std::lock_guard<std::mutex> lock(TheWatch().mutex);
  TheWatch().armedFor = what;
}

void InterruptGuard::Disarm() {
  std::lock_guard<std::mutex> lock(TheWatch().mutex);
  TheWatch().armedFor.clear();
  TheWatch().disarmed.notify_all();
}

void InterruptGuard::RelayTo(Relay relay) {
  std::lock_guard<std::mutex> lock(TheWatch().mutex);
  TheWatch().relay = std::move(relay);
}

void InterruptGuard::OnEnd(FinalLine line) {
  std::lock_guard<std::mutex> lock(TheWatch().mutex);
  TheWatch().finalLine = line;
}

int InterruptGuard::Taken() {
  std::lock_guard<std::mutex> lock(TheWatch().mutex);
  return TheWatch().count;
}

void InterruptGuard::AwaitTaken(int count) {
  std::unique_lock<std::mutex> lock(TheWatch().mutex);
  TheWatch().taken.wait(lock, [count] { return TheWatch().count >= count; });
}
