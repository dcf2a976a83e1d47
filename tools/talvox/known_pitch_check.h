// The demo's check of the pitch marks on generated speech whose glottal
// closures are known (the generator and the measures of bench/speechgen).
#pragma once

#include <string>
#include <vector>

#include "session.h"

namespace tvx {

// Writes generated utterances into folder (their names appended to
// written), analyses each and prints how well the marks agree.
void RunKnownPitchCheck(LibrarySession& session, const std::string& folder, std::vector<std::string>& written);

}  // namespace tvx
