// The one error of the file readers: what was expected, and on which line
// of the file (0 when the fault is the file as a whole).
#pragma once

#include <stdexcept>
#include <string>

namespace tvx::interop {

class FormatError : public std::runtime_error {
 public:
  FormatError(int line, const std::string& problem)
      : std::runtime_error(line > 0 ? "line " + std::to_string(line) + ": " + problem : problem), line_(line) {}
  int line() const { return line_; }

 private:
  int line_;
};

}  // namespace tvx::interop
