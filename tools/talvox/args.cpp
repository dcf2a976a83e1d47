#include "args.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "cli_error.h"
#include "commands.h"

namespace tvx {
namespace {

const OptionSpec* FindLong(const std::vector<OptionSpec>& options, const std::string& name) {
  for (const OptionSpec& option : options)
    if (name == option.longName) return &option;
  return nullptr;
}

const OptionSpec* FindShort(const std::vector<OptionSpec>& options, char name) {
  for (const OptionSpec& option : options)
    if (option.shortName != 0 && option.shortName == name) return &option;
  return nullptr;
}

}  // namespace

Args::Args(const std::string& command, int argc, char** argv,
           const std::vector<OptionSpec>& options)
    : command_(command) {
  bool optionsEnded = false;
  for (int i = 0; i < argc; i++) {
    std::string word = argv[i];
    if (optionsEnded || word.size() < 2 || word[0] != '-' ||
        (std::isdigit(static_cast<unsigned char>(word[1])) || word[1] == '.')) {
      positional_.push_back(word);
      continue;
    }
    if (word == "--") {
      optionsEnded = true;
      continue;
    }
    if (word == "--help" || word == "-h") {
      help_ = true;
      continue;
    }
    const OptionSpec* option = nullptr;
    std::optional<std::string> inlineValue;
    if (word.compare(0, 2, "--") == 0) {
      std::string name = word.substr(2);
      size_t equals = name.find('=');
      if (equals != std::string::npos) {
        inlineValue = name.substr(equals + 1);
        name = name.substr(0, equals);
      }
      option = FindLong(options, name);
    } else if (word.size() >= 2) {
      option = FindShort(options, word[1]);
      if (option && word.size() > 2) inlineValue = word.substr(2);
    }
    if (!option) FailUsage(command, "unknown option " + word);
    if (!option->takesValue) {
      if (inlineValue) FailUsage(command, "option --" + std::string(option->longName) + " takes no value");
      values_[option->longName] = "";
      continue;
    }
    if (!inlineValue) {
      if (i + 1 >= argc) FailUsage(command, "option " + word + " needs a value");
      inlineValue = argv[++i];
    }
    values_[option->longName] = *inlineValue;
  }
}

std::optional<std::string> Args::Value(const std::string& name) const {
  auto found = values_.find(name);
  if (found == values_.end()) return std::nullopt;
  return found->second;
}

std::string Args::Required(const std::string& name) const {
  auto value = Value(name);
  if (!value) FailUsage(command_, "--" + name + " is required");
  return *value;
}

double Args::Number(const std::string& name, double fallback, double low, double high) const {
  auto value = Value(name);
  if (!value) return fallback;
  return ParseNumber(command_, "--" + name, *value, low, high);
}

int Args::Integer(const std::string& name, int fallback, int low, int high) const {
  double value = Number(name, fallback, low, high);
  if (value != std::floor(value)) FailUsage(command_, "--" + name + " needs a whole number");
  return static_cast<int>(value);
}

int PrintHelp(const char* text) {
  std::fputs(text, stdout);
  return 0;
}

double ParseNumber(const std::string& command, const std::string& what, const std::string& text,
                   double low, double high) {
  errno = 0;
  char* end = nullptr;
  double value = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || errno != 0 || !std::isfinite(value))
    FailUsage(command, what + ": '" + text + "' is not a number");
  if (value < low || value > high) {
    char bounds[128];
    std::snprintf(bounds, sizeof bounds, " is outside %g..%g", low, high);
    FailUsage(command, what + ": " + text + bounds);
  }
  return value;
}

int64_t ParsePosition(const std::string& command, const std::string& text, int rate) {
  constexpr double kLongest = 1e12;  // beyond any signal; keeps the arithmetic finite
  if (!text.empty() && (text.back() == 's' || text.back() == 'S')) {
    std::string digits = text.substr(0, text.size() - 1);
    double samples = ParseNumber(command, "position", digits, 0, kLongest);
    if (samples != std::floor(samples)) FailUsage(command, "position '" + text + "': samples are whole numbers");
    return static_cast<int64_t>(samples);
  }
  double seconds = ParseNumber(command, "position", text, 0, kLongest / rate);
  return static_cast<int64_t>(std::llround(seconds * rate));
}

Span ParseSpan(const std::string& command, const std::string& text, int rate, int64_t length) {
  size_t colon = text.find(':');
  if (colon == std::string::npos) FailUsage(command, "range '" + text + "' is not of the form START:END");
  std::string first = text.substr(0, colon), second = text.substr(colon + 1);
  // An empty END, or "end", is the end of the signal (as "paste end" is).
  Span span{first.empty() ? 0 : ParsePosition(command, first, rate),
            second.empty() || second == "end" ? length : ParsePosition(command, second, rate)};
  if (span.end > length) {
    char duration[64];
    std::snprintf(duration, sizeof duration, "%.3f s, %lld samples", double(length) / rate,
                  static_cast<long long>(length));
    FailUsage(command, "range '" + text + "' ends past the end of the signal (" + duration + ")");
  }
  if (span.begin >= span.end) FailUsage(command, "range '" + text + "' is empty or lies past the end of the signal");
  return span;
}

}  // namespace tvx
