// Writing the pulses as text: a header, then one "t [i] = seconds" line per
// pulse. The file appears whole or not at all (written beside, then renamed).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pap {

bool WritePointProcess(const std::string& path, const std::vector<int32_t>& pulses,
                       int sampleRate, double duration, std::string& error);

}  // namespace pap
