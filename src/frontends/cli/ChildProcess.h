#pragma once
// A copy of a program run beside this one: its standard input from the null
// device, its standard output and error read here through pipes. flash --all
// runs one per camera, so that what a download keeps process-wide stays one
// camera's.

#include <mutex>
#include <string>
#include <vector>

class ChildProcess {
 public:
  ChildProcess() = default;
  // Closes the pipes and waits for a child still running.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // This program's own executable, to start copies of it; empty when the
  // system does not tell.
  static std::string ThisProgram();

  // Starts `program` with `args` after its own name. Empty, or why it could
  // not be started.
  std::string Start(const std::string& program, const std::vector<std::string>& args);

  enum class Stream { kOut, kErr };
  // Blocks for what the child writes next on `stream`; empty at its end.
  // The two streams may be read on two threads at once.
  std::string Read(Stream stream);
  // Waits for the child to end: its exit status, or 128 + the signal that
  // ended it, as the shells tell it.
  int Wait();
  // Passes an interrupt (SIGINT, or SIGTERM when `terminate`) on to the
  // child while it runs: in a process group of its own, it hears of one only
  // from here. On Windows nothing: the console's Ctrl-C and Ctrl-Break reach
  // every program attached to it, once.
  void Interrupt(bool terminate);

 private:
  void CloseReadEnds();

  std::mutex mutex_;  // a SIGTERM passed on never reaches a reaped child's id
  bool started_ = false;
  bool ended_ = false;
  int status_ = 0;
#ifdef _WIN32
  void* process_ = nullptr;
  void* out_ = nullptr;
  void* err_ = nullptr;
#else
  int pid_ = -1;
  int out_ = -1;
  int err_ = -1;
#endif
};
