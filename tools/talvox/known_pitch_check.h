// The demo's check of the pitch marks on generated speech whose glottal
// closures are known (the generator and the measures of bench/speechgen).
#pragma once

#include <string>
#include <vector>

#include "session.h"

namespace tvx {

// Writes the utterance to path, analyses it and prints the agreement.
void RunKnownPitchCheck(LibrarySession& session, const std::string& path);

}  // namespace tvx
