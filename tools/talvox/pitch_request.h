// The pitch a resynthesis asks for: a scale of the present F0, a flat F0, or
// a contour of (time, F0) points interpolated linearly.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "args.h"

namespace tvx {

class PitchRequest {
 public:
  static PitchRequest Scale(double factor);
  static PitchRequest Flat(double hertz);
  static PitchRequest Contour(std::vector<std::pair<double, double>> points);
  // Any rule (seconds, sourceF0) -> F0, with the text Describe gives.
  static PitchRequest Custom(std::function<double(double, double)> rule, std::string description);

  // The F0 wanted at time seconds of the input where it now has sourceF0.
  double TargetF0(double seconds, double sourceF0) const;
  std::string Describe() const;
  // Whether the F0 wanted is the present one everywhere (a scale of 1).
  bool KeepsSourcePitch() const { return kind_ == Kind::kScale && value_ == 1.0; }

 private:
  enum class Kind { kScale, kFlat, kContour, kCustom } kind_ = Kind::kScale;
  double value_ = 1.0;
  std::vector<std::pair<double, double>> points_;  // ascending in time
  std::function<double(double, double)> rule_;
  std::string description_;
};

// Exactly one of --pitch-scale, --semitones, --f0, --contour.
PitchRequest ParsePitchRequest(const Args& args);

// Two numbers per line (seconds, Hz); blank lines and # comments skipped.
std::vector<std::pair<double, double>> ReadContourFile(const std::string& path);

constexpr double kLowestF0 = 20.0;    // Hz; below this no voice
constexpr double kHighestF0 = 2000.0; // Hz; above this no voice

}  // namespace tvx
