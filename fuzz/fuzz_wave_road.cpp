// The host's typical road on whatever a WAV file brings: read it, then
// analyse, edit and resynthesise the signal with the header's own rate and
// length, as a host that trusts the file would. Every call must stay inside
// its buffers and leave the document's counts within their tables.
#include <algorithm>
#include <cstdint>

#include "fuzz_support.h"
#include "talvox.h"

namespace {

using talvox::fuzz::Check;

void Invariants() {
  talvox::fuzz::CheckWaveInvariants();
  talvox::fuzz::CheckDocumentInvariants();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  InitWaveFileProc();
  InitTalvox();
  InitSpeechBackup();
  std::string path = talvox::fuzz::WriteInput(data, size, "road.wav");
  if (ReadWaveFile(1, path.c_str(), 0, 0) == 1 && GetWaveLength() > 0) {
    const int32_t rate = GetSamplesPerSec();
    for (int32_t channel = 0; channel < GetChannels(); ++channel) {
      int16_t* x = GetDataBuffer(channel);
      const int32_t n = GetWaveLength();
      CalculatePitch(x, n, rate);
      Invariants();
      CalculateSpectrum(x, n);
      CalculateEnergy(x, n);
      int32_t* periods = nullptr;
      const int32_t intervals = GetFullModifiedPitch(&periods);
      for (int32_t i = 0; i < intervals; ++i) periods[i] = periods[i] * 2 / 3;
      SynthesisSpeech(channel, 0, n - 1);
      Check(GetSynthesisLength() >= 0, "negative output length");
      CollectSegmentedSpeech(channel, 0, n - 1);
      Invariants();
    }
    const int32_t n = GetWaveLength();
    if (CopySpeech(n / 4, n / 2) == 1) PasteSpeech(n / 8, n / 8);
    Invariants();
    DelSpeech(0, GetWaveLength() / 3);
    Invariants();
    SegmentSpeech(GetDataBuffer(0), GetWaveLength(), rate);
    Invariants();
    SaveWaveFile(3, talvox::fuzz::PrivatePath("piece.wav").c_str(), 0,
                 std::min(GetWaveLength(), 100));
    SavePeaks(talvox::fuzz::PrivatePath("road.peaks").c_str());
  }
  FreeSpeechBackup();
  FreeTalvox();
  FreeWaveFileProc();
  return 0;
}
