// pap.exe's script parser on arbitrary text: it either accepts with
// commands whose fields are usable (paths not empty, 0 < floor < ceiling,
// finite positive time step, line numbers within the text) or refuses with
// a message naming a line.
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "script.h"

using talvox::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  size_t lines = 1;
  for (char c : text) lines += c == '\n' || c == '\r';
  std::vector<pap::Command> commands;
  std::string error;
  if (pap::ParseScript(text, commands, error)) {
    Check(error.empty(), "an accepted script left a message");
    Check(commands.size() <= lines, "more commands than lines");
    int previous = 0;
    for (const pap::Command& command : commands) {
      Check(command.line > previous && static_cast<size_t>(command.line) <= lines, "line number");
      previous = command.line;
      switch (command.kind) {
        case pap::CommandKind::kReadFromFile:
        case pap::CommandKind::kWriteToTextFile:
          Check(!command.path.empty(), "a command without its path");
          break;
        case pap::CommandKind::kToPitch:
          Check(std::isfinite(command.timeStep) && command.timeStep > 0 && command.floor > 0 &&
                    std::isfinite(command.ceiling) && command.ceiling > command.floor,
                "pitch settings out of range");
          break;
        case pap::CommandKind::kToPointProcess:
          break;
        case pap::CommandKind::kNothing:
          talvox::fuzz::Broken("an empty command was kept");
      }
    }
  } else {
    Check(error.rfind("line ", 0) == 0, "a refusal without its line");
  }
  return 0;
}
