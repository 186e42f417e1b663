#include "frontends/qt/SignalWatch.h"

#include <QSocketNotifier>
#include <array>
#include <cerrno>
#include <csignal>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace frontends::qt {

#ifdef _WIN32

// The window system of Windows ends a program by its own messages; nothing
// is watched there.
SignalWatch::SignalWatch() = default;
SignalWatch::~SignalWatch() = default;
void SignalWatch::Drain() {}

#else

namespace {

constexpr std::array<int, 3> kEndingSignals{SIGINT, SIGTERM, SIGHUP};

// Process-wide, as signal handling is: the pipe's ends while a watch lives,
// and the handling each signal had before.
int g_pipe[2] = {-1, -1};
std::array<struct sigaction, kEndingSignals.size()> g_previous{};

void WriteSignalNumber(int signal) {
  const int savedErrno = errno;
  const auto number = static_cast<unsigned char>(signal);
  // A full pipe already holds a signal the loop has yet to see.
  [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &number, 1);
  errno = savedErrno;
}

}  // namespace

SignalWatch::SignalWatch() {
  if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    g_pipe[0] = g_pipe[1] = -1;
    return;  // the signals keep their usual effect
  }
  notifier_ = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { Drain(); });
  struct sigaction action {};
  action.sa_handler = WriteSignalNumber;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (size_t i = 0; i < kEndingSignals.size(); ++i) {
    ::sigaction(kEndingSignals[i], nullptr, &g_previous[i]);
    // A signal ignored from the start stays ignored (nohup's hang-up).
    if (g_previous[i].sa_handler != SIG_IGN) ::sigaction(kEndingSignals[i], &action, nullptr);
  }
}

SignalWatch::~SignalWatch() {
  if (!notifier_) return;
  for (size_t i = 0; i < kEndingSignals.size(); ++i) ::sigaction(kEndingSignals[i], &g_previous[i], nullptr);
  notifier_.reset();
  ::close(g_pipe[0]);
  ::close(g_pipe[1]);
  g_pipe[0] = g_pipe[1] = -1;
}

void SignalWatch::Drain() {
  unsigned char number = 0;
  while (::read(g_pipe[0], &number, 1) == 1) {
    if (received_ == 0) received_ = number;
  }
  if (received_ != 0 && callback_) callback_();
}

#endif

void SignalWatch::OnSignal(std::function<void()> callback) {
  callback_ = std::move(callback);
  Drain();
}

}  // namespace frontends::qt
