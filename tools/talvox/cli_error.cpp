#include "cli_error.h"

namespace tvx {

void FailFile(const std::string& file, const std::string& problem) {
  throw CliError(kExitFailure, file + ": " + problem);
}

void FailUsage(const std::string& command, const std::string& problem) {
  std::string where = command.empty() ? "talvox" : "talvox " + command;
  throw CliError(kExitUsage, problem + " (see '" + where + " --help')");
}

}  // namespace tvx
