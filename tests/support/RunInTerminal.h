#pragma once
// Runs a program as a person at a terminal would.

#include <pty.h>
#include <unistd.h>

#include "support/RunProcess.h"

// The pseudo-terminal is the program's standard input, output and error, with
// `input` typed ahead; `out` holds everything the terminal showed.
inline ProcessResult RunInTerminal(const std::string& commandLine, const std::string& input) {
  ProcessResult result;
  int master = -1;
  const pid_t child = ::forkpty(&master, nullptr, nullptr, nullptr);
  if (child < 0) return result;
  if (child == 0) {
    ::execl("/bin/sh", "sh", "-c", commandLine.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  // The terminal keeps a typed-ahead line until the program reads it.
  if (!input.empty() && ::write(master, input.data(), input.size()) < 0) result.err = "cannot type";
  std::array<char, 4096> buffer{};
  ssize_t n = 0;
  while ((n = ::read(master, buffer.data(), buffer.size())) > 0) result.out.append(buffer.data(), size_t(n));
  ::close(master);
  int raw = 0;
  ::waitpid(child, &raw, 0);
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return result;
}
