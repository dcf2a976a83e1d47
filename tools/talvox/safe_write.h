// The tool's own file writes, done as the library does its own: see output.h.
#pragma once

#include <cstddef>
#include <string>

namespace tvx {

// The file a path finally names, following symbolic links (also a dangling
// one, whose target is then to be created); the path itself otherwise.
std::string ResolveLinks(const std::string& path);

// Writes bytes to path: a regular (or new) file is replaced atomically, any
// other file is written in place. False with errno set on failure; an
// existing file is then left as it was.
bool WriteReplacing(const std::string& path, const std::string& bytes);

// Writes all of data to fd, resuming after interruptions.
bool WriteToDescriptor(int fd, const char* data, size_t bytes);

}  // namespace tvx
