// TextGrid files: interval tiers (a connected row of labelled intervals)
// and point tiers (labelled points), in the long or the short text format.
#pragma once

#include <string>
#include <vector>

#include "oo_text_writer.h"

namespace tvx::interop {

struct Interval {
  double xmin = 0, xmax = 0;
  std::string text;
  int line = 0;  // where the reader found it, for later complaints
};

struct Point {
  double time = 0;
  std::string mark;
  int line = 0;
};

struct Tier {
  enum class Kind { kInterval, kPoint } kind = Kind::kInterval;
  std::string name;
  double xmin = 0, xmax = 0;
  std::vector<Interval> intervals;  // kInterval
  std::vector<Point> points;        // kPoint
  int line = 0;
};

struct TextGrid {
  double xmin = 0, xmax = 0;
  std::vector<Tier> tiers;
};

// Parses decoded text; throws FormatError for anything but a well-formed
// TextGrid: counts that do not match the items, a tier class other than
// IntervalTier or TextTier, intervals that do not ascend or do not join,
// points that do not ascend, times outside the tier.
TextGrid ParseTextGrid(const std::string& utf8);

std::string WriteTextGrid(const TextGrid& grid, TextFormat format);

// The tier of that name (first match), or the first tier of the kind when
// name is empty; nullptr when there is none.
const Tier* FindTier(const TextGrid& grid, Tier::Kind kind, const std::string& name);

}  // namespace tvx::interop
