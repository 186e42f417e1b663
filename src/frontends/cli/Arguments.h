#pragma once
// A command's arguments as scripts write them: "--name value" or
// "--name=value", and "--" ending the options, so that a file whose name
// starts with '-' can be given.

#include <string>
#include <vector>

using Arguments = std::vector<std::string>;

class CommandArguments {
 public:
  explicit CommandArguments(const Arguments& raw);

  size_t size() const { return args_.size(); }
  const std::string& operator[](size_t i) const { return args_[i]; }
  // The argument at `i` is an option, not a file named like one.
  bool IsOption(size_t i) const;
  // The option at `i` wants a value and has none: one wording for all.
  bool LacksValue(size_t i) const { return i + 1 >= args_.size() || args_[i + 1].empty(); }
  static std::string MissingValue(const std::string& option) { return option + " needs a value"; }
  // When the argument at `i` is an "=value" left over from an option that
  // takes none, why that is wrong; else empty.
  std::string StrayValue(size_t i) const;

 private:
  Arguments args_;
  std::vector<bool> attached_;  // the value came after '=' on the option before
  size_t positionalFrom_;       // where "--" ended the options
};
