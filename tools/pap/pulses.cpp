#include "pulses.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

namespace pap {

namespace {

// The next pulse is looked for between these fractions of the local period
// from the current one: wide enough for a fast glide, narrow enough to
// exclude the octave below and above.
constexpr double kNearest = 0.75;
constexpr double kFarthest = 1.3;
constexpr double kLeastSimilarity = 0.15;  // inside a voiced stretch
constexpr double kEdgeSimilarity = 0.8;  // to follow cycles past a stretch's edge
constexpr int kEdgeCycles = 4;
constexpr double kRecentre = 0.3;  // of the period: where a stronger half-wave is preferred

struct Stretch {
  int32_t begin = 0;  // samples [begin, end)
  int32_t end = 0;
  int firstFrame = 0;
  int lastFrame = 0;
};

class PulseFinder {
 public:
  PulseFinder(const std::vector<int16_t>& samples, int sampleRate, const PitchTrack& track)
      : x_(samples), rate_(sampleRate), track_(track), n_(static_cast<int32_t>(samples.size())) {}

  void Run(const Stretch& s, std::vector<int32_t>& out) {
    const int32_t middle = s.begin + (s.end - s.begin) / 2;
    const double period = Period(middle, s);
    const int32_t half = static_cast<int32_t>(period / 2);
    int32_t start = StrongestIn(middle - half, middle + half);
    // Pulses stay ascending and half a period apart from those of the
    // stretch before, whose last cycles may have been followed into this one.
    const int64_t previous = out.empty() ? INT64_MIN / 2 : out.back();
    if (start < 0 || start <= previous + half) return;
    std::vector<int32_t> before;
    int extra = 0;
    double similarity = 0.0;
    for (int32_t p = start;;) {
      const double local = Period(p, s);
      int32_t q = Next(p, local, -1, similarity);
      if (q < 0 || q >= p || q <= previous + static_cast<int64_t>(local / 2) ||
          !Continues(q < s.begin, similarity, extra)) {
        break;
      }
      before.push_back(q);
      p = q;
    }
    out.insert(out.end(), before.rbegin(), before.rend());
    out.push_back(start);
    extra = 0;
    for (int32_t p = start;;) {
      int32_t q = Next(p, Period(p, s), +1, similarity);
      if (q < 0 || q <= p || !Continues(q >= s.end, similarity, extra)) break;
      out.push_back(q);
      p = q;
    }
  }

 private:
  // Inside a voiced stretch a cycle needs only a faint likeness to the one
  // before (the pitch path already found the stretch voiced; noise lowers
  // the likeness); silence or mere noise after the voicing ends has none.
  // Past the stretch's edge, cycles are followed only while they repeat
  // closely: voicing fading in or out below the frame grid.
  static bool Continues(bool outside, double similarity, int& extra) {
    if (!outside) return similarity >= kLeastSimilarity;
    return similarity >= kEdgeSimilarity && ++extra <= kEdgeCycles;
  }

  // Local period in samples from the nearest frame of the stretch.
  double Period(int32_t at, const Stretch& s) const {
    double frame = (static_cast<double>(at) / rate_ - track_.firstTime) / track_.timeStep;
    int f = static_cast<int>(std::lround(frame));
    f = std::clamp(f, s.firstFrame, s.lastFrame);
    return rate_ / static_cast<double>(track_.frequency[static_cast<std::size_t>(f)]);
  }

  // Normalised cross-correlation of the cycles centred on a and b.
  double Similarity(int32_t a, int32_t b, int32_t half) const {
    int32_t lo = std::max({-half, -a, -b});
    int32_t hi = std::min({half, n_ - 1 - a, n_ - 1 - b});
    float ab = 0.0f, aa = 0.0f, bb = 0.0f;
    const int16_t* pa = x_.data() + a;
    const int16_t* pb = x_.data() + b;
    for (int32_t k = lo; k <= hi; ++k) {
      float va = pa[k], vb = pb[k];
      ab += va * vb;
      aa += va * va;
      bb += vb * vb;
    }
    return aa > 0.0f && bb > 0.0f ? ab / std::sqrt(static_cast<double>(aa) * bb) : 0.0;
  }

  // Top of the positive half-wave (run of samples > 0) around i, and its area.
  int32_t HumpAt(int32_t i, int64_t& area) const {
    int32_t lo = i, hi = i;
    while (lo > 0 && x_[static_cast<std::size_t>(lo) - 1] > 0) --lo;
    while (hi + 1 < n_ && x_[static_cast<std::size_t>(hi) + 1] > 0) ++hi;
    int32_t top = lo;
    area = 0;
    for (int32_t k = lo; k <= hi; ++k) {
      area += x_[static_cast<std::size_t>(k)];
      if (x_[static_cast<std::size_t>(k)] > x_[static_cast<std::size_t>(top)]) top = k;
    }
    return top;
  }

