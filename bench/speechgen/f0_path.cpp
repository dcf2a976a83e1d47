#include "f0_path.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace speechgen {
namespace {

constexpr double kPi = 3.141592653589793;
constexpr size_t kMostCandidates = 15;

struct Candidate {
  double f0;  // 0: unvoiced
  double strength;
};

std::vector<double> Hann(size_t n) {
  std::vector<double> w(n);
  for (size_t i = 0; i < n; i++) w[i] = 0.5 - 0.5 * std::cos(2 * kPi * (static_cast<double>(i) + 0.5) / static_cast<double>(n));
  return w;
}

// The window's own autocorrelation: dividing by it keeps long lags from
// being penalised for the shrinking overlap.
std::vector<double> SelfCorrelation(const std::vector<double>& w, size_t lags) {
  std::vector<double> r(lags, 0);
  for (size_t lag = 0; lag < lags; lag++)
    for (size_t i = 0; i + lag < w.size(); i++) r[lag] += w[i] * w[i + lag];
  return r;
}

// Voiced candidates of one frame (strongest first, at most kMostCandidates)
// followed by the unvoiced one.
std::vector<Candidate> FrameCandidates(const std::vector<double>& r, size_t shortest, size_t longest, int rate,
                                       double levelShare, const F0PathSettings& s) {
  std::vector<Candidate> voiced;
  const double zero = r[0];
  for (size_t lag = shortest; lag <= longest && zero > 0; lag++) {
    if (r[lag] < r[lag - 1] || r[lag] < r[lag + 1]) continue;
    const double y0 = r[lag - 1] / zero, y1 = r[lag] / zero, y2 = r[lag + 1] / zero;
    if (y1 < 0.5 * s.voicingThreshold) continue;
    const double curve = y0 - 2 * y1 + y2;
    const double shift = curve < 0 ? std::clamp(0.5 * (y0 - y2) / curve, -0.5, 0.5) : 0.0;
    const double top = std::min(1.0, y1 - 0.25 * (y0 - y2) * shift);
    const double period = static_cast<double>(lag) + shift;
    voiced.push_back({rate / period, top - s.octaveCost * std::log2(s.floorHz * period / rate)});
  }
  std::sort(voiced.begin(), voiced.end(), [](const Candidate& a, const Candidate& b) { return a.strength > b.strength; });
  if (voiced.size() > kMostCandidates) voiced.resize(kMostCandidates);
  const double quiet = std::max(0.0, 2 - levelShare / (s.silenceThreshold / (1 + s.voicingThreshold)));
  voiced.push_back({0, s.voicingThreshold + quiet});
  return voiced;
}

double TransitionCost(const Candidate& a, const Candidate& b, const F0PathSettings& s, double timeFactor) {
  if (a.f0 == 0 && b.f0 == 0) return 0;
  if (a.f0 == 0 || b.f0 == 0) return s.voicedUnvoicedCost * timeFactor;
  return s.octaveJumpCost * std::fabs(std::log2(a.f0 / b.f0)) * timeFactor;
}

std::vector<double> BestPath(const std::vector<std::vector<Candidate>>& frames, const F0PathSettings& s) {
  const double timeFactor = 0.01 / s.hopSeconds;
  std::vector<std::vector<double>> score(frames.size());
  std::vector<std::vector<size_t>> from(frames.size());
  for (size_t k = 0; k < frames.size(); k++) {
    score[k].assign(frames[k].size(), 0);
    from[k].assign(frames[k].size(), 0);
    for (size_t j = 0; j < frames[k].size(); j++) {
      double best = k == 0 ? 0 : -std::numeric_limits<double>::infinity();
      for (size_t i = 0; k > 0 && i < frames[k - 1].size(); i++) {
        const double value = score[k - 1][i] - TransitionCost(frames[k - 1][i], frames[k][j], s, timeFactor);
        if (value > best) {
          best = value;
          from[k][j] = i;
        }
      }
      score[k][j] = best + frames[k][j].strength;
    }
  }
  std::vector<double> f0(frames.size(), 0);
  if (frames.empty()) return f0;
  size_t j = static_cast<size_t>(std::max_element(score.back().begin(), score.back().end()) - score.back().begin());
  for (size_t k = frames.size(); k-- > 0;) {
    f0[k] = frames[k][j].f0;
    j = from[k][j];
  }
  return f0;
}

}  // namespace

F0Path::F0Path(const std::vector<int16_t>& x, int rate, const F0PathSettings& s) {
  window_ = static_cast<size_t>(s.periodsPerWindow * rate / s.floorHz);
  hop_ = static_cast<size_t>(s.hopSeconds * rate);
  const size_t shortest = static_cast<size_t>(rate / s.ceilingHz), longest = static_cast<size_t>(std::ceil(rate / s.floorHz));
  if (hop_ == 0 || window_ == 0 || x.size() < window_ || shortest < 1) return;  // too low a rate, too short a signal
  const std::vector<double> w = Hann(window_), rw = SelfCorrelation(w, longest + 2);
  double mean = 0;
  for (int16_t v : x) mean += v;
  mean /= static_cast<double>(x.size());
  double globalPeak = 1e-9;
  for (int16_t v : x) globalPeak = std::max(globalPeak, std::fabs(v - mean));
  std::vector<std::vector<Candidate>> frames;
  std::vector<double> a(window_), r(longest + 2);
  for (size_t start = 0; start + window_ <= x.size(); start += hop_) {
    double local = 0, frameMean = 0;
    for (size_t i = 0; i < window_; i++) frameMean += x[start + i];
    frameMean /= static_cast<double>(window_);
    for (size_t i = 0; i < window_; i++) {
      local = std::max(local, std::fabs(x[start + i] - frameMean));
      a[i] = (x[start + i] - frameMean) * w[i];
    }
    for (size_t lag = 0; lag < r.size(); lag++) {
      double sum = 0;
      for (size_t i = 0; i + lag < window_; i++) sum += a[i] * a[i + lag];
      r[lag] = sum / rw[lag];
    }
    frames.push_back(FrameCandidates(r, shortest, longest, rate, local / globalPeak, s));
  }
  f0_ = BestPath(frames, s);
}

double F0Path::Near(double at) const {
  const double index = std::round((at - 0.5 * static_cast<double>(window_)) / static_cast<double>(hop_));
  if (index < 0 || index >= static_cast<double>(f0_.size())) return -1;
  return f0_[static_cast<size_t>(index)];
}

}  // namespace speechgen
