#include "pitch_request.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "annotation_files.h"
#include "cli_error.h"
#include "text_input.h"

namespace tvx {

PitchRequest PitchRequest::Scale(double factor) {
  PitchRequest request;
  request.kind_ = Kind::kScale;
  request.value_ = factor;
  return request;
}

PitchRequest PitchRequest::Flat(double hertz) {
  PitchRequest request;
  request.kind_ = Kind::kFlat;
  request.value_ = hertz;
  return request;
}

PitchRequest PitchRequest::Contour(std::vector<std::pair<double, double>> points) {
  PitchRequest request;
  request.kind_ = Kind::kContour;
  request.points_ = std::move(points);
  return request;
}

PitchRequest PitchRequest::Custom(std::function<double(double, double)> rule, std::string description) {
  PitchRequest request;
  request.kind_ = Kind::kCustom;
  request.rule_ = std::move(rule);
  request.description_ = std::move(description);
  return request;
}

double PitchRequest::TargetF0(double seconds, double sourceF0) const {
  switch (kind_) {
    case Kind::kScale: return sourceF0 * value_;
    case Kind::kFlat: return value_;
    case Kind::kContour: break;
    case Kind::kCustom: return rule_(seconds, sourceF0);
  }
  if (seconds <= points_.front().first) return points_.front().second;
  if (seconds >= points_.back().first) return points_.back().second;
  size_t i = 1;
  while (points_[i].first < seconds) i++;
  const auto& [t0, f0] = points_[i - 1];
  const auto& [t1, f1] = points_[i];
  return t1 > t0 ? f0 + (f1 - f0) * (seconds - t0) / (t1 - t0) : f1;
}

std::string PitchRequest::Describe() const {
  char text[96];
  switch (kind_) {
    case Kind::kScale: std::snprintf(text, sizeof text, "F0 x %.4g", value_); break;
    case Kind::kFlat: std::snprintf(text, sizeof text, "flat F0 %.4g Hz", value_); break;
    case Kind::kContour:
      std::snprintf(text, sizeof text, "contour of %zu points, %.4g to %.4g Hz", points_.size(),
                    points_.front().second, points_.back().second);
      break;
    case Kind::kCustom: return description_;
  }
  return text;
}

std::vector<std::pair<double, double>> ReadContourFile(const std::string& path) {
  std::string text = ReadTextBytes(path);
  if (auto tier = ParsePitchTierContour(path, text)) return *tier;
  std::vector<std::pair<double, double>> points;
  int number = 0;
  for (std::string line : SplitTextLines(path, text)) {
    number++;
    size_t hash = line.find('#');
    if (hash != std::string::npos) line.erase(hash);
    std::istringstream words(line);
    double seconds, hertz;
    std::string extra;
    if (!(words >> seconds)) {
      if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
      FailFile(path, "line " + std::to_string(number) + ": expected 'seconds F0-Hz'");
    }
    if (!(words >> hertz) || (words >> extra))
      FailFile(path, "line " + std::to_string(number) + ": expected two numbers, 'seconds F0-Hz'");
    if (!std::isfinite(seconds) || seconds < 0 || (!points.empty() && seconds < points.back().first))
      FailFile(path, "line " + std::to_string(number) + ": times must be ascending and not negative");
    if (!(hertz >= kLowestF0 && hertz <= kHighestF0))
      FailFile(path, "line " + std::to_string(number) + ": F0 must lie between 20 and 2000 Hz");
    points.emplace_back(seconds, hertz);
  }
  if (points.empty()) FailFile(path, "no contour points (expected lines of 'seconds F0-Hz')");
  return points;
}

PitchRequest ParsePitchRequest(const Args& args) {
  int given = 0;
  for (const char* name : {"pitch-scale", "semitones", "f0", "contour"}) given += args.Has(name) ? 1 : 0;
  if (given != 1)
    FailUsage(args.command(), "give exactly one of --pitch-scale, --semitones, --f0 and --contour");
  if (args.Has("pitch-scale")) return PitchRequest::Scale(args.Number("pitch-scale", 1, 0.25, 4));
  if (args.Has("semitones")) return PitchRequest::Scale(std::pow(2.0, args.Number("semitones", 0, -24, 24) / 12));
  if (args.Has("f0")) return PitchRequest::Flat(args.Number("f0", 100, kLowestF0, kHighestF0));
  return PitchRequest::Contour(ReadContourFile(*args.Value("contour")));
}

}  // namespace tvx
