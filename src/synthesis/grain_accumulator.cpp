#include "synthesis/grain_accumulator.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace talvox {

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr int32_t kLongestKeptHalf = 8192;  // longer halves are computed per grain
constexpr size_t kInitialSums = size_t{1} << 15;

int16_t Rounded(float sum) {
  const float limited = std::clamp(sum, -32768.0f, 32767.0f);
  return static_cast<int16_t>(std::lround(limited));
}

void FillRise(std::vector<float>& weights, int32_t n) {
  weights.resize(static_cast<size_t>(n));
  for (int32_t j = 0; j < n; ++j) weights[j] = static_cast<float>(0.5 - 0.5 * std::cos(kPi * j / n));
}
}  // namespace

GrainAccumulator::GrainAccumulator(int16_t* output, int64_t length)
    : output_(output), length_(length), sums_(kInitialSums, 0.0f) {}

const float* GrainAccumulator::Rise(int32_t n) {
  if (n > kLongestKeptHalf) {
    FillRise(scratchRise_, n);
    return scratchRise_.data();
  }
  if (rises_.size() <= static_cast<size_t>(n)) rises_.resize(static_cast<size_t>(n) + 1);
  std::vector<float>& weights = rises_[static_cast<size_t>(n)];
  if (weights.empty()) FillRise(weights, n);
  return weights.data();
}

void GrainAccumulator::Settle(int64_t upTo) {
  upTo = std::min(upTo, length_);
  if (upTo <= base_) return;
  const int64_t count = upTo - base_;
  const int64_t held = std::min<int64_t>(count, static_cast<int64_t>(sums_.size()));
  for (int64_t i = 0; i < held; ++i) output_[base_ + i] = Rounded(sums_[static_cast<size_t>(i)]);
  std::fill(output_ + base_ + held, output_ + upTo, int16_t{0});
  if (held < static_cast<int64_t>(sums_.size())) {
    std::memmove(sums_.data(), sums_.data() + held, (sums_.size() - static_cast<size_t>(held)) * sizeof(float));
  }
  std::fill(sums_.end() - held, sums_.end(), 0.0f);
  base_ = upTo;
}

// Makes sums_ hold the output positions from..to-1 (from >= base_).
void GrainAccumulator::Cover(int64_t from, int64_t to) {
  if (to - base_ <= static_cast<int64_t>(sums_.size())) return;
  Settle(from);
  if (to - base_ > static_cast<int64_t>(sums_.size()))
    sums_.resize(std::max(static_cast<size_t>(to - base_), 2 * sums_.size()), 0.0f);
}

void GrainAccumulator::Add(int64_t at, const int16_t* source, int64_t centre, int32_t left,
                           int32_t right) {
  Sum(at, source + (centre - left), left, right);
}

void GrainAccumulator::AddDelayed(int64_t at, const int16_t* source, int64_t sourceLength, int64_t centre,
                                  int32_t left, int32_t right, double delay) {
  if (delay == 0.0) {
    Add(at, source, centre, left, right);
    return;
  }
  // Grain sample i stands at source position centre - left + i - delay.
  const int64_t whole = static_cast<int64_t>(std::floor(-delay));
  const double u = -delay - static_cast<double>(whole);  // 0 <= u < 1
  const double weights[4] = {0.5 * (-u * u * u + 2 * u * u - u), 0.5 * (3 * u * u * u - 5 * u * u + 2),
                             0.5 * (-3 * u * u * u + 4 * u * u + u), 0.5 * (u * u * u - u * u)};
  const size_t size = static_cast<size_t>(left) + static_cast<size_t>(right);
  delayed_.resize(size);
  const int64_t first = centre - left + whole;
  auto interpolate = [&](size_t i, auto read) {
    double value = 0;
    for (int q = 0; q < 4; ++q) value += weights[q] * read(first + static_cast<int64_t>(i) + q - 1);
    delayed_[i] = static_cast<float>(value);
  };
  auto held = [&](int64_t index) { return source[std::clamp<int64_t>(index, 0, sourceLength - 1)]; };
  auto inside = [&](int64_t index) { return source[index]; };
  // Only the first and last samples can reach past the source's ends.
  const size_t safeFrom = static_cast<size_t>(std::clamp<int64_t>(1 - first, 0, static_cast<int64_t>(size)));
  const size_t safeTo = static_cast<size_t>(
      std::clamp<int64_t>(sourceLength - 2 - first, static_cast<int64_t>(safeFrom), static_cast<int64_t>(size)));
  for (size_t i = 0; i < safeFrom; ++i) interpolate(i, held);
  for (size_t i = safeFrom; i < safeTo; ++i) interpolate(i, inside);
  for (size_t i = safeTo; i < size; ++i) interpolate(i, held);
  Sum(at, delayed_.data(), left, right);
}

// grain[0 .. left + right) lands at output[at - left ..).
template <typename Sample>
void GrainAccumulator::Sum(int64_t at, const Sample* grain, int32_t left, int32_t right) {
  const int64_t from = std::max<int64_t>({at - left, base_, 0});
  const int64_t to = std::min<int64_t>(at + right, length_);
  if (from >= to) return;
  Cover(from, to);
  if (left > 0 && from < at) {
    const float* rise = Rise(left);
    const int64_t j0 = from - (at - left), count = std::min(at, to) - from;
    const Sample* samples = grain + j0;
    float* sums = sums_.data() + (from - base_);
    for (int64_t i = 0; i < count; ++i) sums[i] += rise[j0 + i] * samples[i];
  }
  if (right > 0 && to > at) {
    const float* rise = Rise(right);
    const int64_t k0 = std::max(from, at), j0 = k0 - at, count = to - k0;
    const Sample* samples = grain + left + j0;
    float* sums = sums_.data() + (k0 - base_);
    for (int64_t i = 0; i < count; ++i) sums[i] += (1.0f - rise[j0 + i]) * samples[i];
  }
}

void GrainAccumulator::Finish() { Settle(length_); }

}  // namespace talvox
