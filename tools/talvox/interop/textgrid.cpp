#include "textgrid.h"

#include "format_error.h"
#include "oo_text.h"
#include "oo_text_writer.h"
#include "text_decoding.h"

namespace tvx::interop {
namespace {

std::string Nth(const char* what, size_t index) { return std::string(what) + " " + std::to_string(index + 1); }

void ReadIntervals(OoTextReader& reader, Tier& tier) {
  int64_t count = reader.Count("the interval count of tier '" + tier.name + "'", kMostItems);
  for (int64_t i = 0; i < count; i++) {
    std::string where = Nth("interval", size_t(i)) + " of tier '" + tier.name + "'";
    Interval interval;
    interval.xmin = reader.Number("the start time of " + where);
    interval.line = reader.line();
    interval.xmax = reader.Number("the end time of " + where);
    interval.text = reader.Text("the text of " + where);
    if (interval.xmax < interval.xmin) throw FormatError(interval.line, where + " ends before it starts");
    // Joins are checked in samples, where they matter; here only the order.
    if (!tier.intervals.empty() && interval.xmin < tier.intervals.back().xmin)
      throw FormatError(interval.line, where + " starts before the interval before it");
    tier.intervals.push_back(std::move(interval));
  }
}

void ReadPoints(OoTextReader& reader, Tier& tier) {
  int64_t count = reader.Count("the point count of tier '" + tier.name + "'", kMostItems);
  for (int64_t i = 0; i < count; i++) {
    std::string where = Nth("point", size_t(i)) + " of tier '" + tier.name + "'";
    Point point;
    point.time = reader.Number("the time of " + where);
    point.line = reader.line();
    point.mark = reader.Text("the mark of " + where);
    if (point.time < tier.xmin || point.time > tier.xmax)
      throw FormatError(point.line, where + " lies outside its tier");
    if (!tier.points.empty() && point.time <= tier.points.back().time)
      throw FormatError(point.line, where + " does not come after the point before");
    tier.points.push_back(std::move(point));
  }
}

}  // namespace

TextGrid ParseTextGrid(const std::string& utf8) {
  OoTextReader reader(utf8);
  reader.ExpectHeader("TextGrid");
  TextGrid grid;
  TimeDomain domain = reader.Domain("TextGrid");
  grid.xmin = domain.xmin;
  grid.xmax = domain.xmax;
  int64_t tierCount = 0;
  if (reader.Flag("whether tiers exist")) tierCount = reader.Count("the tier count", kMostItems);
  for (int64_t t = 0; t < tierCount; t++) {
    Tier tier;
    std::string kind = reader.Text("the class of " + Nth("tier", size_t(t)));
    tier.line = reader.line();
    if (kind != "IntervalTier" && kind != "TextTier")
      throw FormatError(tier.line, "expected the tier class \"IntervalTier\" or \"TextTier\", found \"" + kind + "\"");
    tier.kind = kind == "IntervalTier" ? Tier::Kind::kInterval : Tier::Kind::kPoint;
    tier.name = reader.Text("the name of " + Nth("tier", size_t(t)));
    tier.xmin = reader.Number("the start time of tier '" + tier.name + "'");
    tier.xmax = reader.Number("the end time of tier '" + tier.name + "'");
    if (tier.xmax < tier.xmin) throw FormatError(reader.line(), "tier '" + tier.name + "' ends before it starts");
    if (tier.kind == Tier::Kind::kInterval)
      ReadIntervals(reader, tier);
    else
      ReadPoints(reader, tier);
    grid.tiers.push_back(std::move(tier));
  }
  reader.ExpectEnd();
  return grid;
}

std::string QuotedText(const std::string& text) {
  std::string quoted = "\"";
  for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

std::string WriteTextGrid(const TextGrid& grid, TextFormat format) {
  ObjectWriter out(format);
  out.Header("TextGrid");
  out.Number(0, "xmin", grid.xmin);
  out.Number(0, "xmax", grid.xmax);
  out.Flag("tiers?", !grid.tiers.empty());
  if (!grid.tiers.empty()) {
    out.Count(0, "size", grid.tiers.size());
    out.Label(0, "item []: ");
  }
  for (size_t t = 0; t < grid.tiers.size(); t++) {
    const Tier& tier = grid.tiers[t];
    bool intervals = tier.kind == Tier::Kind::kInterval;
    out.Label(1, "item [" + std::to_string(t + 1) + "]:");
    out.Text(2, "class", intervals ? "IntervalTier" : "TextTier");
    out.Text(2, "name", tier.name);
    out.Number(2, "xmin", tier.xmin);
    out.Number(2, "xmax", tier.xmax);
    if (intervals) {
      out.Count(2, "intervals: size", tier.intervals.size());
      for (size_t i = 0; i < tier.intervals.size(); i++) {
        out.Label(2, "intervals [" + std::to_string(i + 1) + "]:");
        out.Number(3, "xmin", tier.intervals[i].xmin);
        out.Number(3, "xmax", tier.intervals[i].xmax);
        out.Text(3, "text", tier.intervals[i].text);
      }
    } else {
      out.Count(2, "points: size", tier.points.size());
      for (size_t i = 0; i < tier.points.size(); i++) {
        out.Label(2, "points [" + std::to_string(i + 1) + "]:");
        out.Number(3, "number", tier.points[i].time);
        out.Text(3, "mark", tier.points[i].mark);
      }
    }
  }
  return out.Finish();
}

const Tier* FindTier(const TextGrid& grid, Tier::Kind kind, const std::string& name) {
  for (const Tier& tier : grid.tiers)
    if (name.empty() ? tier.kind == kind : tier.name == name) return &tier;
  return nullptr;
}

}  // namespace tvx::interop
