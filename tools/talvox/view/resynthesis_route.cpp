#include "resynthesis_route.h"

#include "talvox.h"

namespace tvx::view {

std::vector<int16_t> ResynthesizeChannel(int channel, int32_t from, int32_t to) {
  // The timing kept: the stretch heard lasts as long as the one selected.
  if (!SynthesisSpeechStretch(channel, from, to, 1.0f)) return {};
  const int16_t* output = GetSynthesisSpeech();
  int32_t length = GetSynthesisLength();
  if (!output || length <= 0) return {};
  return std::vector<int16_t>(output, output + length);
}

}  // namespace tvx::view
