#include "private_folder.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "cleanup.h"
#include "cli_error.h"

namespace tvx {
namespace {

std::string TemporaryBase() {
  const char* base = std::getenv("TMPDIR");
  return base && *base ? base : "/tmp";
}

}  // namespace

PrivateFolder::PrivateFolder() {
  const std::string base = TemporaryBase();
  RemoveDeadPrivateFolders(base);
  std::string pattern = base + "/talvox-" + std::to_string(getpid()) + "-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  // An interruption between these two lines leaves an empty folder, which
  // the next run removes (its process id is dead by then).
  if (!mkdtemp(name.data()))
    throw CliError(kExitFailure, "cannot make a working folder in " + base + ": " + SystemMessage(errno));
  path_ = name.data();
  ticket_ = RegisterPrivateFolder(path_);
}

PrivateFolder::~PrivateFolder() {
  RemoveFlatFolder(path_);
  Unregister(ticket_);
}

WorkingFolder::WorkingFolder() {
  previous_ = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (previous_ < 0) throw CliError(kExitFailure, std::string("cannot open the current folder: ") + SystemMessage(errno));
  if (chdir(folder_.path().c_str()) != 0) {
    close(previous_);
    throw CliError(kExitFailure, "cannot enter the working folder " + folder_.path());
  }
}

WorkingFolder::~WorkingFolder() {
  if (fchdir(previous_) != 0) { /* nothing sensible left to do */ }
  close(previous_);
}

}  // namespace tvx
