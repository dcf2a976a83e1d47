// The typical road of a host, through the exports only: read a WAV file,
// compute pitch marks, correct the annotation, raise the pitch by a fifth,
// resynthesise a voiced element, save the annotation and read it back.
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "test_support.h"

namespace talvox::test {
namespace {

constexpr int kRate = 16000;
constexpr int kPeriod = 120;  // 133 Hz

// The lag of the largest normalised autocorrelation in minLag..maxLag: an
// estimate of the period that knows nothing of the marks.
int AutocorrelationPeriod(const int16_t* x, int length, int minLag, int maxLag) {
  int best = 0;
  double bestValue = -2.0;
  for (int lag = minLag; lag <= maxLag; ++lag) {
    double sum = 0, a = 0, b = 0;
    for (int n = 0; n + lag < length; ++n) {
      sum += static_cast<double>(x[n]) * x[n + lag];
      a += static_cast<double>(x[n]) * x[n];
      b += static_cast<double>(x[n + lag]) * x[n + lag];
    }
    const double value = sum / std::sqrt(a * b + 1e-9);
    if (value > bestValue) {
      bestValue = value;
      best = lag;
    }
  }
  return best;
}

struct Annotation {
  std::vector<int32_t> peaks, periods;
  std::vector<std::string> descs;
  std::vector<int32_t> bounds;
  bool operator==(const Annotation& o) const {
    return peaks == o.peaks && periods == o.periods && descs == o.descs && bounds == o.bounds;
  }
};

Annotation Current() {
  Annotation a;
  int32_t* peaks = nullptr;
  const int32_t n = GetFullPeaks(&peaks);
  a.peaks.assign(peaks, peaks + n);
  int32_t* periods = nullptr;
  const int32_t m = GetFullModifiedPitch(&periods);
  a.periods.assign(periods, periods + m);
  for (int32_t i = 0; i < GetElementNum(); ++i) {
    char text[104];
    int32_t s = 0, e = 0;
    GetElementDesc(i, text);
    GetElementSegment(i, &s, &e);
    a.descs.push_back(text);
    a.bounds.push_back(s);
    a.bounds.push_back(e);
  }
  return a;
}

class TypicalRoad : public DocumentTest {};

TEST_F(TypicalRoad, ReadAnalyseEditResynthesiseSaveAndReload) {
  TempDir dir;
  const std::string wav = dir.File("speech.wav"), marks = dir.File("speech.peaks");
  LoadSignal(VoicedSignal(4000, 16000, 4000, kPeriod, 12000), 1, kRate);
  ASSERT_EQ(SaveWaveFile(1, wav.c_str(), 0, 0), 1);
  NewWave();

  ASSERT_EQ(ReadWaveFile(1, wav.c_str(), 0, 0), 1);
  const int16_t* x = GetDataBuffer(0);
  const int32_t length = GetWaveLength();
  ASSERT_EQ(length, 24000);
  ASSERT_GT(CalculatePitch(x, length, GetSamplesPerSec()), 100);

  // The voiced element: the one that is not silence.
  int32_t voiced = -1;
  for (int32_t i = 0; i < GetElementNum(); ++i) {
    char text[104];
    GetElementDesc(i, text);
    if (std::string(text) != "SIL") voiced = i;
  }
  ASSERT_GE(voiced, 0);
  int32_t start = 0, end = 0;
  ASSERT_EQ(GetElementSegment(voiced, &start, &end), 1);
  ASSERT_LT(start, 4800);
  ASSERT_GT(end, 19200);

  // Hand corrections: a boundary, a description, a pitch mark.
  ASSERT_EQ(SetElementSegment(voiced, start + 8, 1), 1);
  start += 8;
  ASSERT_EQ(SetElementDesc(voiced, "ma3"), 1);
  int32_t* peaks = nullptr;
  int32_t n = GetFullPeaks(&peaks);
  const int32_t moved = peaks[n / 2];
  int32_t removed = 0, added = 0;
  ASSERT_EQ(DeletePeak(moved, &removed, 1.0f), 1);
  ASSERT_EQ(removed, moved);
  ASSERT_EQ(AddPeak(moved + 1, &added), 1);
  n = GetFullPeaks(&peaks);

  // A fifth higher: every period two thirds of the source distance.
  std::vector<int32_t> raised;
  for (int32_t i = 0; i + 1 < n; ++i) raised.push_back((peaks[i + 1] - peaks[i]) * 2 / 3);
  ASSERT_EQ(SetModifiedPitch(raised.data()), 1);

  ASSERT_EQ(SynthesisSpeech(0, start, end), 1);
  const int16_t* y = GetSynthesisSpeech();
  const int32_t produced = GetSynthesisLength();
  ASSERT_LT(produced, end - start);
  // Measure in the middle of both, away from the faded ends.
  const int inPeriod = AutocorrelationPeriod(x + 8000, 4000, 50, 150);
  const int outPeriod = AutocorrelationPeriod(y + produced / 4, produced / 2, 50, 150);
  EXPECT_EQ(inPeriod, kPeriod);
  EXPECT_NEAR(outPeriod, kPeriod * 2 / 3, 2);

  ASSERT_EQ(SavePeaks(marks.c_str()), 1);
  const Annotation saved = Current();
  FreeTalvox();
  InitTalvox();
  EXPECT_EQ(GetElementNum(), 0);
  ASSERT_EQ(ReadPeaks(marks.c_str()), 1);
  EXPECT_EQ(Current(), saved);
  char text[104];
  ASSERT_EQ(GetElementDesc(voiced, text), 1);
  EXPECT_STREQ(text, "ma3");
}

}  // namespace
}  // namespace talvox::test
