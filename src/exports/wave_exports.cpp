#include "talvox.h"
#include "wave/wave_buffer.h"
#include "wave/wave_edit.h"

using namespace talvox;

extern "C" {

int32_t InitWaveFileProc(void) {
  InitWave(TheWave());
  return 1;
}

void FreeWaveFileProc(void) { FreeWave(TheWave()); }

int32_t NewWave(void) {
  FreeWave(TheWave());
  InitWave(TheWave());
  return 1;
}

TvxWaveHeader* GetWaveFileHead(void) { return &TheWave().header; }

int32_t GetWaveLength(void) { return TheWave().Length(); }

void SetWaveLength(int32_t length) { SetLengthField(TheWave(), length); }

int32_t GetSamplesPerSec(void) { return static_cast<int32_t>(TheWave().header.samplesPerSec); }

int32_t GetAvgBytesPerSec(void) { return static_cast<int32_t>(TheWave().header.avgBytesPerSec); }

uint16_t GetBlockAlign(void) { return TheWave().header.blockAlign; }

uint16_t GetChannels(void) { return TheWave().header.channels; }

void SetChannels(uint16_t count) { TheWave().header.channels = count; }

uint16_t GetBitsPerSample(void) { return TheWave().header.bitsPerSample; }

int16_t* GetDataBuffer(int32_t index) {
  WaveBuffer& wave = TheWave();
  if (index == 0 || index == 1) return wave.channel[index];
  if (index == 2) return BuildInterleaved(wave);
  return nullptr;
}

int32_t SetDataBuffer(int32_t index, const int16_t* samples, int32_t count) {
  return ReplaceChannels(TheWave(), index, samples, count);
}

int32_t CutWave(int32_t start, int32_t end) { return CutSamples(TheWave(), start, end); }

int32_t PasteWave(int32_t position, int16_t** channels, int32_t count) {
  return PasteSamples(TheWave(), position, channels, count);
}

}  // extern "C"
