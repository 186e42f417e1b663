#pragma once
// --trace FILE: a device command's camera traffic recorded into FILE, for a
// bug report; and replay: a device command run against the camera a trace
// recorded, played back.

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>

#include "Arguments.h"
#include "platform/decorators/Trace.h"

// Runs a command by its name; returns its exit status.
using CommandRunner = std::function<int(const std::string& command, const Arguments& args)>;

// The global option that asks for a trace: "--trace" (its value follows) or
// "--trace=FILE".
bool IsTraceOption(const std::string& argument);

// zarnet-cli --trace FILE COMMAND ARGS: `option` is the --trace argument,
// `rest` what follows it.
int RunTraced(const std::string& option, const Arguments& rest, const CommandRunner& run, std::ostream& err);

// zarnet-cli replay TRACE -- COMMAND ARGS.
int RunReplay(const Arguments& args, const CommandRunner& run, std::ostream& out, std::ostream& err);

// Where the substitute camera's traffic is to be recorded, while a traced
// command runs on it; null otherwise.
std::shared_ptr<platform::ITraceSink> RequestedTrace();