  // Tops of the positive half-waves whose top lies in [from, to], with areas.
  void HumpsIn(int32_t from, int32_t to, std::vector<std::pair<int64_t, int32_t>>& out) const {
    out.clear();
    from = std::max(from, 0);
    to = std::min(to, n_ - 1);
    int32_t i = from;
    while (i <= to && x_[static_cast<std::size_t>(i)] > 0 && i > 0) --i;  // whole first hump
    while (i <= to) {
      if (x_[static_cast<std::size_t>(i)] <= 0) {
        ++i;
        continue;
      }
      int64_t area = 0;
      int32_t top = HumpAt(i, area);
      if (top >= from && top <= to) out.emplace_back(area, top);
      while (i < n_ && x_[static_cast<std::size_t>(i)] > 0) ++i;
    }
  }

  // The strongest half-wave (largest area) with its top in [from, to], or -1.
  int32_t StrongestIn(int32_t from, int32_t to) const {
    HumpsIn(from, to, humps_);
    int32_t best = -1;
    int64_t bestArea = 0;
    for (const auto& [area, top] : humps_) {
      if (area > bestArea) {
        bestArea = area;
        best = top;
      }
    }
    return best;
  }

  // Lag in [from, to] at which the cycle around p best matches the signal,
  // searched every second lag and then refined; similarity in best.
  int32_t BestLag(int32_t p, int32_t from, int32_t to, int32_t half, double& best) const {
    best = -1.0;
    int32_t lag = from;
    auto consider = [&](int32_t l) {
      double similarity = Similarity(p, p + l, half);
      if (similarity > best) {
        best = similarity;
        lag = l;
      }
    };
    for (int32_t l = from; l <= to; l += 2) consider(l);
    int32_t coarse = lag;
    if (coarse - 1 >= from) consider(coarse - 1);
    if (coarse + 1 <= to) consider(coarse + 1);
    return lag;
  }

  // The pulse one period after (direction +1) or before (-1) p, or -1: the
  // shift at which the current cycle matches the signal best gives where the
  // next cycle lies; the pulse goes on its strongest half-wave near there.
  int32_t Next(int32_t p, double period, int direction, double& similarity) const {
    int32_t near = static_cast<int32_t>(std::lround(kNearest * period));
    int32_t far = static_cast<int32_t>(std::lround(kFarthest * period));
    if (direction < 0) {
      std::swap(near, far);
      near = -near;
      far = -far;
    }
    near = std::max(near, -p);
    far = std::min(far, n_ - 1 - p);
    if (near > far) return -1;
    const int32_t half = static_cast<int32_t>(period / 2);
    int32_t lag = BestLag(p, near, far, half, similarity);
    const int32_t reach = static_cast<int32_t>(kRecentre * period);
    int32_t at = p + lag;
    int32_t strongest = StrongestIn(at - reach, at + reach);
    return strongest >= 0 ? strongest : at;
  }

  const std::vector<int16_t>& x_;
  int rate_;
  const PitchTrack& track_;
  int32_t n_;
  mutable std::vector<std::pair<int64_t, int32_t>> humps_;
};

std::vector<Stretch> VoicedStretches(const PitchTrack& track, int sampleRate, int32_t n) {
  std::vector<Stretch> stretches;
  const int frames = static_cast<int>(track.frequency.size());
  auto edge = [&](double time) {
    return static_cast<int32_t>(std::clamp(time * sampleRate, 0.0, static_cast<double>(n)));
  };
  for (int f = 0; f < frames;) {
    if (track.frequency[static_cast<std::size_t>(f)] <= 0.0f) {
      ++f;
      continue;
    }
    Stretch s;
    s.firstFrame = f;
    while (f < frames && track.frequency[static_cast<std::size_t>(f)] > 0.0f) ++f;
    s.lastFrame = f - 1;
    s.begin = edge(track.firstTime + (s.firstFrame - 0.5) * track.timeStep);
    s.end = edge(track.firstTime + (s.lastFrame + 0.5) * track.timeStep);
    if (s.end > s.begin) stretches.push_back(s);
  }
  return stretches;
}

}  // namespace

std::vector<int32_t> FindPulses(const std::vector<int16_t>& samples, int sampleRate,
                                const PitchTrack& track) {
  std::vector<int32_t> pulses;
  PulseFinder finder(samples, sampleRate, track);
  for (const Stretch& s : VoicedStretches(track, sampleRate, static_cast<int32_t>(samples.size()))) {
    finder.Run(s, pulses);
  }
  return pulses;
}

}  // namespace pap
