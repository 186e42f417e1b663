#pragma once
// Ctrl-C and SIGTERM on zarnet-cli. While a job that writes the camera runs,
// the first interrupt does not abandon the camera half written: it says the
// job will finish; a second one soon after ends the program at once, with a
// warning and the FAIL exit status. Outside such a job an interrupt ends the
// program with the refused status, as nothing was written.

#include <string>

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

  // How long a second interrupt counts as insisting.
  static constexpr int kInsistSeconds = 5;
};
