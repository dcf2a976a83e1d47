// ReadPeaks on arbitrary bytes: a refusal leaves the document as it was, an
// acceptance leaves tables whose counts fit their rooms.
#include <cstdint>
#include <cstring>

#include "fuzz_support.h"
#include "talvox.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  InitWaveFileProc();
  InitTalvox();
  std::string path = talvox::fuzz::WriteInput(data, size, "input.peaks");
  if (ReadPeaks(path.c_str()) == 1) {
    talvox::fuzz::CheckDocumentInvariants();
    int32_t* periods = nullptr;
    int32_t n = GetFullModifiedPitch(&periods);
    if (n > 0) SetModifiedPitch(periods);
    AddPeak(12345, nullptr);
    talvox::fuzz::CheckDocumentInvariants();
  } else {
    TvxDocument empty{};
    if (GetElementNum() != 0 || GetFullPeaks(&empty.peaks) != 0) __builtin_trap();
  }
  FreeTalvox();
  return 0;
}
