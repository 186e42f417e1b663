#include "Confirmation.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <istream>
#include <ostream>

#include "Terminal.h"

namespace {

bool OnTerminal() { return IsTerminal(STDIN_FILENO) && IsTerminal(STDERR_FILENO); }

std::string Lowered(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  text.erase(0, text.find_first_not_of(" \t"));
  text.erase(text.find_last_not_of(" \t\r") + 1);
  return text;
}

}  // namespace

bool Confirmed(const std::string& question, bool assumeYes, std::istream& in, std::ostream& err) {
  if (assumeYes || !OnTerminal()) return true;
  err << question << " [y/N] " << std::flush;
  std::string answer;
  if (!std::getline(in, answer)) {
    err << "\n";
    return false;
  }
  const std::string a = Lowered(answer);
  return a == "y" || a == "yes";
}
