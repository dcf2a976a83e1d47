// Command-line parsing shared by the subcommands: options with or without a
// value (--name VALUE, --name=VALUE, -x VALUE), positional words, and the
// number, range and position syntax of the tool.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tvx {

struct OptionSpec {
  const char* longName;   // "output"
  char shortName;         // 'o', or 0
  bool takesValue;
};

class Args {
 public:
  // Throws a usage error for an unknown option or a missing value.
  Args(const std::string& command, int argc, char** argv, const std::vector<OptionSpec>& options);

  bool Has(const std::string& name) const { return values_.count(name) != 0; }
  std::optional<std::string> Value(const std::string& name) const;
  const std::vector<std::string>& Positional() const { return positional_; }
  bool WantsHelp() const { return help_; }
  const std::string& command() const { return command_; }

  double Number(const std::string& name, double fallback, double low, double high) const;
  int Integer(const std::string& name, int fallback, int low, int high) const;
  // Throws a usage error unless the option was given.
  std::string Required(const std::string& name) const;

 private:
  std::string command_;
  std::map<std::string, std::string> values_;
  std::vector<std::string> positional_;
  bool help_ = false;
};

// A decimal number within [low, high]; what names it in the error message.
double ParseNumber(const std::string& command, const std::string& what, const std::string& text,
                   double low, double high);

// A position: seconds ("1.25") or samples with an "s" suffix ("20000s").
int64_t ParsePosition(const std::string& command, const std::string& text, int rate);

// "A:B" of two positions (either may be empty for the signal's start or
// end); the result is the half-open sample span [first, second).
struct Span {
  int64_t begin;
  int64_t end;
};
Span ParseSpan(const std::string& command, const std::string& text, int rate, int64_t length);

}  // namespace tvx
