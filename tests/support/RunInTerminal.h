#pragma once
// Runs a program as a person at a terminal would.

#include <pty.h>
#include <unistd.h>

#include "support/RunProcess.h"

// The pseudo-terminal is the program's standard input, output and error, with
// `input` typed ahead (or, with `typeAfter`, once the terminal shows that
// text); `out` holds everything the terminal showed. With `columns`, the
// terminal is that wide.
inline ProcessResult RunInTerminal(const std::string& commandLine, const std::string& input, int columns = 0,
                                   const std::string& typeAfter = "") {
  ProcessResult result;
  int master = -1;
  winsize size{};
  size.ws_row = 24;
  size.ws_col = static_cast<unsigned short>(columns);
  const pid_t child = ::forkpty(&master, nullptr, nullptr, columns > 0 ? &size : nullptr);
  if (child < 0) return result;
  if (child == 0) {
    ::execl("/bin/sh", "sh", "-c", commandLine.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  // The terminal keeps a typed-ahead line until the program reads it.
  bool typed = input.empty();
  auto type = [&] {
    if (::write(master, input.data(), input.size()) < 0) result.err = "cannot type";
    typed = true;
  };
  if (!typed && typeAfter.empty()) type();
  std::array<char, 4096> buffer{};
  ssize_t n = 0;
  while ((n = ::read(master, buffer.data(), buffer.size())) > 0) {
    result.out.append(buffer.data(), size_t(n));
    if (!typed && result.out.find(typeAfter) != std::string::npos) type();
  }
  ::close(master);
  int raw = 0;
  ::waitpid(child, &raw, 0);
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return result;
}
