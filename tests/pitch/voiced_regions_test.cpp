// Voiced-region detection: the region scan on chosen frame energies, and the
// whole detection against a plain re-computation.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "pitch/voiced_regions.h"
#include "pitch_reference.h"
#include "state/document.h"
#include "test_support.h"

namespace talvox::test {
namespace {

constexpr int32_t kRate = 16000;
constexpr int32_t kLoud = 10000;  // all audible frames equal: U = 2400, L = 1000

struct Span {
  std::string desc;
  int32_t start;
  int32_t end;
  bool operator==(const Span& o) const {
    return desc == o.desc && start == o.start && end == o.end;
  }
};
std::ostream& operator<<(std::ostream& out, const Span& s) {
  return out << "{" << s.desc << " " << s.start << " " << s.end << "}";
}

std::vector<Span> Spans(const TvxElement* elements, int32_t count) {
  std::vector<Span> out;
  for (int32_t i = 0; i < count; ++i) out.push_back({elements[i].desc, elements[i].start, elements[i].end});
  return out;
}

// Frame energies: loud where `pattern` has '#', silent elsewhere.
std::vector<int32_t> Energies(const std::string& pattern) {
  std::vector<int32_t> e;
  for (char c : pattern) e.push_back(c == '#' ? kLoud : 0);
  return e;
}

std::vector<Span> Segment(const std::vector<int32_t>& energy, int32_t length,
                          int32_t capacity = 10000) {
  std::vector<TvxElement> table(static_cast<size_t>(capacity));
  for (auto& element : table) std::strcpy(element.desc, "v");
  const int32_t n = ElementsFromEnergy(energy.data(), static_cast<int32_t>(energy.size()), length,
                                       kRate, table.data(), capacity);
  return Spans(table.data(), n);
}

std::string Repeat(char c, int n) { return std::string(static_cast<size_t>(n), c); }

TEST(RegionScan, OneBurstGivesSilenceVoicedSilence) {
  // Loud frames 10..39 of 60: s = (10 + 10) x 16, e = (40 + 15) x 16.
  const auto e = Energies(Repeat('.', 10) + Repeat('#', 30) + Repeat('.', 20));
  EXPECT_EQ(Segment(e, 960),
            (std::vector<Span>{{"SIL", 0, 320}, {"v", 320, 880}, {"SIL", 880, 960}}));
}

TEST(RegionScan, ShortDipsDoNotCloseARegion) {
  // A dip at frames 21..22 would end the region 256 and 272 samples after its
  // start, less than 30 ms (480 samples): it runs on to the dip at 41.
  const auto e = Energies(Repeat('.', 10) + Repeat('#', 11) + ".." + Repeat('#', 18) +
                          Repeat('.', 20));
  EXPECT_EQ(Segment(e, 976),
            (std::vector<Span>{{"SIL", 0, 320}, {"v", 320, 896}, {"SIL", 896, 976}}));
}

TEST(RegionScan, MiddleEnergiesChangeNothing) {
  auto e = Energies(Repeat('.', 10) + Repeat('#', 30) + Repeat('.', 20));
  e[45] = 2000;  // between L and U: no new region
  e[5] = 2000;
  const int32_t n = static_cast<int32_t>(e.size());
  // Average changes: (30 x 10000 + 2 x 2000) / 32 / 5 = 1900 -> U 2280, L 950.
  EXPECT_EQ(Segment(e, n * 16),
            (std::vector<Span>{{"SIL", 0, 320}, {"v", 320, 880}, {"SIL", 880, 960}}));
}

TEST(RegionScan, ReopeningSoonAfterADipTouchesOrOverlaps) {
  const std::string first = Repeat('.', 2) + Repeat('#', 30);  // closes at frame 32: end 752
  // Reopening 5 frames after the dip: start (37 + 10) x 16 = 752, touching.
  auto touch = Energies(first + Repeat('.', 5) + Repeat('#', 30) + Repeat('.', 20));
  auto spans = Segment(touch, static_cast<int32_t>(touch.size()) * 16);
  ASSERT_EQ(spans.size(), 4u);
  EXPECT_EQ(spans[1], (Span{"v", 192, 752}));
  EXPECT_EQ(spans[2], (Span{"v", 752, 1312}));
  // One frame after the dip: overlap by 64 samples, still no silence.
  auto overlap = Energies(first + "." + Repeat('#', 30) + Repeat('.', 20));
  spans = Segment(overlap, static_cast<int32_t>(overlap.size()) * 16);
  ASSERT_EQ(spans.size(), 4u);
  EXPECT_EQ(spans[1].end - spans[2].start, 64);
  // Six frames after: a 16-sample silence between.
  auto apart = Energies(first + Repeat('.', 6) + Repeat('#', 30) + Repeat('.', 20));
  spans = Segment(apart, static_cast<int32_t>(apart.size()) * 16);
  ASSERT_EQ(spans.size(), 5u);
  EXPECT_EQ(spans[2], (Span{"SIL", 752, 768}));
}

TEST(RegionScan, RegionOpenAtTheEndStopsOnAWholeHop) {
  // length 1000: 63 frames, the open region ends at 992, then 8 samples of SIL.
  const auto e = Energies(Repeat('.', 10) + Repeat('#', 53));
  EXPECT_EQ(Segment(e, 1000),
            (std::vector<Span>{{"SIL", 0, 320}, {"v", 320, 992}, {"SIL", 992, 1000}}));
}

TEST(RegionScan, RegionClosedPastTheEndHasNoFinalSilence) {
  // Dip in the very last frame: end (62 + 15) x 16 = 1232 > length.
  const auto e = Energies(Repeat('.', 10) + Repeat('#', 52) + ".");
  EXPECT_EQ(Segment(e, 1000), (std::vector<Span>{{"SIL", 0, 320}, {"v", 320, 1232}}));
}

TEST(RegionScan, TooFewOrNoAudibleFrames) {
  EXPECT_TRUE(Segment(Energies("###"), 48).empty());
  EXPECT_TRUE(Segment(std::vector<int32_t>(100, 99), 1600).empty());
}

TEST(RegionScan, MoreThanFiveHundredRegions) {
  // Period of 32 frames: 26 loud, 6 quiet -> a region of (25 + 5) x 16 = 480
  // samples, then 32 samples of silence.
  std::string pattern;
  for (int r = 0; r < 600; ++r) pattern += Repeat('#', 26) + Repeat('.', 6);
  pattern += Repeat('.', 20);
  const auto e = Energies(pattern);
  const int32_t length = static_cast<int32_t>(e.size()) * 16;
  const auto spans = Segment(e, length);
  ASSERT_EQ(spans.size(), 1u + 600 + 599 + 1);
  for (int r = 0; r < 600; ++r) {
    const Span& voiced = spans[static_cast<size_t>(1 + 2 * r)];
    EXPECT_EQ(voiced, (Span{"v", (r * 32 + 10) * 16, (r * 32 + 26 + 15) * 16})) << r;
  }
  EXPECT_EQ(spans.back(), (Span{"SIL", (599 * 32 + 41) * 16, length}));
}

TEST(RegionScan, ElementsStopAtTheTableCapacity) {
  std::string pattern;
  for (int r = 0; r < 20; ++r) pattern += Repeat('#', 26) + Repeat('.', 6);
  const auto e = Energies(pattern);
  const int32_t length = static_cast<int32_t>(e.size()) * 16;
  const auto all = Segment(e, length);
  const auto cut = Segment(e, length, 10);
  ASSERT_EQ(cut.size(), 10u);
  for (size_t i = 0; i < 9; ++i) EXPECT_EQ(cut[i], all[i]);
  EXPECT_EQ(cut[9].start, all[9].start);
  EXPECT_EQ(cut[9].end, length);
}

// The whole detection through the export.
// The filter state starts fresh, as in a newly loaded library.
class Segmentation : public DocumentTest {
 protected:
  void SetUp() override {
    DocumentTest::SetUp();
    ResetFilterState();
  }
};

std::vector<int16_t> Bursts(int32_t length, int32_t period, int32_t loud, double frequency,
                            double amplitude) {
  std::vector<int16_t> x(static_cast<size_t>(length));
  for (int32_t i = 0; i < length; ++i) {
    const bool on = i % period >= period / 4 && i % period < period / 4 + loud;
    x[i] = on ? static_cast<int16_t>(amplitude * std::sin(6.283185307 * frequency * i / kRate))
              : static_cast<int16_t>((int64_t{i} * 7919) % 21 - 10);
  }
  return x;
}

// What DetectVoicedRegions must give, from a plain filter and energy.
std::vector<Span> ExpectedSegmentation(ReferenceFilter& filter, const std::vector<int16_t>& x) {
  const std::vector<int16_t> low = filter.LowPass(x, kRate, 800.0);
  filter.LowPass(x, kRate, 2000.0);
  const std::vector<int32_t> energy = ReferenceEnergy(low, kRate / 50);
  return Segment(energy, static_cast<int32_t>(x.size()));
}

TEST_F(Segmentation, ConstantZeroGivesNoElementsButSetsTheFlag) {
  std::vector<int16_t> x(16000, 0);
  EXPECT_EQ(SegmentSpeech(x.data(), 16000, kRate), 0);
  EXPECT_EQ(TheDocument().record.elementCount, 0);
  EXPECT_EQ(TheDocument().record.segmented, 1);
}

TEST_F(Segmentation, MatchesThePlainComputationAcrossCalls) {
  ResetFilterState();
  ReferenceFilter reference;
  const TvxDocument& doc = TheDocument().record;
  // The filter state carries over from one call to the next.
  for (int call = 0; call < 3; ++call) {
    const auto x = Bursts(40000 + 3001 * call, 8000 + 1000 * call, 3000, 150 + 40 * call, 9000);
    const auto want = ExpectedSegmentation(reference, x);
    ASSERT_GE(want.size(), 3u);
    ASSERT_EQ(SegmentSpeech(x.data(), static_cast<int32_t>(x.size()), kRate),
              static_cast<int32_t>(want.size()));
    for (size_t i = 0; i < want.size(); ++i) {
      EXPECT_EQ(doc.elements[i].start, want[i].start) << call << " " << i;
      EXPECT_EQ(doc.elements[i].end, want[i].end) << call << " " << i;
      if (want[i].desc == "SIL") {
        EXPECT_STREQ(doc.elements[i].desc, "SIL");
      }
    }
  }
  // The state left behind is that of the 2000 Hz pass over the last signal.
  std::vector<int16_t> probe(64, 0);
  probe[0] = 20000;
  std::vector<int16_t> expected = probe;
  double a[10], b[10];
  const double gain = ButterworthLowPass(kRate, 4, 1000.0, a, b);
  reference.Run(expected, 4, gain, a, b);
  filter(probe.data(), 64, 4, gain, a, b);
  EXPECT_EQ(probe, expected);
}

TEST_F(Segmentation, OneBurstInSilence) {
  std::vector<int16_t> x(32000, 0);
  for (int i = 8000; i < 16000; ++i) {
    x[static_cast<size_t>(i)] = static_cast<int16_t>(8000 * std::sin(6.283185307 * 200 * i / kRate));
  }
  ResetFilterState();
  ReferenceFilter reference;
  const auto energy = ReferenceEnergy(reference.LowPass(x, kRate, 800.0), kRate / 50);
  ASSERT_EQ(SegmentSpeech(x.data(), 32000, kRate), 3);
  const TvxElement* e = TheDocument().record.elements;
  // Thresholds from the plain energies; s and e from the first loud frame
  // and the first quiet one after it.
  float sum = 0;
  int audible = 0;
  for (int32_t v : energy) {
    if (v >= 100) {
      sum += static_cast<float>(v);
      ++audible;
    }
  }
  const float base = static_cast<float>(static_cast<double>(sum) / audible / 5);
  const int32_t upper = static_cast<int32_t>(base * 1.2);
  const int32_t lower = static_cast<int32_t>(base) / 2;
  size_t loud = 0;
  while (energy[loud] < upper) ++loud;
  size_t quiet = loud;
  while (energy[quiet] > lower) ++quiet;
  EXPECT_STREQ(e[0].desc, "SIL");
  EXPECT_EQ(e[0].start, 0);
  EXPECT_EQ(e[0].end, static_cast<int32_t>(loud + 10) * 16);
  EXPECT_EQ(e[1].start, static_cast<int32_t>(loud + 10) * 16);
  EXPECT_EQ(e[1].end, static_cast<int32_t>(quiet + 15) * 16);
  EXPECT_STREQ(e[1].desc, "");
  EXPECT_STREQ(e[2].desc, "SIL");
  EXPECT_EQ(e[2].end, 32000);
  // Voiced about where the burst is.
  EXPECT_NEAR(e[1].start, 8000, 400);
  EXPECT_NEAR(e[1].end, 16000 + 240, 400);
}

TEST_F(Segmentation, ManyBurstsOnALongSignal) {
  // 700 bursts of 60 ms every 100 ms: more regions than a fixed list of 500.
  const auto x = Bursts(700 * 1600, 1600, 960, 180, 9000);
  ResetFilterState();
  ReferenceFilter reference;
  const auto want = ExpectedSegmentation(reference, x);
  ResetFilterState();
  ASSERT_GT(want.size(), 1001u);
  ASSERT_EQ(SegmentSpeech(x.data(), static_cast<int32_t>(x.size()), kRate),
            static_cast<int32_t>(want.size()));
  const TvxElement* e = TheDocument().record.elements;
  for (size_t i = 0; i < want.size(); ++i) {
    ASSERT_EQ(e[i].start, want[i].start) << i;
    ASSERT_EQ(e[i].end, want[i].end) << i;
  }
}

TEST_F(Segmentation, UnservedInputsGiveNoElementsAndLeaveTheFilterAlone) {
  std::vector<int16_t> x(4000, 5000);
  ResetFilterState();
  EXPECT_EQ(SegmentSpeech(nullptr, 4000, kRate), 0);
  EXPECT_EQ(SegmentSpeech(x.data(), -5, kRate), 0);
  EXPECT_EQ(SegmentSpeech(x.data(), 0, kRate), 0);
  EXPECT_EQ(SegmentSpeech(x.data(), 4000, 49), 0);
  EXPECT_EQ(SegmentSpeech(x.data(), 4000, 4000), 0);
  EXPECT_EQ(TheDocument().record.segmented, 1);
  // Nothing was filtered: a probe sees a fresh state.
  std::vector<int16_t> probe(16, 0), fresh(16, 0);
  probe[0] = fresh[0] = 10000;
  double a[10], b[10];
  const double gain = ButterworthLowPass(kRate, 2, 1000.0, a, b);
  filter(probe.data(), 16, 2, gain, a, b);
  ReferenceFilter().Run(fresh, 2, gain, a, b);
  EXPECT_EQ(probe, fresh);
  // 48 samples or fewer are filtered but give no elements.
  EXPECT_EQ(SegmentSpeech(x.data(), 48, kRate), 0);
  // Loud from the start and never quiet: SIL [0, 160), voiced [160, 4000).
  EXPECT_EQ(SegmentSpeech(x.data(), 4000, 4001), 2);
}

TEST_F(Segmentation, VoicedSlotsKeepTheirOldDescriptions) {
  const auto x = Bursts(48000, 16000, 8000, 200, 9000);
  ASSERT_GE(SegmentSpeech(x.data(), 48000, kRate), 3);
  std::strcpy(TheDocument().record.elements[1].desc, "ma3");
  ASSERT_GE(SegmentSpeech(x.data(), 48000, kRate), 3);
  EXPECT_STREQ(TheDocument().record.elements[1].desc, "ma3");
}

}  // namespace
}  // namespace talvox::test
