// The voice-analysis exports: argument checks (0 and nothing changed), the
// document update, element coverage and the count/capacity contract.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "speech_generator.h"
#include "state/document.h"
#include "talvox.h"
#include "test_support.h"

namespace {

using talvox::TheDocument;

class VoiceExports : public talvox::test::DocumentTest {
 protected:
  void SetUp() override {
    DocumentTest::SetUp();
    speechgen::SpeechSettings settings;
    settings.seconds = 3.0;
    speech_ = speechgen::GenerateSpeech(settings);
  }
  const int16_t* x() const { return speech_.samples.data(); }
  int32_t n() const { return static_cast<int32_t>(speech_.samples.size()); }
  int32_t rate() const { return speech_.sampleRate; }

  // A document with a known state, to see that refused calls leave it alone.
  void MarkDocument() {
    ASSERT_EQ(SegmentSpeech(x(), n(), rate()) > 0, true);
    ASSERT_GT(CalculatePitch(x(), n(), rate()), 0);
  }
  struct Snapshot {
    std::vector<int32_t> peaks;
    int32_t elements = 0, rate = 0, segmented = 0;
  };
  Snapshot Take() const {
    const TvxDocument& d = TheDocument().record;
    Snapshot s;
    s.peaks.assign(d.peaks, d.peaks + d.peakCount);
    s.elements = d.elementCount;
    s.rate = d.peakRate;
    s.segmented = d.segmented;
    return s;
  }
  static void ExpectSame(const Snapshot& a, const Snapshot& b) {
    EXPECT_EQ(a.peaks, b.peaks);
    EXPECT_EQ(a.elements, b.elements);
    EXPECT_EQ(a.rate, b.rate);
    EXPECT_EQ(a.segmented, b.segmented);
  }

