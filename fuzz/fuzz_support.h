// Shared by the fuzz targets: a private folder for the input file and the
// checks of the document's invariants after every call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace talvox::fuzz {

// Writes the input to a file in a private temporary folder (made once per
// process) and returns its path.
std::string WriteInput(const uint8_t* data, size_t size, const char* name);

// Aborts (so the fuzzer reports a crash) when the wave buffer or document
// break an invariant that keeps every later call inside its buffers.
void CheckWaveInvariants();
void CheckDocumentInvariants();

}  // namespace talvox::fuzz
