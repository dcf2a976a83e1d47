#include "pitch/peak_file.h"
#include "state/document.h"
#include "talvox.h"
#include "wave/wave_buffer.h"

using namespace talvox;

extern "C" {

int32_t SavePeaks(const char* path) {
  TvxDocument& record = TheDocument().record;
  record.peakRate = static_cast<int32_t>(TheWave().header.samplesPerSec);
  return SavePeakFile(path, &record);
}

int32_t _SavePeaks(const char* path, TvxDocument* state) { return SavePeakFile(path, state); }

int32_t ReadPeaks(const char* path) { return ReadPeakFile(path, &TheDocument().record); }

int32_t _ReadPeaks(const char* path, TvxDocument* state) { return ReadPeakFile(path, state); }

}  // extern "C"
