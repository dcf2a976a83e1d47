#include "talvox.h"
#include "wave/wav_file.h"

using namespace talvox;

extern "C" {

int32_t ReadWaveFile(int32_t mode, const char* path, int32_t rate, int32_t bits) {
  if (mode == 1) return ReadWav(TheWave(), path);
  return ReadRaw(TheWave(), path, rate, bits);
}

int32_t SaveWaveFile(int32_t mode, const char* path, int32_t start, int32_t count) {
  return SaveWav(TheWave(), mode, path, start, count);
}

}  // extern "C"