  speechgen::GeneratedSpeech speech_;
};

TEST_F(VoiceExports, BadArgumentsReturnZeroAndChangeNothing) {
  MarkDocument();
  const Snapshot before = Take();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct Bad {
    const int16_t* samples;
    int32_t length, rate;
    float floor, ceiling;
  } bad[] = {
      {nullptr, n(), rate(), 0, 0},    {x(), 0, rate(), 0, 0},       {x(), -5, rate(), 0, 0},
      {x(), n(), 3999, 0, 0},          {x(), n(), 384001, 0, 0},     {x(), n(), 0, 0, 0},
      {x(), n(), rate(), 200, 100},    {x(), n(), rate(), 100, 100}, {x(), n(), rate(), -1, 300},
      {x(), n(), rate(), 75, -1},      {x(), n(), rate(), 100, 0},   {x(), n(), rate(), nan, 300},
      {x(), n(), rate(), 75, INFINITY}};
  std::vector<int32_t> peaks(100, -7);
  std::vector<float> f0(100, -7.0f);
  for (const Bad& b : bad) {
    SCOPED_TRACE(testing::Message()
                 << b.length << " " << b.rate << " " << b.floor << " " << b.ceiling);
    EXPECT_EQ(SegmentVoice(b.samples, b.length, b.rate, b.floor, b.ceiling), 0);
    EXPECT_EQ(CalculateVoiceMarks(b.samples, b.length, b.rate, b.floor, b.ceiling), 0);
    EXPECT_EQ(
        _CalculateVoiceMarks(b.samples, b.length, b.rate, b.floor, b.ceiling, peaks.data(), 100),
        0);
    EXPECT_EQ(
        _CalculateF0Track(b.samples, b.length, b.rate, b.floor, b.ceiling, 160, f0.data(), 100), 0);
  }
  EXPECT_EQ(_CalculateVoiceMarks(x(), n(), rate(), 0, 0, nullptr, 5), 0);
  EXPECT_EQ(_CalculateVoiceMarks(x(), n(), rate(), 0, 0, peaks.data(), -1), 0);
  EXPECT_EQ(_CalculateF0Track(x(), n(), rate(), 0, 0, 0, f0.data(), 100), 0);
  EXPECT_EQ(_CalculateF0Track(x(), n(), rate(), 0, 0, -160, f0.data(), 100), 0);
  EXPECT_EQ(_CalculateF0Track(x(), n(), rate(), 0, 0, 160, nullptr, 5), 0);
  EXPECT_EQ(_CalculateF0Track(x(), n(), rate(), 0, 0, 160, f0.data(), -1), 0);
  for (int32_t p : peaks) EXPECT_EQ(p, -7);
  for (float v : f0) EXPECT_EQ(v, -7.0f);
  ExpectSame(before, Take());
}

TEST_F(VoiceExports, UnderscoreFormsCountFirstAndWriteAtMostCapacity) {
  MarkDocument();
  const Snapshot before = Take();
  const int32_t count = _CalculateVoiceMarks(x(), n(), rate(), 0, 0, nullptr, 0);
  ASSERT_GT(count, 100);
  std::vector<int32_t> all(static_cast<size_t>(count) + 2, -1);
  EXPECT_EQ(_CalculateVoiceMarks(x(), n(), rate(), 0, 0, all.data(), count + 2), count);
  EXPECT_EQ(all[count], -1);
  for (int32_t i = 1; i < count; ++i) EXPECT_LT(all[i - 1], all[i]);
  EXPECT_GE(all[0], 0);
  EXPECT_LT(all[count - 1], n());
  std::vector<int32_t> some(11, -1);
  EXPECT_EQ(_CalculateVoiceMarks(x(), n(), rate(), 0, 0, some.data(), 10), count);
  EXPECT_TRUE(std::equal(some.begin(), some.begin() + 10, all.begin()));
  EXPECT_EQ(some[10], -1);

  const int32_t hop = 80;
  const int32_t frames = (n() - 1) / hop + 1;
  EXPECT_EQ(_CalculateF0Track(x(), n(), rate(), 0, 0, hop, nullptr, 0), frames);
  std::vector<float> f0(static_cast<size_t>(frames) + 1, -1.0f);
  EXPECT_EQ(_CalculateF0Track(x(), n(), rate(), 0, 0, hop, f0.data(), 7), frames);
  EXPECT_EQ(f0[7], -1.0f);
  EXPECT_EQ(_CalculateF0Track(x(), n(), rate(), 0, 0, hop, f0.data(), frames), frames);
  EXPECT_EQ(f0[frames], -1.0f);
  ExpectSame(before, Take());
}

TEST_F(VoiceExports, CalculateVoiceMarksUpdatesTheDocumentLikeCalculatePitch) {
  const int32_t count = CalculateVoiceMarks(x(), n(), rate(), 0, 0);
  const TvxDocument& d = TheDocument().record;
  ASSERT_GT(count, 100);
  EXPECT_EQ(d.peakCount, count);
  EXPECT_EQ(d.peakRate, rate());
  EXPECT_EQ(TheDocument().peakRoom, count);  // room for every mark, no fixed size
  std::vector<int32_t> direct(static_cast<size_t>(count));
  _CalculateVoiceMarks(x(), n(), rate(), 0, 0, direct.data(), count);
  EXPECT_TRUE(std::equal(direct.begin(), direct.end(), d.peaks));
  for (int32_t j = 0; j + 1 < count; ++j)
    EXPECT_EQ(d.modifiedPitch[j], d.peaks[j + 1] - d.peaks[j]);
  // Segmented by the voice, once.
  EXPECT_EQ(d.segmented, 1);
  ASSERT_GT(d.elementCount, 2);
  EXPECT_EQ(std::strcmp(d.elements[0].desc, "SIL"), 0);
  EXPECT_EQ(d.elements[0].start, 0);
  for (int32_t i = 1; i < d.elementCount; ++i)
    EXPECT_EQ(d.elements[i].start, d.elements[i - 1].end);
  EXPECT_EQ(d.elements[d.elementCount - 1].end, n());

  // An existing segmentation is kept.
  SegmentSpeech(x(), n(), rate());
  const std::vector<TvxElement> table(d.elements, d.elements + d.elementCount);
  CalculateVoiceMarks(x(), n(), rate(), 0, 0);
  ASSERT_EQ(d.elementCount, static_cast<int32_t>(table.size()));
  for (size_t i = 0; i < table.size(); ++i) {
    EXPECT_EQ(d.elements[i].start, table[i].start);
    EXPECT_EQ(d.elements[i].end, table[i].end);
  }
}

TEST_F(VoiceExports, ElementsAlternateAndCoverTheSignalExactly) {
  // Voicing at both ends: the first and last elements are voiced and the
  // marks reach into the first and last cycles.
  const int32_t start = 2000;
  const int32_t end = n() - 3000;
  ASSERT_GT(end - start, 8000);
  std::vector<int16_t> cut(x() + start, x() + end);
  const int32_t length = static_cast<int32_t>(cut.size());
  const int32_t count = SegmentVoice(cut.data(), length, rate(), 0, 0);
  const TvxDocument& d = TheDocument().record;
  ASSERT_EQ(d.elementCount, count);
  ASSERT_GE(count, 3);
  EXPECT_EQ(d.elements[0].start, 0);
  EXPECT_EQ(d.elements[count - 1].end, length);
  for (int32_t i = 0; i < count; ++i) {
    EXPECT_LT(d.elements[i].start, d.elements[i].end);
    if (i > 0) {
      EXPECT_EQ(d.elements[i].start, d.elements[i - 1].end);
      const bool silent = std::strcmp(d.elements[i].desc, "SIL") == 0;
      const bool previousSilent = std::strcmp(d.elements[i - 1].desc, "SIL") == 0;
      EXPECT_NE(silent, previousSilent);
    }
  }
  // The cut signal's first and last cycles are marked.
  std::vector<double> inside;
  for (const speechgen::Closure& c : speech_.closures) {
    if (c.sample >= start + 20 && c.sample < end - 20) inside.push_back(c.sample - start);
  }
  ASSERT_FALSE(inside.empty());
  const int32_t marks = _CalculateVoiceMarks(cut.data(), length, rate(), 0, 0, nullptr, 0);
  std::vector<int32_t> m(static_cast<size_t>(marks));
  _CalculateVoiceMarks(cut.data(), length, rate(), 0, 0, m.data(), marks);
  ASSERT_FALSE(m.empty());
  EXPECT_LE(std::fabs(m.front() - inside.front()), 10);
  EXPECT_LE(std::fabs(m.back() - inside.back()), 10);
}

TEST_F(VoiceExports, SilenceAndTinySignalsGiveNoMarksAndOneSilentElement) {
  for (int32_t length : {1, 7, 160, 48000}) {
    SCOPED_TRACE(length);
    const std::vector<int16_t> silence(static_cast<size_t>(length), 0);
    EXPECT_EQ(_CalculateVoiceMarks(silence.data(), length, 16000, 0, 0, nullptr, 0), 0);
    EXPECT_EQ(SegmentVoice(silence.data(), length, 16000, 0, 0), 1);
    const TvxDocument& d = TheDocument().record;
    EXPECT_EQ(std::strcmp(d.elements[0].desc, "SIL"), 0);
    EXPECT_EQ(d.elements[0].start, 0);
    EXPECT_EQ(d.elements[0].end, length);
    std::vector<float> f0(static_cast<size_t>(length), -1.0f);
    EXPECT_EQ(_CalculateF0Track(silence.data(), length, 16000, 0, 0, 1, f0.data(), length), length);
    for (float v : f0) EXPECT_EQ(v, 0.0f);
    EXPECT_EQ(CalculateVoiceMarks(silence.data(), length, 16000, 0, 0), 0);
    EXPECT_EQ(d.peakCount, 0);
  }
  // Full-scale white noise: no voice.
  std::vector<int16_t> noise(32000);
  uint32_t state = 1;
  for (int16_t& v : noise) {
    state = state * 1664525u + 1013904223u;
    v = static_cast<int16_t>(state >> 16);
  }
  EXPECT_LE(_CalculateVoiceMarks(noise.data(), 32000, 16000, 0, 0, nullptr, 0), 10);
}

// The element table from given marks: SegmentVoice's own elements from the
// marks of _CalculateVoiceMarks, also for a stretch cut from a longer
// signal's marks (how the command segments long recordings); marks that are
// not ascending or leave the signal are refused with nothing changed.
TEST_F(VoiceExports, ElementsFromGivenMarksAreSegmentVoicesOwn) {
  auto table = [] {
    const TvxDocument& d = TheDocument().record;
    std::vector<std::tuple<std::string, int32_t, int32_t>> t;
    for (int32_t i = 0; i < d.elementCount; ++i)
      t.emplace_back(d.elements[i].desc, d.elements[i].start, d.elements[i].end);
    return t;
  };
  auto marksOf = [](const int16_t* s, int32_t length, int32_t rate) {
    std::vector<int32_t> m(static_cast<size_t>(_CalculateVoiceMarks(s, length, rate, 0, 0, nullptr, 0)));
    _CalculateVoiceMarks(s, length, rate, 0, 0, m.data(), static_cast<int32_t>(m.size()));
    return m;
  };
  const std::vector<int32_t> marks = marksOf(x(), n(), rate());
  ASSERT_GT(marks.size(), 100u);
  const int32_t count = SegmentVoice(x(), n(), rate(), 0, 0);
  const auto tracked = table();
  InitTalvox();
  EXPECT_EQ(_SegmentVoiceMarks(marks.data(), static_cast<int32_t>(marks.size()), n(), rate()), count);
  EXPECT_EQ(TheDocument().record.segmented, 1);
  EXPECT_EQ(table(), tracked);

  // A stretch of the signal by its own marks, shifted.
  const int32_t from = n() / 3, to = 2 * n() / 3;
  const std::vector<int32_t> own = marksOf(x() + from, to - from, rate());
  SegmentVoice(x() + from, to - from, rate(), 0, 0);
  const auto stretch = table();
  InitTalvox();
  EXPECT_EQ(_SegmentVoiceMarks(own.data(), static_cast<int32_t>(own.size()), to - from, rate()),
            static_cast<int32_t>(stretch.size()));
  EXPECT_EQ(table(), stretch);

  // No marks: one silence over the whole length.
  EXPECT_EQ(_SegmentVoiceMarks(nullptr, 0, 1234, rate()), 1);
  EXPECT_EQ(table(), (decltype(table()){{"SIL", 0, 1234}}));

  const auto before = table();
  std::vector<int32_t> bad = marks;
  std::swap(bad[10], bad[11]);
  std::vector<int32_t> repeated = marks;
  repeated[11] = repeated[10];
  const int32_t m = static_cast<int32_t>(marks.size());
  EXPECT_EQ(_SegmentVoiceMarks(bad.data(), m, n(), rate()), 0);
  EXPECT_EQ(_SegmentVoiceMarks(repeated.data(), m, n(), rate()), 0);
  EXPECT_EQ(_SegmentVoiceMarks(marks.data(), m, marks.back(), rate()), 0);  // the last one outside
  EXPECT_EQ(_SegmentVoiceMarks(marks.data(), -1, n(), rate()), 0);
  EXPECT_EQ(_SegmentVoiceMarks(nullptr, 3, n(), rate()), 0);
  EXPECT_EQ(_SegmentVoiceMarks(marks.data(), m, 0, rate()), 0);
  EXPECT_EQ(_SegmentVoiceMarks(marks.data(), m, n(), 3999), 0);
  std::vector<int32_t> negative = {-1, 5, 9};
  EXPECT_EQ(_SegmentVoiceMarks(negative.data(), 3, n(), rate()), 0);
  EXPECT_EQ(table(), before);
  FreeTalvox();
  EXPECT_EQ(_SegmentVoiceMarks(marks.data(), m, n(), rate()), 0);
  InitTalvox();
}

TEST_F(VoiceExports, WithoutADocumentSegmentVoiceChangesNothing) {
  FreeTalvox();
  EXPECT_EQ(SegmentVoice(x(), n(), rate(), 0, 0), 0);
  InitTalvox();
}

}  // namespace
