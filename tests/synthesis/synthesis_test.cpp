// Overlap-add resynthesis: the worked cases, agreement with a direct
// computation of the formulas, and the guarded edges.
#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "dsp/fft.h"
#include "state/document.h"
#include "state/memory.h"
#include "synthesis/half_window_cache.h"
#include "test_support.h"

namespace talvox::test {
namespace {

// Puts peaks, periods and one element over the signal into the document.
void Annotate(const std::vector<int32_t>& peaks, const std::vector<int32_t>& periods,
              int32_t length) {
  DocumentState& doc = TheDocument();
  ResizePeakTable(doc, static_cast<int32_t>(std::max<size_t>(peaks.size(), 1)));
  std::copy(peaks.begin(), peaks.end(), doc.record.peaks);
  doc.record.peakCount = static_cast<int32_t>(peaks.size());
  ResizeModifiedPitch(doc, static_cast<int32_t>(periods.size()));
  std::copy(periods.begin(), periods.end(), doc.record.modifiedPitch);
  doc.record.elementCount = 1;
  doc.record.elements[0].start = 0;
  doc.record.elements[0].end = length;
}

std::vector<int16_t> Output() {
  const int16_t* y = GetSynthesisSpeech();
  return std::vector<int16_t>(y, y + GetSynthesisLength());
}

// The formulas written out once more: weights by cos each time, grains added
// with the 32766 / -32767 clamp, samples outside the output dropped.
std::vector<int16_t> DirectSynthesis(const std::vector<int16_t>& x,
                                     const std::vector<int32_t>& peaks,
                                     const std::vector<int32_t>& periods, int32_t start,
                                     int32_t end) {
  const int32_t len = end - start;
  std::vector<int32_t> o, q;
  size_t first = 0;
  while (first < peaks.size() && peaks[first] < start) ++first;
  for (size_t i = first; i < peaks.size() && peaks[i] <= end; ++i) o.push_back(peaks[i] - start);
  if (o.empty()) return std::vector<int16_t>(x.begin() + start, x.begin() + end);
  const int32_t n = static_cast<int32_t>(o.size());
  q.push_back(o[0]);
  for (int32_t i = 1; i < n; ++i) q.push_back(q[i - 1] + periods[first + i - 1]);
  const int64_t room = len + 100000;
  const int64_t total = std::clamp<int64_t>(int64_t{q[n - 1]} + len - o[n - 1], 0, room);
  std::vector<int16_t> out(static_cast<size_t>(total), 0);
  for (int32_t i = 0; i < n; ++i) {
    const int32_t left = i == 0 ? o[0] : o[i] - o[i - 1];
    const int32_t right = i == n - 1 ? len - o[n - 1] : o[i + 1] - o[i];
    for (int32_t j = 0; j < left + right; ++j) {
      const int16_t s = x[static_cast<size_t>(start + o[i] - left + j)];
      double w;
      if (j < left) {
        w = 0.5 - 0.5 * std::cos(3.14159 * j / left);
      } else {
        w = 0.5 - 0.5 * std::cos((1 - static_cast<double>(j - left) / right) * 3.14159);
      }
      const int16_t grain = static_cast<int16_t>(w * s);
      const int64_t k = int64_t{q[i]} - left + j;
      if (k < 0 || k >= total) continue;
      const int32_t sum = out[static_cast<size_t>(k)] + grain;
      out[static_cast<size_t>(k)] =
          static_cast<int16_t>(sum > 32766 ? 32766 : (sum < -32767 ? -32767 : sum));
    }
  }
  return out;
}

std::vector<int16_t> Ramp(int32_t length) {
  std::vector<int16_t> x(static_cast<size_t>(length));
  for (int32_t i = 0; i < length; ++i) x[i] = static_cast<int16_t>(1000 + 37 * i);
  return x;
}

class Synthesis : public DocumentTest {};

TEST_F(Synthesis, TenSampleRangeWithTwoPeaks) {
  const std::vector<int16_t> x = Ramp(200);
  LoadSignal(x, 1, 16000);
  for (int32_t period : {6, 4}) {
    Annotate({103, 107}, {period}, 200);
    ASSERT_EQ(SynthesisSpeech(0, 100, 110), 1);
    const std::vector<int16_t> y = Output();
    ASSERT_EQ(y.size(), period == 6 ? 12u : 10u);
    EXPECT_EQ(y, DirectSynthesis(x, {103, 107}, {period}, 100, 110));
    // Grain 1 alone at the start: rising over samples 100..102.
    EXPECT_EQ(y[0], 0);
    EXPECT_EQ(y[1], static_cast<int16_t>((0.5 - 0.5 * std::cos(3.14159 / 3)) * x[101]));
    // Grain 2 alone at the end: its falling half over samples 107..109.
    EXPECT_EQ(y.back(),
              static_cast<int16_t>((0.5 - 0.5 * std::cos((1 - 2.0 / 3) * 3.14159)) * x[109]));
  }
}

TEST_F(Synthesis, OverlapAreasSumBothGrains) {
  const std::vector<int16_t> x = Ramp(200);
  LoadSignal(x, 1, 16000);
  Annotate({103, 107}, {6}, 200);
  ASSERT_EQ(SynthesisSpeech(0, 100, 110), 1);
  const std::vector<int16_t> y = Output();
  // Output 5 and 6 hold grain 1's samples 105, 106 (falling, j = 2, 3 of 4)
  // plus grain 2's samples 103, 104 (rising, j = 0, 1 of 4).
  auto fall = [&](int j, int s) {
    return static_cast<int16_t>((0.5 - 0.5 * std::cos((1 - j / 4.0) * 3.14159)) * x[s]);
  };
  auto rise = [&](int j, int s) {
    return static_cast<int16_t>((0.5 - 0.5 * std::cos(3.14159 * j / 4)) * x[s]);
  };
  EXPECT_EQ(y[5], fall(2, 105) + rise(0, 103));
  EXPECT_EQ(y[6], fall(3, 106) + rise(1, 104));
}

TEST_F(Synthesis, UnchangedPeriodsGiveTheSignalBackBetweenTheMarks) {
  const std::vector<int16_t> x = VoicedSignal(500, 4000, 500, 97, 12000);
  LoadSignal(x, 1, 16000);
  std::vector<int32_t> peaks, periods;
  for (int32_t p = 530; p < 4500; p += 97) peaks.push_back(p);
  for (size_t i = 0; i + 1 < peaks.size(); ++i) periods.push_back(peaks[i + 1] - peaks[i]);
  Annotate(peaks, periods, 5000);
  ASSERT_EQ(SynthesisSpeech(0, 300, 4800), 1);
  const std::vector<int16_t> y = Output();
  ASSERT_EQ(y.size(), 4500u);
  for (int32_t k = peaks.front() - 300; k <= peaks.back() - 300; ++k) {
    const int32_t in = x[static_cast<size_t>(k + 300)], out = y[static_cast<size_t>(k)];
    ASSERT_LE(std::abs(in - out), 2) << "at output " << k;
    ASSERT_LE(std::abs(out), std::abs(in)) << "at output " << k;
  }
}

TEST_F(Synthesis, AgreesWithTheDirectFormulasOnRandomInput) {
  std::mt19937 random(20261208);
  for (int round = 0; round < 60; ++round) {
    const int32_t length = 3000 + static_cast<int32_t>(random() % 3000);
    std::vector<int16_t> x(static_cast<size_t>(length));
    for (auto& s : x) s = static_cast<int16_t>(static_cast<int32_t>(random() % 65536) - 32768);
    std::vector<int32_t> peaks, periods;
    for (int32_t p = static_cast<int32_t>(random() % 200); p < length; p += 1 + random() % 300) {
      peaks.push_back(p);
    }
    for (size_t i = 0; i + 1 < peaks.size(); ++i) {
      // Shorter and longer periods, some far enough to push grains before
      // the output's start.
      periods.push_back(static_cast<int32_t>(random() % 400) - 20);
    }
    FreeTalvox();
    InitTalvox();
    LoadSignal(x, 1, 16000);
    Annotate(peaks, periods, length);
    const int32_t start = static_cast<int32_t>(random() % 500);
    const int32_t end = length - 1 - static_cast<int32_t>(random() % 500);
    ASSERT_EQ(SynthesisSpeech(0, start, end), 1);
    ASSERT_EQ(Output(), DirectSynthesis(x, peaks, periods, start, end)) << "round " << round;
  }
}

TEST_F(Synthesis, CachedWeightsMatchTheHalfWindows) {
  std::mt19937 random(7);
  HalfWindowCache cache;
  for (int32_t n = 1; n <= HalfWindowCache::kLongestKept + 3; n += (n < 700 ? 1 : 97)) {
    std::vector<int16_t> a(static_cast<size_t>(n));
    for (auto& s : a) s = static_cast<int16_t>(static_cast<int32_t>(random() % 65536) - 32768);
    std::vector<int16_t> b = a, c = a, d = a;
    WeighRise(a.data(), n, cache);
    HanningRise(b.data(), n);
    WeighFall(c.data(), n, cache);
    HanningFall(d.data(), n);
    ASSERT_EQ(a, b) << n;
    ASSERT_EQ(c, d) << n;
  }
}

TEST_F(Synthesis, OnePeakNoPeakAndAPeakAtTheEnd) {
  const std::vector<int16_t> x = VoicedSignal(0, 2000, 0, 80, 9000);
  LoadSignal(x, 1, 16000);
  Annotate({500}, {}, 2000);
  ASSERT_EQ(SynthesisSpeech(0, 400, 700), 1);
  EXPECT_EQ(Output(), DirectSynthesis(x, {500}, {}, 400, 700));
  EXPECT_EQ(GetSynthesisLength(), 300);

  ASSERT_EQ(SynthesisSpeech(0, 600, 900), 1);  // no peak: a plain copy
  EXPECT_EQ(Output(), std::vector<int16_t>(x.begin() + 600, x.begin() + 900));

  Annotate({650, 700}, {50}, 2000);  // the last peak stands on end: R = 0
  ASSERT_EQ(SynthesisSpeech(0, 600, 700), 1);
  EXPECT_EQ(GetSynthesisLength(), 100);
  EXPECT_EQ(Output(), DirectSynthesis(x, {650, 700}, {50}, 600, 700));
}

TEST_F(Synthesis, SumsAreClampedTo32766AndMinus32767) {
  std::vector<int16_t> x(400);
  for (size_t i = 0; i < x.size(); ++i) x[i] = (i / 100) % 2 ? -32768 : 32767;
  LoadSignal(x, 1, 16000);
  // Periods of 1 pile the grains on top of each other.
  Annotate({20, 40, 60, 80, 120, 140, 160, 180}, {1, 1, 1, 40, 1, 1, 1}, 400);
  ASSERT_EQ(SynthesisSpeech(0, 0, 200), 1);
  const std::vector<int16_t> y = Output();
  EXPECT_NE(std::find(y.begin(), y.end(), 32766), y.end());
  EXPECT_NE(std::find(y.begin(), y.end(), -32767), y.end());
  EXPECT_EQ(std::find(y.begin(), y.end(), 32767), y.end());
  EXPECT_EQ(std::find(y.begin(), y.end(), -32768), y.end());
  EXPECT_EQ(
      y, DirectSynthesis(x, {20, 40, 60, 80, 120, 140, 160, 180}, {1, 1, 1, 40, 1, 1, 1}, 0, 200));
}

TEST_F(Synthesis, DoubledPeriodsLengthenByTheMarkSpan) {
  const std::vector<int16_t> x = VoicedSignal(100, 1000, 100, 100, 8000);
  LoadSignal(x, 1, 16000);
  Annotate({150, 250, 350, 450}, {200, 200, 200}, 1200);
  ASSERT_EQ(SynthesisSpeech(0, 100, 1000), 1);
  EXPECT_EQ(GetSynthesisLength(), 900 + 300);
}

TEST_F(Synthesis, RefusalsLeaveTheOutputAlone) {
  LoadSignal(Ramp(300), 1, 16000);
  Annotate({150}, {}, 300);
  ASSERT_EQ(SynthesisSpeech(0, 100, 200), 1);
  const int16_t* before = GetSynthesisSpeech();
  const std::vector<int16_t> kept = Output();
  EXPECT_EQ(SynthesisSpeech(0, 100, 100), 0);
  EXPECT_EQ(SynthesisSpeech(0, 120, 110), 0);
  EXPECT_EQ(SynthesisSpeech(0, -1, 100), 0);
  EXPECT_EQ(SynthesisSpeech(0, 100, 300), 0);  // end at the sample length
  EXPECT_EQ(SynthesisSpeech(2, 100, 200), 0);
  EXPECT_EQ(SynthesisSpeech(-1, 100, 200), 0);
  EXPECT_EQ(SynthesisSpeech(1, 100, 200), 0);  // mono: no channel 1
  TheDocument().record.elementCount = 0;
  EXPECT_EQ(SynthesisSpeech(0, 100, 200), 0);
  EXPECT_EQ(GetSynthesisSpeech(), before);
  EXPECT_EQ(Output(), kept);
}

TEST_F(Synthesis, StereoChannelOne) {
  std::vector<int16_t> frames(2 * 1000);
  for (int i = 0; i < 1000; ++i) {
    frames[2 * i] = static_cast<int16_t>(i);
    frames[2 * i + 1] = static_cast<int16_t>(-3 * i);
  }
  LoadSignal(frames, 2, 16000);
  Annotate({300, 400}, {90}, 1000);
  ASSERT_EQ(SynthesisSpeech(1, 200, 500), 1);
  std::vector<int16_t> right(1000);
  for (int i = 0; i < 1000; ++i) right[i] = frames[2 * i + 1];
  EXPECT_EQ(Output(), DirectSynthesis(right, {300, 400}, {90}, 200, 500));
}

TEST_F(Synthesis, MissingPeriodsFallBackToTheSourceDistance) {
  const std::vector<int16_t> x = Ramp(1000);
  LoadSignal(x, 1, 16000);
  Annotate({100, 200, 300, 400}, {50}, 1000);  // room for one period of three
  ASSERT_EQ(SynthesisSpeech(0, 50, 500), 1);
  EXPECT_EQ(Output(), DirectSynthesis(x, {100, 200, 300, 400}, {50, 100, 100}, 50, 500));
  Release(TheDocument().record.modifiedPitch);
  TheDocument().pitchRoom = 0;
  ASSERT_EQ(SynthesisSpeech(0, 50, 500), 1);
  EXPECT_EQ(GetSynthesisLength(), 450);
}

TEST_F(Synthesis, ExtremePeriodsStayInsideTheOutput) {
  const std::vector<int16_t> x = Ramp(1000);
  LoadSignal(x, 1, 16000);
  Annotate({100, 200, 300}, {2000000000, 2000000000}, 1000);
  ASSERT_EQ(SynthesisSpeech(0, 50, 500), 1);
  EXPECT_EQ(GetSynthesisLength(), 450 + 100000);  // clipped to the room
  Annotate({100, 200, 300}, {-2000000000, -2000000000}, 1000);
  ASSERT_EQ(SynthesisSpeech(0, 50, 500), 1);
  EXPECT_EQ(GetSynthesisLength(), 0);
  Annotate({100, 200, 300}, {-150, 10}, 1000);
  ASSERT_EQ(SynthesisSpeech(0, 50, 500), 1);
  EXPECT_EQ(Output(), DirectSynthesis(x, {100, 200, 300}, {-150, 10}, 50, 500));
}

// Stretches across pauses are far longer than the per-length tables; their
// weighing must still give the samples of the direct half windows, also for
// the products that land next to an integer (small samples near the ends).
TEST_F(Synthesis, LongHalfWindowsMatchTheDirectOnes) {
  std::mt19937 random(11);
  HalfWindowCache cache;
  for (int32_t n : {HalfWindowCache::kLongestKept + 1, 4225, 6000, 12345, 65536, 99991, 250000}) {
    for (int kind = 0; kind < 3; ++kind) {
      std::vector<int16_t> a(static_cast<size_t>(n));
      for (size_t i = 0; i < a.size(); ++i) {
        const int32_t wide = static_cast<int32_t>(random() % 65536) - 32768;
        const int32_t small = static_cast<int32_t>(random() % 9) - 4;
        const int32_t sweep = static_cast<int32_t>(i % 65536) - 32768;
        a[i] = static_cast<int16_t>(kind == 0 ? wide : (kind == 1 ? small : sweep));
      }
      std::vector<int16_t> b = a, c = a, d = a;
      WeighRise(a.data(), n, cache);
      HanningRise(b.data(), n);
      WeighFall(c.data(), n, cache);
      HanningFall(d.data(), n);
      ASSERT_EQ(a, b) << n << " kind " << kind;
      ASSERT_EQ(c, d) << n << " kind " << kind;
    }
  }
}

// A host resynthesises a long signal run after run; each run must come out
// as the direct formulas make it, with the first mark found anywhere in a
// large table (also among repeated positions and at the table's ends).
TEST_F(Synthesis, RunAfterRunOfALongTableAgreesWithTheDirectFormulas) {
  std::mt19937 random(5);
  const int32_t length = 400000;
  std::vector<int16_t> x(static_cast<size_t>(length));
  for (auto& s : x) s = static_cast<int16_t>(static_cast<int32_t>(random() % 20000) - 10000);
  std::vector<int32_t> peaks, periods;
  for (int32_t p = 3; p < length - 1;) {
    peaks.push_back(p);
    if (random() % 50 == 0) peaks.push_back(p);  // a doubled mark
    const bool pause = random() % 9000 < 30;       // beyond the kept lengths
    p += static_cast<int32_t>(pause ? 6000 + random() % 9000 : 40 + random() % 300);
  }
  peaks.push_back(length - 2);
  for (size_t i = 0; i + 1 < peaks.size(); ++i) {
    periods.push_back(static_cast<int32_t>(peaks[i + 1] - peaks[i]) * 2 / 3 + 1);
  }
  LoadSignal(x, 1, 16000);
  Annotate(peaks, periods, length);
  std::vector<std::pair<int32_t, int32_t>> ranges = {
      {0, 5}, {0, 3}, {3, 3000}, {length - 3000, length - 1}, {length - 2, length - 1}, {1000, 300000}};
  for (int k = 0; k < 40; ++k) {
    const size_t a = random() % (peaks.size() - 1);
    const size_t b = std::min(peaks.size() - 1, a + 1 + random() % 40);
    ranges.emplace_back(peaks[a] - static_cast<int32_t>(random() % 2), peaks[b]);
  }
  for (auto [start, end] : ranges) {
    if (start >= end) continue;
    ASSERT_EQ(SynthesisSpeech(0, start, end), 1);
    ASSERT_EQ(Output(), DirectSynthesis(x, peaks, periods, start, end)) << start << ".." << end;
  }
}

}  // namespace
}  // namespace talvox::test
