// A peak file's annotation over a signal, then every edit a host may make on
// it. The elements and peaks of a file are arbitrary (overlapping, reversed,
// outside the signal, peaks out of order): whatever they say, the edits,
// collection and resynthesis must stay inside the signal and the tables.
#include <cstdint>
#include <vector>

#include "fuzz_support.h"
#include "talvox.h"

namespace {

void Invariants() {
  talvox::fuzz::CheckWaveInvariants();
  talvox::fuzz::CheckDocumentInvariants();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  talvox::fuzz::SetUpSampleDocument();
  InitSpeechBackup();
  std::string path = talvox::fuzz::WriteInput(data, size, "road.peaks");
  if (ReadPeaks(path.c_str()) == 1) {
    const int32_t length = GetWaveLength();
    int16_t* x = GetDataBuffer(0);
    const int32_t elements = GetElementNum();
    for (int32_t i = 0; i < elements && i < 64; ++i) {
      int32_t* table = nullptr;
      GetElementPeak(i, &table);
      GetElementModifiedPitch(i, &table);
    }
    int32_t side = 0, value = 0, index = 0;
    for (int32_t p : {0, 7, 650, 1000, length - 1}) {
      GetNearestElementBoundary(p, &side, 0.5f);
      GetElement(p);
      GetNearestPeak(p, &value, &index);
      GetNearestPitch(p, &value);
      GetClosedPeak(p, 0.25f);
    }
    CalculateSpectrum(x, length);
    SynthesisSpeech(0, 0, length - 1);
    SynthesisSpeech(0, 300, 1200);
    CollectSegmentedSpeech(0, 0, length - 1);
    Invariants();
    if (CopySpeech(100, 1700) == 1) PasteSpeech(50, 50);
    Invariants();
    CutSpeech(10, 600);
    Invariants();
    PasteSpeech(GetWaveLength() / 2, GetWaveLength() / 2);
    DelSpeech(GetWaveLength() / 3, GetWaveLength() - 1);
    Invariants();
    AdjustPeakToZerocross(GetDataBuffer(0), GetWaveLength());
    AdjustZerocrossToPeak(GetDataBuffer(0), GetWaveLength());
    AddBoundary(GetWaveLength() / 2);
    SetElementSegment(0, 700, 2);
    SetElementSegment(0, -5, 1);
    DelBoundary(0, 2);
    TidyElements();
    Invariants();
    SavePeaks(talvox::fuzz::PrivatePath("road-out.peaks").c_str());
  }
  FreeSpeechBackup();
  FreeTalvox();
  FreeWaveFileProc();
  return 0;
}
