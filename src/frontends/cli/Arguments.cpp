#include "Arguments.h"

CommandArguments::CommandArguments(const Arguments& raw) : positionalFrom_(raw.size() + 1) {
  for (const std::string& a : raw) {
    if (positionalFrom_ > raw.size() && a == "--") {
      positionalFrom_ = args_.size();
      continue;
    }
    const size_t equals = a.find('=');
    const bool split = positionalFrom_ > raw.size() && a.rfind("--", 0) == 0 && equals != std::string::npos;
    args_.push_back(split ? a.substr(0, equals) : a);
    attached_.push_back(false);
    if (!split) continue;
    args_.push_back(a.substr(equals + 1));
    attached_.push_back(true);
  }
}

bool CommandArguments::IsOption(size_t i) const {
  return i < positionalFrom_ && !attached_[i] && !args_[i].empty() && args_[i][0] == '-';
}

std::string CommandArguments::StrayValue(size_t i) const {
  if (i == 0 || !attached_[i]) return {};
  return args_[i - 1] + " takes no value";
}
