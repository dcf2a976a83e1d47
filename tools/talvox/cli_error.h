// Errors of the command-line host: one line for standard error and the exit
// status that goes with it.
#pragma once

#include <stdexcept>
#include <string>

namespace tvx {

constexpr int kExitFailure = 1;  // the work could not be done
constexpr int kExitUsage = 2;    // the command line itself is wrong

class CliError : public std::runtime_error {
 public:
  CliError(int status, const std::string& message) : std::runtime_error(message), status_(status) {}
  int status() const { return status_; }

 private:
  int status_;
};

// "talvox: FILE: problem", exit status 1.
[[noreturn]] void FailFile(const std::string& file, const std::string& problem);
// "talvox COMMAND: problem (see talvox COMMAND --help)", exit status 2.
[[noreturn]] void FailUsage(const std::string& command, const std::string& problem);

// strerror(errno) as the middle of a sentence: "no such file or directory".
std::string SystemMessage(int error);

}  // namespace tvx
