#include "script.h"

#include <cmath>
#include <sstream>

namespace pap {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string Trim(const std::string& text) {
  std::size_t start = 0;
  std::size_t end = text.size();
  while (start < end && IsBlank(text[start])) ++start;
  while (end > start && IsBlank(text[end - 1])) --end;
  return text.substr(start, end - start);
}

bool StartsWith(const std::string& text, const std::string& prefix, std::string& rest) {
  if (text.compare(0, prefix.size(), prefix) != 0) return false;
  rest = Trim(text.substr(prefix.size()));
  return true;
}

bool ParsePitchArguments(const std::string& rest, Command& command) {
  std::istringstream in(rest);
  std::string extra;
  if (!(in >> command.timeStep >> command.floor >> command.ceiling) || (in >> extra)) return false;
  return std::isfinite(command.timeStep) && command.timeStep > 0 && command.floor > 0 &&
         std::isfinite(command.ceiling) && command.ceiling > command.floor;
}

bool ParseLine(const std::string& raw, Command& command, std::string& why) {
  std::string line = Trim(raw);
  std::string rest;
  if (line.empty() || line[0] == '#' || line == "select all" || line == "Remove") {
    command.kind = CommandKind::kNothing;
  } else if (StartsWith(line, "Read from file...", rest)) {
    command.kind = CommandKind::kReadFromFile;
    command.path = rest;
    if (rest.empty()) why = "no file name";
  } else if (StartsWith(line, "Write to text file...", rest)) {
    command.kind = CommandKind::kWriteToTextFile;
    command.path = rest;
    if (rest.empty()) why = "no file name";
  } else if (StartsWith(line, "To Pitch...", rest)) {
    command.kind = CommandKind::kToPitch;
    if (!ParsePitchArguments(rest, command)) {
      why = "expected time step, floor and ceiling (0 < floor < ceiling)";
    }
  } else if (line == "To PointProcess") {
    command.kind = CommandKind::kToPointProcess;
  } else {
    why = "unknown command \"" + line + "\"";
  }
  return why.empty();
}

}  // namespace

bool ParseScript(const std::string& text, std::vector<Command>& commands, std::string& error) {
  commands.clear();
  std::size_t start = 0;
  int number = 0;
  while (start <= text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) end = text.size();
    ++number;
    Command command;
    command.line = number;
    std::string why;
    if (!ParseLine(text.substr(start, end - start), command, why)) {
      error = "line " + std::to_string(number) + ": " + why;
      return false;
    }
    if (command.kind != CommandKind::kNothing) commands.push_back(command);
    // CR LF is one line end.
    if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') {
      ++end;
    }
    start = end + 1;
  }
  return true;
}

}  // namespace pap
