#pragma once
// The signals that ask a program to end (interrupt, termination, hang-up)
// turned into a call on the Qt main thread, so that the program can end its
// event loop and clean up as on any other exit. The handler only writes the
// signal's number into a pipe that the event loop watches.

#include <functional>
#include <memory>

class QSocketNotifier;

namespace frontends::qt {

class SignalWatch {
 public:
  // Made on the Qt main thread, after the application object; one at a time.
  SignalWatch();
  // Gives the signals back their earlier handling.
  ~SignalWatch();
  SignalWatch(const SignalWatch&) = delete;
  SignalWatch& operator=(const SignalWatch&) = delete;

  // Called on the main thread when a watched signal arrives; at once when
  // one came already. Null stops the calls.
  void OnSignal(std::function<void()> callback);
  // The first watched signal that arrived; 0 while none has.
  int Received() const { return received_; }

 private:
  void Drain();

  std::unique_ptr<QSocketNotifier> notifier_;
  std::function<void()> callback_;
  int received_ = 0;
};

}  // namespace frontends::qt
