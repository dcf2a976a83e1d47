// An F0 tracker of the kind phonetics programs use, knowing nothing of
// marks or closures: per frame, the peaks of the windowed autocorrelation
// are the voiced candidates and one unvoiced candidate stands beside them;
// the path through the frames that is strongest after the costs of octave
// jumps and of voicing changes gives each frame its F0 (0: unvoiced). It is
// the measure the resynthesis is judged by, so it shares no code with the
// library's own analysis.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace speechgen {

struct F0PathSettings {
  double floorHz = 75;
  double ceilingHz = 600;
  double hopSeconds = 0.01;
  double periodsPerWindow = 3.0;
  double silenceThreshold = 0.03;
  double voicingThreshold = 0.45;
  double octaveCost = 0.01;
  double octaveJumpCost = 0.35;
  double voicedUnvoicedCost = 0.14;
};

class F0Path {
 public:
  F0Path(const std::vector<int16_t>& x, int rate, const F0PathSettings& settings = {});

  const std::vector<double>& F0() const { return f0_; }
  // F0 of the frame whose window is centred nearest to sample `at`; -1 outside the frames.
  double Near(double at) const;
  // Centre of frame k in samples.
  double Centre(size_t k) const { return static_cast<double>(k * hop_) + 0.5 * static_cast<double>(window_); }

 private:
  size_t window_ = 0, hop_ = 0;
  std::vector<double> f0_;
};

}  // namespace speechgen
