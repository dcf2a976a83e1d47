#include "state/document.h"
#include "synthesis/synthesis_speech.h"
#include "synthesis/synthesiser.h"
#include "talvox.h"
#include "wave/wave_buffer.h"

using namespace talvox;

extern "C" {

int32_t SynthesisSpeech(int32_t channel, int32_t start, int32_t end) {
  return SynthesiseRange(TheDocument(), TheWave(), TheSynthesiser(), channel, start, end);
}

int16_t* GetSynthesisSpeech(void) { return TheDocument().output; }

int32_t GetSynthesisLength(void) { return TheDocument().outputLength; }

}  // extern "C"
