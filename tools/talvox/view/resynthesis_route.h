// The resynthesis the editor plays: one place to choose the library's route.
#pragma once

#include <cstdint>
#include <vector>

namespace tvx::view {

// Samples [from, to) of a channel with the modified pitch; empty when the
// library refuses. SynthesisSpeech follows the new periods and so changes
// the length; a timing-keeping route, once the library has one, goes here.
std::vector<int16_t> ResynthesizeChannel(int channel, int32_t from, int32_t to);

}  // namespace tvx::view
