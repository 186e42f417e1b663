#pragma once
// The debug output: diagnostic lines that no user sees.

#include <string>

namespace platform {

class IDebugOutput {
 public:
  virtual ~IDebugOutput() = default;
  virtual void Write(const std::string& line) = 0;
};

}  // namespace platform
