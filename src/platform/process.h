// Launching a helper program and deleting a file by name: the two calls the
// external pitch-mark calculation needs from the operating system.
#pragma once

#include <cstdint>

namespace talvox {

// Runs a command line (words separated by spaces; the first names the
// program, found through PATH) with its standard streams on /dev/null, and
// waits for it to end, so whatever it writes is complete on return. Returns
// the program's exit status, or -1 when it could not be started or did not
// exit normally. The program dies with the launching thread's process (a
// killed host leaves no orphan behind). Callers of the pitch program do not
// examine the status.
int32_t LaunchHidden(const char* commandLine);

// Removes the named file; 1 on success, 0 otherwise.
int32_t DeleteFileByName(const char* path);

}  // namespace talvox
