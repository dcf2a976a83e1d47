// Where the tool finds its companions: the external pitch program beside it
// and the demo recording in the source tree or the installed share folder.
#pragma once

#include <optional>
#include <string>

namespace tvx {

// The folder holding this executable ("" when unknown).
std::string ExecutableFolder();
std::string ExecutablePath();

// Puts this executable's folder (where pap.exe is built and installed) in
// front of PATH, so the library's launch of pap.exe finds our own.
void PutOwnFolderOnPath();

std::optional<std::string> FindOnPath(const std::string& name);

// The demo recording, or nullopt.
std::optional<std::string> FindDataFile(const std::string& name);

bool IsTerminal(int fd);

}  // namespace tvx
