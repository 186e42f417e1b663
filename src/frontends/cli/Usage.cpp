#include <ostream>

#include "Commands.h"

// One line that says what was wrong, and where to read more: the whole help
// would bury the line that matters.
int UsageError(const std::string& command, const std::string& why, std::ostream& err) {
  err << "zarnet-cli " << command << ": " << why << "\n"
      << "see zarnet-cli " << command << " --help\n";
  return kExitUsage;
}
