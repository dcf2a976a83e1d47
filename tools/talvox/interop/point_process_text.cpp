#include "point_process_text.h"

#include "format_error.h"
#include "oo_text.h"

namespace tvx::interop {
PointProcess ParsePointProcess(const std::string& utf8) {
  OoTextReader reader(utf8);
  reader.ExpectHeader("PointProcess");
  PointProcess points;
  TimeDomain domain = reader.Domain("PointProcess");
  points.xmin = domain.xmin;
  points.xmax = domain.xmax;
  int64_t count = reader.Count("the point count", kMostItems);
  for (int64_t i = 0; i < count; i++) {
    std::string where = "point " + std::to_string(i + 1);
    double time = reader.Number("the time of " + where);
    if (time < points.xmin || time > points.xmax) throw FormatError(reader.line(), where + " lies outside xmin..xmax");
    if (!points.times.empty() && time <= points.times.back())
      throw FormatError(reader.line(), where + " does not come after the point before");
    points.times.push_back(time);
    points.lines.push_back(reader.line());
  }
  reader.ExpectEnd();
  return points;
}

std::string WritePointProcess(const PointProcess& points, TextFormat format) {
  ObjectWriter out(format);
  out.Header("PointProcess");
  out.Number(0, "xmin", points.xmin);
  out.Number(0, "xmax", points.xmax);
  out.Count(0, "nt", points.times.size());
  for (size_t i = 0; i < points.times.size(); i++) out.Number(0, "t [" + std::to_string(i + 1) + "]", points.times[i]);
  return out.Finish();
}

}  // namespace tvx::interop
