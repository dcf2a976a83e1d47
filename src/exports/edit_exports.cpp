#include "edit/collect.h"
#include "edit/speech_edit.h"
#include "state/clipboard.h"
#include "state/document.h"
#include "talvox.h"
#include "wave/wave_buffer.h"

using namespace talvox;

extern "C" {

int32_t CopySpeech(int32_t a, int32_t b) {
  return CopySpeechRange(TheDocument(), TheWave(), TheClipboard(), a, b);
}

int32_t DelSpeech(int32_t a, int32_t b) {
  return DeleteSpeechRange(TheDocument(), TheWave(), a, b);
}

int32_t CutSpeech(int32_t a, int32_t b) {
  return CutSpeechRange(TheDocument(), TheWave(), TheClipboard(), a, b);
}

int32_t PasteSpeech(int32_t a, int32_t b) {
  return PasteSpeechRange(TheDocument(), TheWave(), TheClipboard(), a, b);
}

int32_t CollectSegmentedSpeech(int32_t channel, int32_t start, int32_t end) {
  return CollectSegments(TheDocument(), TheWave(), channel, start, end);
}

int16_t* GetCollectSegmentedSpeech(void) { return TheDocument().output; }

int32_t GetCollectSegmentedSpeechLength(void) { return TheDocument().outputLength; }

}  // extern "C"
