// The command script pap.exe runs: one command per line.
#pragma once

#include <string>
#include <vector>

namespace pap {

enum class CommandKind { kReadFromFile, kToPitch, kToPointProcess, kWriteToTextFile, kNothing };

struct Command {
  CommandKind kind = CommandKind::kNothing;
  std::string path;        // Read from file..., Write to text file...
  double timeStep = 0.0;   // To Pitch...
  double floor = 0.0;
  double ceiling = 0.0;
  int line = 0;
};

// Parses the whole script first, so a bad line stops the run before any
// output is written. Returns false with a one-line message in error.
bool ParseScript(const std::string& text, std::vector<Command>& commands, std::string& error);

}  // namespace pap
