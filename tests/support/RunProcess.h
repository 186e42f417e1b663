#pragma once
// Runs a program as a user would and collects what it prints.

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

struct ProcessResult {
  int status = -1;
  std::string out;  // standard output; standard error goes to `err`
  std::string err;
};

inline std::string ShellQuote(const std::string& word) {
  std::string q = "'";
  for (char c : word) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

inline ProcessResult RunProcess(const std::string& commandLine, const std::string& errFile) {
  ProcessResult result;
  FILE* pipe = ::popen((commandLine + " 2>" + ShellQuote(errFile)).c_str(), "r");
  if (!pipe) return result;
  std::array<char, 4096> buffer{};
  size_t n = 0;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) result.out.append(buffer.data(), n);
  const int raw = ::pclose(pipe);
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  if (FILE* err = std::fopen(errFile.c_str(), "rb")) {
    while ((n = std::fread(buffer.data(), 1, buffer.size(), err)) > 0) result.err.append(buffer.data(), n);
    std::fclose(err);
  }
  return result;
}
