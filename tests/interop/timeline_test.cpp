// Times against samples: the documented rounding, the filling of stretches
// no interval covers, the refusals, and round trips of random annotations
// through every writer and reader.
#include <gtest/gtest.h>

#include <random>

#include "format_error.h"
#include "labels.h"
#include "point_process_text.h"
#include "text_decoding.h"
#include "textgrid.h"
#include "timeline.h"

namespace tvx::interop {
namespace {

TEST(Timeline, NearestSampleWithHalvesAwayFromZero) {
  EXPECT_EQ(SecondsToSample(0.5 / 16000, 16000), 1);
  EXPECT_EQ(SecondsToSample(1.49 / 16000, 16000), 1);
  EXPECT_EQ(SecondsToSample(1.51 / 16000, 16000), 2);
  EXPECT_EQ(SecondsToSample(2.3, 44100), 101430);
  EXPECT_EQ(SecondsToSample(1e300, 8000), int64_t(9e15));  // absurd times stay defined
}

TEST(Timeline, UncoveredStretchesAndEmptyLabelsGetTheEmptyLabel) {
  std::vector<TimedSegment> segments = {{0.1, 0.2, "a", 3}, {0.2, 0.3, "", 4}, {0.5, 0.6, "b", 5}};
  std::vector<SampleElement> elements = ElementsFromSegments(segments, 100, 100, "SIL");
  ASSERT_EQ(elements.size(), 6u);
  std::vector<std::tuple<std::string, int, int>> expected = {{"SIL", 0, 10}, {"a", 10, 20}, {"SIL", 20, 30},
                                                             {"SIL", 30, 50}, {"b", 50, 60}, {"SIL", 60, 100}};
  for (size_t i = 0; i < expected.size(); i++) {
    EXPECT_EQ(elements[i].desc, std::get<0>(expected[i]));
    EXPECT_EQ(elements[i].start, std::get<1>(expected[i]));
    EXPECT_EQ(elements[i].end, std::get<2>(expected[i]));
  }
}

TEST(Timeline, RefusalsNameTheLineAndTheCount) {
  auto refused = [](const std::vector<TimedSegment>& segments, int64_t length, int line, const std::string& expected) {
    try {
      ElementsFromSegments(segments, 1000, length, "");
      ADD_FAILURE() << "accepted";
    } catch (const FormatError& error) {
      EXPECT_EQ(error.line(), line) << error.what();
      EXPECT_NE(std::string(error.what()).find(expected), std::string::npos) << error.what();
    }
  };
  refused({{0, 0.0004, "x", 7}}, 1000, 7, "shorter than one sample at 1000 Hz");
  refused({{0, 0.5, "x", 7}, {0.4, 0.6, "y", 8}}, 1000, 8, "before the one before it ends");
  refused({{0, 1.2, "x", 9}}, 1000, 9, "past the end of the signal (1 s)");
  refused({{0, 0.5, std::string(104, 'x'), 4}}, 1000, 4, "a label of 104 bytes; an element holds at most 103");
  refused({{0, 0.5, "two\nlines", 4}}, 1000, 4, "line break");
  std::vector<TimedSegment> many;
  for (int i = 0; i < 10001; i++) many.push_back({i / 1000.0, (i + 1) / 1000.0, "x", i + 2});
  refused(many, 20000, 0, "10001 intervals; the element table holds at most 10000");
  // 6000 intervals with gaps between them need 12001 elements.
  std::vector<TimedSegment> gappy;
  for (int i = 0; i < 6000; i++) gappy.push_back({(2 * i + 1) / 1000.0, (2 * i + 2) / 1000.0, "x", i + 2});
  refused(gappy, 12001, 0, "12001 elements");
  std::vector<TimedSegment> full(many.begin(), many.begin() + 10000);
  EXPECT_EQ(ElementsFromSegments(full, 1000, 10000, "").size(), 10000u);
}

TEST(Timeline, MarksKeepOrderDropRepeatsAndStayInside) {
  EXPECT_EQ(MarksFromPoints({{0.01, 1}, {0.0100001, 2}, {0.02, 3}}, 1000, 100), (std::vector<int32_t>{10, 20}));
  EXPECT_THROW(MarksFromPoints({{0.1, 1}}, 1000, 100), FormatError);   // sample 100 is past the end
  EXPECT_THROW(MarksFromPoints({{-0.001, 1}}, 1000, 100), FormatError);
}

// A random segmentation covering 0..length and random ascending marks.
struct Annotation {
  std::vector<SampleElement> elements;
  std::vector<int32_t> marks;
};

Annotation RandomAnnotation(std::mt19937& random, int64_t length) {
  Annotation annotation;
  std::uniform_int_distribution<int32_t> step(1, 3000);
  std::uniform_int_distribution<int> letter(0, 5);
  const char* labels[] = {"", "SIL", "ma3", "say \"hi\"", "caf\xc3\xa9", "a,b"};
  int32_t at = 0;
  while (at < length) {
    int32_t end = static_cast<int32_t>(std::min<int64_t>(length, at + step(random)));
    annotation.elements.push_back({labels[letter(random)], at, end});
    at = end;
  }
  std::uniform_int_distribution<int32_t> gap(1, 700);
  for (int32_t mark = gap(random); mark < length; mark += gap(random)) annotation.marks.push_back(mark);
  return annotation;
}

TEST(RoundTrip, RandomAnnotationsComeBackToTheSample) {
  std::mt19937 random(20261209);
  for (int rate : {8000, 11025, 16000, 22050, 44100, 48000, 96000}) {
    for (int trial = 0; trial < 8; trial++) {
      int64_t length = std::uniform_int_distribution<int64_t>(1, 2000000)(random);
      Annotation annotation = RandomAnnotation(random, length);
      SCOPED_TRACE(std::to_string(rate) + " Hz, " + std::to_string(length) + " samples");
      TextGrid grid;
      grid.xmax = SampleToSeconds(length, rate);
      Tier intervals, points;
      intervals.name = "elements";
      intervals.xmax = grid.xmax;
      for (const SampleElement& e : annotation.elements)
        intervals.intervals.push_back({SampleToSeconds(e.start, rate), SampleToSeconds(e.end, rate), e.desc, 0});
      points.kind = Tier::Kind::kPoint;
      points.xmax = grid.xmax;
      for (int32_t mark : annotation.marks) points.points.push_back({SampleToSeconds(mark, rate), "", 0});
      grid.tiers = {intervals, points};
      for (TextFormat format : {TextFormat::kLong, TextFormat::kShort}) {
        TextGrid back = ParseTextGrid(DecodeText(WriteTextGrid(grid, format)));
        std::vector<TimedSegment> segments;
        for (const Interval& i : back.tiers.at(0).intervals) segments.push_back({i.xmin, i.xmax, i.text, i.line});
        std::vector<SampleElement> elements = ElementsFromSegments(segments, rate, length, "");
        ASSERT_EQ(elements.size(), annotation.elements.size());
        for (size_t i = 0; i < elements.size(); i++) {
          ASSERT_EQ(elements[i].start, annotation.elements[i].start);
          ASSERT_EQ(elements[i].end, annotation.elements[i].end);
          ASSERT_EQ(elements[i].desc, annotation.elements[i].desc);
        }
        std::vector<TimedPoint> times;
        for (const Point& p : back.tiers.at(1).points) times.push_back({p.time, p.line});
        ASSERT_EQ(MarksFromPoints(times, rate, length), annotation.marks);
      }
      PointProcess process;
      process.xmax = grid.xmax;
      for (int32_t mark : annotation.marks) process.times.push_back(SampleToSeconds(mark, rate));
      std::vector<TimedPoint> times;
      for (double t : ParsePointProcess(WritePointProcess(process, TextFormat::kShort)).times) times.push_back({t, 0});
      ASSERT_EQ(MarksFromPoints(times, rate, length), annotation.marks);
      std::vector<Label> labels;
      for (const SampleElement& e : annotation.elements)
        labels.push_back({SampleToSeconds(e.start, rate), SampleToSeconds(e.end, rate), e.desc, 0});
      std::vector<TimedSegment> segments;
      for (const Label& l : ParseLabels(WriteLabels(labels))) segments.push_back({l.start, l.end, l.text, l.line});
      std::vector<SampleElement> elements = ElementsFromSegments(segments, rate, length, "");
      ASSERT_EQ(elements.size(), annotation.elements.size());
      for (size_t i = 0; i < elements.size(); i++) ASSERT_EQ(elements[i].start, annotation.elements[i].start);
    }
  }
}

}  // namespace
}  // namespace tvx::interop
