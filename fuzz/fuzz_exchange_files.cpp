// The exchange-file readers of the talvox tool on any bytes: TextGrid,
// PitchTier, point-process text, label tracks and CSV. Each either refuses
// with a FormatError or gives objects that its writer turns into text that
// reads back the same; the element plan of an accepted TextGrid covers the
// signal without gaps.
#include <cstdint>
#include <string>

#include "csv.h"
#include "format_error.h"
#include "fuzz_support.h"
#include "labels.h"
#include "pitchtier.h"
#include "point_process_text.h"
#include "text_decoding.h"
#include "textgrid.h"
#include "timeline.h"

namespace {

using talvox::fuzz::Check;
using namespace tvx::interop;

constexpr int kRate = 16000;
constexpr int64_t kLength = 160000;

bool SameGrid(const TextGrid& a, const TextGrid& b) {
  if (a.xmin != b.xmin || a.xmax != b.xmax || a.tiers.size() != b.tiers.size()) return false;
  for (size_t t = 0; t < a.tiers.size(); t++) {
    const Tier &x = a.tiers[t], &y = b.tiers[t];
    if (x.kind != y.kind || x.name != y.name || x.intervals.size() != y.intervals.size() || x.points.size() != y.points.size())
      return false;
    for (size_t i = 0; i < x.intervals.size(); i++)
      if (x.intervals[i].xmin != y.intervals[i].xmin || x.intervals[i].xmax != y.intervals[i].xmax ||
          x.intervals[i].text != y.intervals[i].text)
        return false;
    for (size_t i = 0; i < x.points.size(); i++)
      if (x.points[i].time != y.points[i].time || x.points[i].mark != y.points[i].mark) return false;
  }
  return true;
}

void TextGrids(const std::string& text) {
  try {
    TextGrid grid = ParseTextGrid(text);
    for (TextFormat format : {TextFormat::kLong, TextFormat::kShort})
      Check(SameGrid(grid, ParseTextGrid(WriteTextGrid(grid, format))), "a written TextGrid reads back the same");
    if (const Tier* tier = FindTier(grid, Tier::Kind::kInterval, "")) {
      std::vector<TimedSegment> segments;
      for (const Interval& i : tier->intervals) segments.push_back({i.xmin, i.xmax, i.text, i.line});
      std::vector<SampleElement> elements = ElementsFromSegments(segments, kRate, kLength, "SIL");
      Check(!elements.empty() && elements.front().start == 0 && elements.back().end == kLength, "elements cover the signal");
      for (size_t i = 1; i < elements.size(); i++) Check(elements[i].start == elements[i - 1].end, "elements join");
      Check(elements.size() <= size_t(kElementCapacity), "at most the table's elements");
    }
  } catch (const FormatError&) {
  }
}

void Others(const std::string& text) {
  try {
    PitchTier tier = ParsePitchTier(text);
    Check(ParsePitchTier(WritePitchTier(tier, TextFormat::kShort)).points.size() == tier.points.size(), "PitchTier back");
  } catch (const FormatError&) {
  }
  try {
    PointProcess points = ParsePointProcess(text);
    Check(ParsePointProcess(WritePointProcess(points, TextFormat::kLong)).times == points.times, "PointProcess back");
    std::vector<TimedPoint> times;
    for (double t : points.times) times.push_back({t, 0});
    std::vector<int32_t> marks = MarksFromPoints(times, kRate, kLength);
    for (size_t i = 1; i < marks.size(); i++) Check(marks[i] > marks[i - 1], "marks ascend");
  } catch (const FormatError&) {
  }
  try {
    std::vector<Label> labels = ParseLabels(text);
    Check(ParseLabels(WriteLabels(labels)).size() == labels.size(), "labels back");
  } catch (const FormatError&) {
  }
  try {
    CsvTable table = ParseCsv(text);
    std::string written = CsvLine(table.header);
    for (const auto& row : table.rows) written += CsvLine(row);
    Check(ParseCsv(written).rows == table.rows, "CSV back");
  } catch (const FormatError&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text;
  try {
    text = DecodeText(std::string(reinterpret_cast<const char*>(data), size));
  } catch (const FormatError&) {
    return 0;
  }
  TextGrids(text);
  Others(text);
  return 0;
}
