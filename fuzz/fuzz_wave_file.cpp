// ReadWaveFile on arbitrary bytes, as a WAV file and as a raw sample file.
#include <cstdint>

#include "fuzz_support.h"
#include "talvox.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool initialised = (InitWaveFileProc(), InitTalvox(), true);
  (void)initialised;
  std::string path = talvox::fuzz::WriteInput(data, size, "input.wav");
  ReadWaveFile(1, path.c_str(), 0, 0);
  talvox::fuzz::CheckWaveInvariants();
  // What was read must be writable again without touching memory outside
  // the arrays.
  GetDataBuffer(2);
  SaveWaveFile(1, "/dev/null", 0, 0);
  ReadWaveFile(0, path.c_str(), 8000, 16);
  talvox::fuzz::CheckWaveInvariants();
  NewWave();
  return 0;
}
