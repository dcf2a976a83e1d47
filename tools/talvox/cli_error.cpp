#include "cli_error.h"

#include <cctype>
#include <cstring>

namespace tvx {

void FailFile(const std::string& file, const std::string& problem) {
  throw CliError(kExitFailure, file + ": " + problem);
}

void FailUsage(const std::string& command, const std::string& problem) {
  std::string where = command.empty() ? "talvox" : "talvox " + command;
  throw CliError(kExitUsage, problem + " (see '" + where + " --help')");
}

std::string SystemMessage(int error) {
  std::string text = std::strerror(error);
  if (!text.empty()) text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
  return text;
}

}  // namespace tvx
