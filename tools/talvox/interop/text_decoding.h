// Text files as phonetics tools write them: UTF-8 (with or without a byte
// order mark), UTF-16 little or big endian with a byte order mark, or, for
// old files that are not valid UTF-8, Latin-1. The readers all work on the
// UTF-8 this gives.
#pragma once

#include <string>

namespace tvx::interop {

// Throws FormatError for UTF-16 with an odd byte count or a broken
// surrogate pair, and for a NUL character (no label can hold one).
std::string DecodeText(const std::string& bytes);

// The whole file as bytes; throws FormatError (line 0) when it cannot be read.
std::string ReadFileBytes(const std::string& path);

// Shortest decimal text that reads back as the same double (at most 17
// significant digits), as the writers put times and frequencies.
std::string ExactNumber(double value);

}  // namespace tvx::interop
