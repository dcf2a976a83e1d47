#include "paths.h"

#include <limits.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace tvx {

std::string ExecutablePath() {
  char buffer[PATH_MAX];
  ssize_t size = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (size <= 0) return "";
  return std::string(buffer, static_cast<size_t>(size));
}

std::string ExecutableFolder() {
  std::string path = ExecutablePath();
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? "" : path.substr(0, slash);
}

void PutOwnFolderOnPath() {
  std::string own = ExecutableFolder();
  if (own.empty()) return;
  const char* current = std::getenv("PATH");
  std::string path = own + (current && *current ? ":" + std::string(current) : "");
  setenv("PATH", path.c_str(), 1);
}

std::optional<std::string> FindOnPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string rest = path ? path : "";
  size_t begin = 0;
  while (begin <= rest.size()) {
    size_t colon = rest.find(':', begin);
    std::string folder = rest.substr(begin, colon == std::string::npos ? std::string::npos : colon - begin);
    std::string candidate = (folder.empty() ? "." : folder) + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
    if (colon == std::string::npos) break;
    begin = colon + 1;
  }
  return std::nullopt;
}

std::optional<std::string> FindDataFile(const std::string& name) {
  // An installed tree is searched relative to the executable first, so a
  // moved installation still finds its data.
  std::vector<std::string> folders;
  std::string own = ExecutableFolder();
  if (!own.empty()) folders.push_back(own + "/../share/talvox");
  folders.push_back(TALVOX_INSTALL_DATA_DIR);
  folders.push_back(TALVOX_SOURCE_DATA_DIR);
  for (const std::string& folder : folders) {
    std::string candidate = folder + "/" + name;
    if (access(candidate.c_str(), R_OK) == 0) return candidate;
  }
  return std::nullopt;
}

bool IsTerminal(int fd) { return isatty(fd) == 1; }

}  // namespace tvx
