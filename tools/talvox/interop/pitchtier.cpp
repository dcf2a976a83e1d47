#include "pitchtier.h"

#include "format_error.h"
#include "oo_text.h"

namespace tvx::interop {
PitchTier ParsePitchTier(const std::string& utf8) {
  OoTextReader reader(utf8);
  reader.ExpectHeader("PitchTier");
  PitchTier tier;
  TimeDomain domain = reader.Domain("PitchTier");
  tier.xmin = domain.xmin;
  tier.xmax = domain.xmax;
  int64_t count = reader.Count("the point count", kMostItems);
  for (int64_t i = 0; i < count; i++) {
    std::string where = "point " + std::to_string(i + 1);
    PitchPoint point;
    point.time = reader.Number("the time of " + where);
    point.line = reader.line();
    point.hertz = reader.Number("the frequency of " + where);
    point.valueLine = reader.line();
    if (point.time < tier.xmin || point.time > tier.xmax) throw FormatError(point.line, where + " lies outside the tier");
    if (!tier.points.empty() && point.time <= tier.points.back().time)
      throw FormatError(point.line, where + " does not come after the point before");
    if (!(point.hertz > 0)) throw FormatError(reader.line(), where + ": the frequency must be above 0 Hz");
    tier.points.push_back(point);
  }
  reader.ExpectEnd();
  return tier;
}

std::string WritePitchTier(const PitchTier& tier, TextFormat format) {
  ObjectWriter out(format);
  out.Header("PitchTier");
  out.Number(0, "xmin", tier.xmin);
  out.Number(0, "xmax", tier.xmax);
  out.Count(0, "points: size", tier.points.size());
  for (size_t i = 0; i < tier.points.size(); i++) {
    out.Label(0, "points [" + std::to_string(i + 1) + "]:");
    out.Number(1, "number", tier.points[i].time);
    out.Number(1, "value", tier.points[i].hertz);
  }
  return out.Finish();
}

}  // namespace tvx::interop
