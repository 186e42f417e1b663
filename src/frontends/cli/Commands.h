#pragma once
// The commands of zarnet-cli. Each takes its own arguments (without the
// command name) and returns the process's exit status.

#include <iosfwd>
#include <string>
#include <vector>

#include "Arguments.h"

constexpr int kExitOk = 0;
constexpr int kExitRefused = 1;
constexpr int kExitUsage = 2;

// Reports a usage error of `command` on `err`; returns kExitUsage.
int UsageError(const std::string& command, const std::string& why, std::ostream& err);

int RunInspect(const Arguments& args, std::ostream& out, std::ostream& err);
// list, info, flash, read, erase-chip and reset.
bool IsDeviceCommand(const std::string& name);
int RunDeviceCommand(const std::string& name, const Arguments& args, std::ostream& out, std::ostream& err);

struct SimulationOptions;
int RunList(bool asJson, const SimulationOptions& simulation, std::ostream& out, std::ostream& err);
int RunMakeSample(const Arguments& args, std::ostream& out, std::ostream& err);
