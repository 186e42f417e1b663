#pragma once
// Ctrl-C and SIGTERM on zarnet-cli. While a job that writes the camera runs,
// the first interrupt does not abandon the camera half written: it says the
// job will finish; a second one soon after ends the program at once, with a
// warning. Outside such a job an interrupt ends the program at once, as
// nothing was written. Either way the exit status is the shells' own for a
// program a signal ended: 128 + 2 (SIGINT, Ctrl-C) or 128 + 15 (SIGTERM; on
// Windows Ctrl-Break, which stands for it).

#include <functional>
#include <optional>
#include <string>

constexpr int kExitInterrupted = 130;
constexpr int kExitTerminated = 143;

class InterruptGuard {
 public:
  // Must be made before any other thread starts: the signals are blocked in
  // every thread and taken by a watcher thread of its own.
  InterruptGuard();
  ~InterruptGuard();
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;

  // A job that must not be abandoned starts; `what` names it ("download").
  void Arm(const std::string& what);
  void Disarm();

  // An interrupt to this process, as the system delivers one (for the
  // simulation's interrupt moments): SIGINT, or SIGTERM when `terminate`
  // (on Windows Ctrl-C, or Ctrl-Break).
  static void SendToSelf(bool terminate = false);
  // Interrupts taken so far (for the simulation's interrupt moments).
  static int Taken();
  // Blocks until `count` interrupts have been taken.
  static void AwaitTaken(int count);

  // The program's last words on standard output when an interrupt ends it
  // (with --json, the result a script waits for), formatted by `line` on
  // the thread that takes the interrupt and written straight to the
  // descriptor; nullptr: none. `line` must take no lock the program's other
  // threads may hold.
  using FinalLine = std::string (*)(const std::optional<std::string>& result, int exitStatus,
                                    const std::string& reason);
  static void OnEnd(FinalLine line);

  // For a program that waits for children of its own, which take the
  // interrupts themselves: from now on each interrupt is handed to `relay`
  // (on the watcher's thread, with the exit status it stands for) instead
  // of ending the program or asking a job to finish. nullptr: as before,
  // and no relay call runs on once it returns. `relay` must not call the
  // guard.
  using Relay = std::function<void(int exitStatus)>;
  static void RelayTo(Relay relay);

  // How long a second interrupt counts as insisting.
  static constexpr int kInsistSeconds = 5;
};
