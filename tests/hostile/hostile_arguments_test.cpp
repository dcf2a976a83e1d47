// Every export called with the edge values of its arguments, on an empty and
// on a loaded document: each call must stay inside its buffers (the
// sanitizer builds check that) and give the result the header documents.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "../audio/fake_wave_service.h"
#include "audio/audio_device.h"
#include "test_support.h"

namespace talvox::test {
namespace {

constexpr int32_t kHuge = INT32_MAX;
constexpr int32_t kLow = INT32_MIN;
const std::vector<int32_t> kPositions = {kLow, -1, 0, 1, 4799, 4800, 4801, kHuge};
const std::vector<int32_t> kChannels = {-1, 0, 1, 2, 3};
const std::vector<float> kScales = {-1.0f, 0.0f, NAN, 1e-30f, 0.1f, 1.0f, 1e30f};

enum class Doc { kEmpty, kLoaded };

// A loaded document: 4800 samples of a voiced signal, segmented, with pitch
// marks, spectrum and energy, and a clipboard.
void Load(Doc which) {
  if (which == Doc::kEmpty) return;
  LoadSignal(VoicedSignal(800, 3200, 800, 80, 8000), 1, 16000);
  int16_t* x = GetDataBuffer(0);
  CalculatePitch(x, GetWaveLength(), 16000);
  CalculateSpectrum(x, GetWaveLength());
  CalculateEnergy(x, GetWaveLength());
  CopySpeech(1000, 1500);
}

struct Case {
  const char* name;
  std::function<void()> call;
};

class HostileArguments : public DocumentTest, public ::testing::WithParamInterface<Doc> {};

TEST_P(HostileArguments, WaveBufferAndFiles) {
  Load(GetParam());
  for (int32_t i : {kLow, -1, 2, 3, kHuge}) {
    if (i == 2) continue;
    EXPECT_EQ(GetDataBuffer(i), nullptr) << i;
  }
  int16_t samples[4] = {1, 2, 3, 4};
  for (int32_t i : {kLow, -1, 3, kHuge}) EXPECT_EQ(SetDataBuffer(i, samples, 4), 0);
  for (int32_t n : {kLow, -1, 0}) EXPECT_EQ(SetDataBuffer(0, samples, n), 0);
  EXPECT_EQ(SetDataBuffer(0, nullptr, 4), 0);
  int32_t length = GetWaveLength();
  for (int32_t s : kPositions) {
    for (int32_t e : kPositions) {
      if (s >= 0 && s <= e && s < length) continue;  // a real cut
      EXPECT_EQ(CutWave(s, e), 0) << s << " " << e;
    }
  }
  int16_t* sources[2] = {samples, samples};
  for (int32_t p : {kLow, -1, length + 1, kHuge}) EXPECT_EQ(PasteWave(p, sources, 4), 0);
  EXPECT_EQ(PasteWave(0, nullptr, 4), 0);
  EXPECT_EQ(PasteWave(0, sources, -1), 0);
  EXPECT_EQ(GetWaveLength(), length);
  TempDir dir;
  for (int32_t mode : {3, 4}) {
    EXPECT_EQ(SaveWaveFile(mode, dir.File("a.wav").c_str(), -1, 10), 0);
    EXPECT_EQ(SaveWaveFile(mode, dir.File("a.wav").c_str(), 0, -1), 0);
    EXPECT_EQ(SaveWaveFile(mode, dir.File("a.wav").c_str(), length, 1), 0);
    EXPECT_EQ(SaveWaveFile(mode, dir.File("a.wav").c_str(), kHuge, kHuge), 0);
  }
  EXPECT_EQ(SaveWaveFile(1, (dir.path() + "/missing/a.wav").c_str(), 0, 0), 0);
  EXPECT_EQ(ReadWaveFile(1, (dir.path() + "/none.wav").c_str(), 0, 0), 0);
  EXPECT_EQ(GetWaveLength(), length);
  // A header lengthened by hand never leads the library outside the arrays.
  SetWaveLength(length + 100000);
  EXPECT_EQ(SaveWaveFile(1, dir.File("long.wav").c_str(), 0, 0), 1);
  GetClosedMaximumPeak(length + 50000, 0);
  GetClosedZerocross(length + 50000, 0);
  SynthesisSpeech(0, 0, length + 90000);
  CollectSegmentedSpeech(0, 0, length + 90000);
  CopySpeech(0, length + 90000);
  SetChannels(2);
  GetDataBuffer(2);
  SaveWaveFile(1, dir.File("two.wav").c_str(), 0, 0);
  SynthesisSpeech(1, 0, 100);
}

TEST_P(HostileArguments, Elements) {
  Load(GetParam());
  int32_t start = 0, end = 0, side = 0;
  char text[104];
  for (int32_t i : {kLow, -1, GetElementNum(), kHuge}) {
    EXPECT_EQ(GetElementSegment(i, &start, &end), 0) << i;
    EXPECT_EQ(SetElementSegment(i, 10, 1), 0) << i;
    EXPECT_EQ(DelBoundary(i, 1), 0) << i;
    EXPECT_EQ(GetElementDesc(i, text), 0) << i;
    EXPECT_EQ(SetElementDesc(i, "x"), 0) << i;
  }
  if (GetElementNum() > 0) {
    EXPECT_EQ(GetElementSegment(0, nullptr, nullptr), 1);
    EXPECT_EQ(GetElementDesc(0, nullptr), 0);
    EXPECT_EQ(SetElementDesc(0, nullptr), 0);
    EXPECT_EQ(SetElementSegment(0, 10, 3), 0);
    EXPECT_EQ(SetElementSegment(0, 10, 0), 0);
  }
  for (int32_t p : kPositions) {
    GetElement(p);
    AddBoundary(p);
    for (float scale : kScales) {
      int32_t found = GetNearestElementBoundary(p, &side, scale);
      if (!(scale > 0)) {
        EXPECT_EQ(found, -1);
      }
      GetNearestElementBoundary(p, nullptr, scale);
    }
  }
  TidyElements();
  SetFullSegmentation();
  EXPECT_EQ(GetElementNum(), 1);
}

TEST_P(HostileArguments, Peaks) {
  Load(GetParam());
  int32_t value = 0, index = 0;
  int32_t* table = nullptr;
  for (int32_t p : kPositions) {
    for (float scale : kScales) {
      int32_t found = GetClosedPeak(p, scale);
      if (!(scale > 0)) {
        EXPECT_EQ(found, -1);
      }
      DeletePeak(p, nullptr, scale);
    }
    for (int32_t c : kChannels) {
      int32_t m = GetClosedMaximumPeak(p, c);
      int32_t z = GetClosedZerocross(p, c);
      if (c < 0 || c > 1 || (c == 1 && GetChannels() == 1)) {
        EXPECT_EQ(m, -1);
        // Near the end the position itself comes back whatever the channel.
        EXPECT_EQ(z, int64_t{p} > int64_t{GetWaveLength()} - 10 ? p : -1) << p << " " << c;
      }
    }
    GetNearestPeak(p, &value, &index);
    GetNearestPeak(p, nullptr, nullptr);
    GetNearestPitch(p, &value);
    GetNearestPitch(p, nullptr);
    GetElementPeak(p, &table);
    GetElementModifiedPitch(p, &table);
    AddPeak(p, nullptr);
    AddPeak(p, &value);
  }
  AddPeak(100, nullptr);
  EXPECT_EQ(AddPeak(100, nullptr), 0);  // no duplicate
  int32_t n = GetFullPeaks(&table);
  for (int32_t i = 1; i < n; ++i) ASSERT_LT(table[i - 1], table[i]);
  std::vector<int32_t> periods(static_cast<size_t>(n > 0 ? n : 1), 7);
  EXPECT_EQ(SetModifiedPitch(periods.data()), 1);
  EXPECT_EQ(SetModifiedPitch(nullptr), 0);
  AdjustPeakToZerocross(nullptr, 100);
  AdjustZerocrossToPeak(nullptr, 100);
  int16_t few[3] = {0, 5, 0};
  for (int32_t count : {kLow, -1, 0, 1, 3}) {
    AdjustPeakToZerocross(few, count);
    AdjustZerocrossToPeak(few, count);
  }
  DeleteRangePeak(kLow, kHuge);
  EXPECT_EQ(GetFullPeaks(&table), 0);
  DeleteRangePeak(kHuge, kLow);
  DeleteAllPeak();
  DeleteAllPeak();
  EXPECT_EQ(GetFullModifiedPitch(&table), 0);
}

TEST_P(HostileArguments, AnalysisOfHostSignals) {
  Load(GetParam());
  int16_t x[64] = {};
  int32_t out[64];
  for (int32_t length : {kLow, -1, 0, 1, 48, 64}) {
    for (int32_t rate : {kLow, -1, 0, 49, 50, 600, 4000, 16000}) {
      SegmentSpeech(x, length, rate);
      _CalculatePitch(x, length, rate, out);
      _CalculatePitch(x, length, rate, nullptr);
    }
    SegmentSpeech(nullptr, length, 16000);
    EXPECT_EQ(CalculatePitch(nullptr, length, 16000), 0);
    EXPECT_EQ(CalculateSpectrum(nullptr, length), 0);
    EXPECT_EQ(CalculateEnergy(nullptr, length), 0);
    EXPECT_EQ(_CalculateSpectrum(x, length, nullptr), 0);
    int32_t got = -5;
    EXPECT_EQ(_CalculateEnergy(nullptr, length, out, &got), 0);
  }
  EXPECT_EQ(CalculateSpectrum(x, -1), 0);
  EXPECT_EQ(CalculateEnergy(x, 0), 0);
}

TEST_P(HostileArguments, EditingAndOutput) {
  Load(GetParam());
  int32_t length = GetWaveLength();
  for (int32_t a : kPositions) {
    for (int32_t b : {kLow, -1, 0, length - 1, length, kHuge}) {
      if (a >= 0 && b >= 0 && a < length && b < length && a != b) continue;
      EXPECT_EQ(DelSpeech(a, b), 0) << a << " " << b;
      EXPECT_EQ(CopySpeech(a, b), 0) << a << " " << b;
      EXPECT_EQ(CutSpeech(a, b), 0) << a << " " << b;
      if (a != b) {
        EXPECT_EQ(PasteSpeech(a, b), 0) << a << " " << b;
      }
    }
  }
  EXPECT_EQ(GetWaveLength(), length);
  for (int32_t c : kChannels) {
    for (int32_t s : {kLow, -1, 0, 100}) {
      for (int32_t e : {kLow, 0, 200, length, kHuge}) {
        int32_t synth = SynthesisSpeech(c, s, e);
        int32_t collect = CollectSegmentedSpeech(c, s, e);
        if (c < 0 || c > 1 || s < 0 || s >= e || e >= length) {
          EXPECT_EQ(synth, 0);
          EXPECT_EQ(collect, 0);
        }
      }
    }
  }
  // A period much shorter and one much longer than the source: grains land
  // before the output's start and past its room, and are dropped.
  int32_t* table = nullptr;
  int32_t n = GetFullPeaks(&table);
  if (n > 1) {
    std::vector<int32_t> tiny(static_cast<size_t>(n - 1), 1),
        vast(static_cast<size_t>(n - 1), 100000);
    SetModifiedPitch(tiny.data());
    EXPECT_EQ(SynthesisSpeech(0, 0, length - 1), 1);
    SetModifiedPitch(vast.data());
    EXPECT_EQ(SynthesisSpeech(0, 0, length - 1), 1);
    std::vector<int32_t> negative(static_cast<size_t>(n - 1), -500);
    SetModifiedPitch(negative.data());
    EXPECT_EQ(SynthesisSpeech(0, 0, length - 1), 1);
  }
}

TEST_P(HostileArguments, Primitives) {
  Load(GetParam());
  float re[16] = {}, im[16] = {};
  for (int32_t n : {kLow, -1, 0}) EXPECT_EQ(fft(re, im, 0, n), 1);
  for (int32_t n : {3, 6, 100}) EXPECT_EQ(fft(re, im, 0, n), 0);
  int16_t x[400] = {};
  for (int32_t n : {kLow, -1, 0}) {
    Hanning(x, n);
    filter(x, n, 6, 1.0, nullptr, nullptr);
  }
  double a[10] = {}, b[10] = {};
  for (int32_t order : {kLow, -1, 0, 1, 19, 20, 101}) {
    butt_low_pass(16000, order < 0 || order > 19 ? 2 : order, 1000.0, a, b);
    filter(x, 400, order, 0.5, a, b);
  }
  float coefficients[102];
  for (int32_t order : {kLow, -1, 0, 1, 19, 100, 101, kHuge}) {
    SetLPCNum(order);
    EXPECT_EQ(GetLPCNum(), order);
    std::fill(std::begin(coefficients), std::end(coefficients), -2.0f);
    EXPECT_EQ(Lpc_Lattice(coefficients, x, 400), 1);
    // Orders outside 1..100 are clamped: exactly coefficients[1..order] written.
    const int32_t used = std::clamp(order, 1, 100);
    for (int32_t j = 1; j <= used; ++j) ASSERT_TRUE(std::isfinite(coefficients[j])) << order;
    for (int32_t j = used + 1; j < 102; ++j) ASSERT_EQ(coefficients[j], -2.0f) << order;
  }
  EXPECT_EQ(Lpc_Lattice(nullptr, x, 400), 0);
  EXPECT_EQ(Lpc_Lattice(coefficients, x, 0), 0);
  int16_t residual[400];
  AntiFilterFromLPC(coefficients, x, residual, -1);
  SynthFromLPC(coefficients, x, residual, -1);
  std::vector<float> corr(400);
  EXPECT_EQ(Correlation(x, 10, x, 20, corr.data()), 0);
  EXPECT_EQ(Correlation(x, 400, x, 40, corr.data()), 1);
  std::vector<float> features(70000);
  for (int32_t length : {kLow, -1, 0, 1, 70000}) {
    SetCeplen(length);
    CalculateCepstral(x, 16, features.data());
    SetMFCCVecLen(length > 20 ? 20 : length);
    MFCCCalculateParam(x, 256, features.data());
  }
  EXPECT_EQ(CalculateCepstral(x, 12, features.data()), 0);
  EXPECT_EQ(MFCCCalculateParam(x, 19, features.data()), 0);
  std::vector<int16_t> big(70000);
  SetCeplen(50);
  SetMFCCVecLen(13);
  EXPECT_EQ(CalculateCepstral(big.data(), 65537, features.data()), 0);
  EXPECT_EQ(MFCCCalculateParam(big.data(), 65537, features.data()), 0);
  for (int32_t rate : {kLow, -1, 0, 8000}) {
    MFCCSetSampleingRate(rate);
    MFCCCalculateParam(x, 256, features.data());
  }
  int32_t src[8] = {0, 0, 100, 130, 100, 130, 100, 0}, dst[8];
  for (int32_t window : {kLow, -1, 0}) {
    EXPECT_EQ(FilterInPoints(src, dst, 8, window), 0);
    EXPECT_EQ(FilterPitch(src, dst, 8, window), 0);
  }
  EXPECT_EQ(FilterInPoints(src, dst, -1, 3), 0);
  EXPECT_EQ(FilterPitch(src, dst, -1, 3), 0);
  EXPECT_EQ(FilterInPoints(src, dst, 8, kHuge), 1);
}

TEST_P(HostileArguments, FilesThatDoNotExist) {
  Load(GetParam());
  int32_t peaks[4], count = -3, elements = -3;
  EXPECT_EQ(LoadTag("/nonexistent/x", peaks, &count, nullptr, &elements), 0);
  EXPECT_EQ(count, -3);
  EXPECT_EQ(LoadTag("/nonexistent/x", nullptr, &count, nullptr, nullptr), 0);
  EXPECT_EQ(ReadPeaks("/nonexistent/x"), 0);
  EXPECT_EQ(_ReadPeaks("/nonexistent/x", nullptr), 0);
  EXPECT_EQ(_SavePeaks("/tmp/x", nullptr), 0);
  EXPECT_EQ(SavePeaks("/nonexistent/folder/x.peaks"), 0);
}

TEST_P(HostileArguments, HeaderFields) {
  Load(GetParam());
  const int32_t length = GetWaveLength();
  ASSERT_NE(GetWaveFileHead(), nullptr);
  EXPECT_EQ(GetBlockAlign(), 2);
  EXPECT_EQ(GetBitsPerSample(), 16);
  EXPECT_EQ(GetAvgBytesPerSec(), 32000);
  EXPECT_EQ(GetSamplesPerSec(), 16000);
  // No channels: the length is 0 and nothing walks the arrays.
  SetChannels(0);
  EXPECT_EQ(GetWaveLength(), 0);
  EXPECT_EQ(SaveWaveFile(1, "/dev/null", 0, 0), 0);
  GetClosedMaximumPeak(10, 0);
  GetClosedZerocross(10, 0);
  EXPECT_EQ(SynthesisSpeech(0, 0, 100), 0);
  EXPECT_EQ(CollectSegmentedSpeech(0, 0, 100), 0);
  EXPECT_EQ(CopySpeech(0, 100), 0);
  // Channel counts the buffer cannot hold: files are refused, nothing reads
  // a third array.
  for (uint16_t channels : {uint16_t{3}, uint16_t{65535}}) {
    SetChannels(channels);
    EXPECT_EQ(SaveWaveFile(1, "/dev/null", 0, 0), 0) << channels;
    EXPECT_EQ(SaveWaveFile(3, "/dev/null", 0, 1), 0) << channels;
    EXPECT_EQ(GetDataBuffer(3), nullptr);
    GetDataBuffer(2);
    GetClosedMaximumPeak(10, 1);
    SynthesisSpeech(1, 0, 100);
    CollectSegmentedSpeech(1, 0, 100);
  }
  SetChannels(1);
  // A length field beyond 32 bits' worth of samples, and a negative one.
  for (int32_t n : {kHuge, -1, kLow}) {
    SetWaveLength(n);
    GetWaveLength();
    GetClosedMaximumPeak(kHuge - 20, 0);
    GetClosedZerocross(kHuge - 20, 0);
    GetClosedMaximumPeak(length / 2, 0);
  }
  SetWaveLength(length);
  EXPECT_EQ(GetWaveLength(), length);
  EXPECT_EQ(NewWave(), 1);
  EXPECT_EQ(GetWaveLength(), 0);
  EXPECT_EQ(GetDataBuffer(0), nullptr);
}

TEST_P(HostileArguments, OutputAndFeatureGetters) {
  Load(GetParam());
  const bool loaded = GetParam() == Doc::kLoaded;
  EXPECT_EQ(GetSynthesisSpeech() == nullptr, GetSynthesisLength() == 0);
  EXPECT_EQ(GetCollectSegmentedSpeech() == nullptr, GetCollectSegmentedSpeechLength() == 0);
  EXPECT_EQ(GetSpectrum() != nullptr, loaded);
  EXPECT_EQ(GetSpectrumFrameNum() > 0, loaded);
  EXPECT_EQ(GetEnergy() != nullptr, loaded);
  EXPECT_EQ(GetEnergyLength() > 0, loaded);
  const int32_t frames = GetSpectrumFrameNum();
  const int32_t energy = GetEnergyLength();
  // Refused calculations keep what was there.
  EXPECT_EQ(CalculateSpectrum(nullptr, 100), 0);
  EXPECT_EQ(CalculateEnergy(nullptr, 100), 0);
  EXPECT_EQ(GetSpectrumFrameNum(), frames);
  EXPECT_EQ(GetEnergyLength(), energy);
  int16_t x[100] = {};
  uint8_t spectrum[7 * 64];
  int32_t contour[7], got = -5;
  for (int32_t n : {kLow, -1, 0}) {
    EXPECT_EQ(_CalculateSpectrum(x, n, spectrum), 0);
    EXPECT_EQ(_CalculateEnergy(x, n, contour, &got), 0);
    EXPECT_EQ(got, -5);
  }
  EXPECT_EQ(_CalculateSpectrum(nullptr, 100, spectrum), 0);
  EXPECT_EQ(_CalculateEnergy(x, 100, nullptr, &got), 0);
  EXPECT_EQ(_CalculateEnergy(x, 100, contour, nullptr), 0);
  EXPECT_EQ(GetSpectrumFrameNum(), frames);
  EXPECT_EQ(_CalculateEnergy(x, 100, contour, &got), 1);
  EXPECT_EQ(got, 7);
  EXPECT_EQ(_CalculateSpectrum(x, 100, spectrum), 7);
  EXPECT_EQ(GetSpectrumFrameNum(), 7);
  // The frame count now exceeds nothing the buffer holds: edits move only
  // the frames the buffer really has.
  if (loaded) {
    EXPECT_EQ(CopySpeech(100, 4000), 1);
    EXPECT_EQ(PasteSpeech(50, 50), 1);
    GetSpectrum();
  }
}

TEST_P(HostileArguments, ExternalPitchMarksRefusals) {
  Load(GetParam());
  int32_t* table = nullptr;
  const int32_t peaks = GetFullPeaks(&table);
  const int32_t elements = GetElementNum();
  int16_t x[64] = {};
  int32_t out[64];
  // These are refused before any working file is written or pap.exe runs.
  for (int32_t length : {kLow, -1, 0}) {
    EXPECT_EQ(CalculatePeak(x, length, 16000), 0);
    EXPECT_EQ(_CalculatePeak(x, length, 16000, out), 0);
    EXPECT_EQ(_CalculatePeak(x, length, 16000, nullptr), 0);
  }
  for (int32_t rate : {kLow, -1, 0}) {
    EXPECT_EQ(CalculatePeak(x, 64, rate), 0);
    EXPECT_EQ(_CalculatePeak(x, 64, rate, out), 0);
  }
  EXPECT_EQ(CalculatePeak(nullptr, 64, 16000), 0);
  std::fill(std::begin(out), std::end(out), -9);
  EXPECT_EQ(_CalculatePeak(nullptr, 64, 16000, out), 0);
  EXPECT_EQ(_CalculatePeak(x, -1, 16000, out), 0);
  EXPECT_EQ(out[0], -9);
  for (int32_t element : {kLow, -1, GetElementNum(), kHuge}) {
    int32_t* found = out;
    EXPECT_EQ(GetElementPeak(element, &found), 0);
    EXPECT_EQ(found, nullptr);
    EXPECT_EQ(GetElementPeak(element, nullptr), 0);
  }
  // The document keeps its peaks and elements.
  EXPECT_EQ(GetFullPeaks(&table), peaks);
  EXPECT_EQ(GetElementNum(), elements);
}

TEST_P(HostileArguments, FilterDesigns) {
  Load(GetParam());
  std::vector<double> a(64, 0.0), b(64, 0.0);
  int16_t x[256];
  for (int i = 0; i < 256; ++i) x[i] = static_cast<int16_t>((i * 977) % 20000 - 10000);
  for (int32_t order : {kLow, -1, 0, 1, 2, 19, 20, 101}) {
    for (int32_t rate : {kLow, -1, 0, 16000}) {
      for (double cutoff : {-100.0, 0.0, 300.0, 8000.0, 1e9, double(NAN)}) {
        if (order > 101) continue;
        butt_low_pass(rate, order, cutoff, a.data(), b.data());
        filter(x, 256, order, 1.0, a.data(), b.data());
        for (double ripple : {-1.0, 0.0, 0.5, 3.0103, 10.0, double(NAN)}) {
          cheby_low_pass(rate, order, ripple, cutoff, a.data(), b.data());
          filter(x, 256, order, 0.5, a.data(), b.data());
        }
      }
    }
  }
  EXPECT_EQ(butt_low_pass(16000, 4, 300.0, nullptr, b.data()), 0.0);
  EXPECT_EQ(cheby_low_pass(16000, 4, 0.5, 300.0, a.data(), nullptr), 0.0);
  for (int32_t order : {kLow, -1, 0, 1}) {
    std::fill(a.begin(), a.end(), 7.0);
    EXPECT_EQ(butt_low_pass(16000, order, 300.0, a.data(), b.data()), 1.0);
    cheby_low_pass(16000, order, 0.5, 300.0, a.data(), b.data());
    EXPECT_EQ(a[0], 7.0) << order;  // no section, nothing written
  }
  for (int i = 0; i < 256; ++i) x[i] = static_cast<int16_t>(i - 128);
  int16_t before[256];
  std::copy(std::begin(x), std::end(x), std::begin(before));
  filter(x, 256, 4, 1.0, nullptr, nullptr);  // sections without coefficients: nothing
  EXPECT_TRUE(std::equal(std::begin(x), std::end(x), std::begin(before)));
  filter(x, 256, 1, 2.0, nullptr, nullptr);  // no sections: the gain alone
  for (int i = 0; i < 256; ++i) ASSERT_EQ(x[i], 2 * before[i]) << i;
  filter(x, 256, 0, double(NAN), nullptr, nullptr);  // non-finite results store 0
  for (int i = 0; i < 256; ++i) ASSERT_EQ(x[i], 0) << i;
  float re[4] = {1, 2, 3, 4}, im[4] = {};
  EXPECT_EQ(fft(nullptr, im, 0, 4), 0);
  EXPECT_EQ(fft(re, nullptr, 1, 4), 0);
  EXPECT_EQ(fft(nullptr, nullptr, 0, 0), 1);
  EXPECT_EQ(re[0], 1.0f);
  // The settings are stored without checks.
  for (int32_t value : {kLow, -1, 0, kHuge}) {
    SetCeplen(value);
    EXPECT_EQ(GetCeplen(), value);
    SetMFCCVecLen(value);
    EXPECT_EQ(GetMFCCVecLen(), value);
  }
}

TEST_P(HostileArguments, PeakFilesOnHostRecords) {
  Load(GetParam());
  TempDir dir;
  const std::string path = dir.File("doc.peaks");
  ASSERT_EQ(SavePeaks(path.c_str()), 1);
  const int32_t elements = GetElementNum();
  TvxElement table[4] = {};
  int32_t peaks[2] = {10, 20};
  // Records the writer refuses: negative counts, more elements than the
  // capacity, a count without its table.
  const TvxDocument bad[] = {
      {table, -1, nullptr, nullptr, 0, 16000, 4, 0, nullptr, 0},
      {table, 0, peaks, nullptr, -1, 16000, 4, 0, nullptr, 0},
      {table, 5, nullptr, nullptr, 0, 16000, 4, 0, nullptr, 0},
      {nullptr, 1, nullptr, nullptr, 0, 16000, 4, 0, nullptr, 0},
      {table, 0, nullptr, nullptr, 2, 16000, 4, 0, nullptr, 0},
  };
  for (const TvxDocument& record : bad) {
    TvxDocument copy = record;
    EXPECT_EQ(_SavePeaks(dir.File("bad.peaks").c_str(), &copy), 0);
    EXPECT_FALSE(FileExists(dir.File("bad.peaks")));
  }
  // Without modified pitch the periods are written as 0.
  TvxDocument plain{table, 0, peaks, nullptr, 2, 16000, 4, 0, nullptr, 0};
  EXPECT_EQ(_SavePeaks(dir.File("plain.peaks").c_str(), &plain), 1);
  // A host record too small for the file's elements refuses it unchanged;
  // one without a table refuses any element.
  TvxDocument small{table, 0,       nullptr, nullptr, 0, 0, elements > 0 ? elements - 1 : 0,
                    0,     nullptr, 0};
  TvxDocument none{nullptr, 0, nullptr, nullptr, 0, 0, 10000, 0, nullptr, 0};
  if (elements > 0) {
    EXPECT_EQ(_ReadPeaks(path.c_str(), &small), 0);
    EXPECT_EQ(small.peaks, nullptr);
    EXPECT_EQ(_ReadPeaks(path.c_str(), &none), 0);
  }
  TvxDocument roomy{nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, nullptr, 0};
  std::vector<TvxElement> room(10000);
  roomy.elements = room.data();
  roomy.elementCapacity = 10000;
  EXPECT_EQ(_ReadPeaks(path.c_str(), &roomy), 1);
  EXPECT_EQ(roomy.elementCount, elements);
  int32_t* own = nullptr;
  EXPECT_EQ(roomy.peakCount, GetFullPeaks(&own));
  std::free(roomy.peaks);
  std::free(roomy.modifiedPitch);
  EXPECT_EQ(_ReadPeaks(path.c_str(), nullptr), 0);
}

INSTANTIATE_TEST_SUITE_P(Documents, HostileArguments, ::testing::Values(Doc::kEmpty, Doc::kLoaded),
                         [](const auto& info) {
                           return std::string(info.param == Doc::kEmpty ? "Empty" : "Loaded");
                         });

TEST(HostileArgumentsWithoutDocument, CallsBeforeInitTalvoxDoNotCrash) {
  InitWaveFileProc();
  EXPECT_EQ(GetElementNum(), 0);
  EXPECT_EQ(AddBoundary(10), 0);
  EXPECT_EQ(GetElement(0), -1);
  int32_t* table = nullptr;
  EXPECT_EQ(GetFullPeaks(&table), 0);
  EXPECT_EQ(GetClosedPeak(10, 1.0f), -1);
  EXPECT_EQ(DelSpeech(0, 10), 0);
  EXPECT_EQ(SynthesisSpeech(0, 0, 10), 0);
  FreeWaveFileProc();
}

TEST(HostileArgumentsLifecycle, RepeatedAndEarlyCalls) {
  FreeTalvox();
  FreeTalvox();
  FreeSpeechBackup();
  FreeSpeechBackup();
  FreeWaveFileProc();
  FreeWaveFileProc();
  FreeMem(nullptr);
  EXPECT_EQ(GetSynthesisSpeech(), nullptr);
  EXPECT_EQ(GetSynthesisLength(), 0);
  EXPECT_EQ(GetCollectSegmentedSpeech(), nullptr);
  EXPECT_EQ(GetCollectSegmentedSpeechLength(), 0);
  EXPECT_EQ(GetSpectrum(), nullptr);
  EXPECT_EQ(GetSpectrumFrameNum(), 0);
  EXPECT_EQ(GetEnergy(), nullptr);
  EXPECT_EQ(GetEnergyLength(), 0);
  EXPECT_EQ(ReadPeaks("/nonexistent/x"), 0);
  EXPECT_EQ(SavePeaks("/dev/null/x"), 0);
  EXPECT_EQ(InitWaveFileProc(), 1);
  InitTalvox();
  InitTalvox();
  InitSpeechBackup();
  InitSpeechBackup();
  LoadSignal(VoicedSignal(200, 800, 200, 80, 8000), 1, 16000);
  EXPECT_EQ(PasteSpeech(10, 10), 0);  // empty clipboard
  SetFullSegmentation();
  EXPECT_EQ(CopySpeech(100, 300), 1);
  FreeSpeechBackup();
  EXPECT_EQ(PasteSpeech(10, 10), 0);
  EXPECT_EQ(CopySpeech(100, 300), 1);
  FreeTalvox();
  EXPECT_EQ(PasteSpeech(10, 10), 0);  // no document to paste the annotation into
  EXPECT_EQ(GetElementNum(), 0);
  FreeSpeechBackup();
  FreeWaveFileProc();
  FreeWaveFileProc();
}

// Audio with no device open: every call is harmless and reports nothing open.
TEST(HostileArgumentsAudio, NoDeviceOpen) {
  TheAudioDevice() = AudioDevice{};
  FakeWaveService fake;
  char buffer[64] = {};
  for (int32_t length : {kLow, -1, 0, 64, kHuge}) {
    PlayData(buffer, length);
    PlayData(nullptr, length);
    RecordData(buffer, length);
    RecordData(nullptr, length);
  }
  PlayPause();
  PlayPause();
  EXPECT_EQ(WaveOutGetPosition(), 0);
  EXPECT_EQ(WaveInGetPosition(), 0);
  EXPECT_EQ(GetRecordBytes(), 0);
  EXPECT_EQ(PlayStop(), 1);
  EXPECT_EQ(RecordStop(), 1);
  PlayClose();
  RecordClose();
  FreeWavePlay();
  EXPECT_EQ(isSoundOpen(), 0);
  EXPECT_TRUE(fake.calls.empty());
}

// Formats the sound service cannot play are refused before any device is
// opened (the real service, no sound card needed).
TEST(HostileArgumentsAudio, UnplayableFormatsFailToOpen) {
  TheAudioDevice() = AudioDevice{};
  for (int32_t bits : {kLow, -1, 0, 7, 12, 64, kHuge}) {
    EXPECT_EQ(PlayOpen(0, 16000, 1, bits), 0) << bits;
    EXPECT_EQ(RecordOpen(0, 16000, 1, bits), 0) << bits;
  }
  for (int32_t channels : {0, 65536}) {
    EXPECT_EQ(PlayOpen(0, 16000, channels, 16), 0) << channels;
    EXPECT_EQ(RecordOpen(0, 16000, channels, 16), 0) << channels;
  }
  EXPECT_EQ(PlayOpen(0, 0, 1, 16), 0);
  EXPECT_EQ(RecordOpen(0, 0, 1, 16), 0);
  EXPECT_EQ(isSoundOpen(), 0);
  EXPECT_EQ(PlayStop(), 1);
  EXPECT_EQ(RecordStop(), 1);
}

// Over the scripted service: any format the service accepts opens, and the
// edge lengths of the buffers never reach the service.
TEST(HostileArgumentsAudio, EdgeBuffersOnAnOpenDevice) {
  TheAudioDevice() = AudioDevice{};
  FakeWaveService fake;
  for (int32_t rate : {kLow, -1, 0, kHuge}) {
    for (int32_t channels : {-1, 0, 3}) {
      EXPECT_EQ(PlayOpen(0, rate, channels, 16), 1);
      EXPECT_EQ(RecordOpen(0, rate, channels, 16), 1);
    }
  }
  EXPECT_EQ(isSoundOpen(), 1);
  fake.calls.clear();
  char buffer[64] = {};
  for (int32_t length : {kLow, -1, 0}) {
    PlayData(buffer, length);
    RecordData(buffer, length);
  }
  PlayData(nullptr, 64);
  RecordData(nullptr, 64);
  EXPECT_TRUE(fake.calls.empty());
  PlayPause();
  PlayPause();
  WaveOutGetPosition();
  WaveInGetPosition();
  EXPECT_EQ(PlayStop(), 1);
  EXPECT_EQ(RecordStop(), 1);
  EXPECT_EQ(isSoundOpen(), 0);
  PlayClose();
  RecordClose();
  FreeWavePlay();
}

}  // namespace
}  // namespace talvox::test
