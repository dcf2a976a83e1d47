#include "synthesis/long_half_window.h"

#include <cmath>

namespace talvox {

namespace {
// The half windows' value of pi, short of full precision as in HanningRise.
constexpr double kHalfWindowPi = 3.14159;
constexpr int32_t kBlock = 128;

// The rotation differs from the direct weight by the rounding of a few
// double operations and of the library cosine (each within an ulp, about
// 1e-15 in all); 1e-13 bounds it with room to spare. Times the largest
// sample that is under 4e-9, so a product farther than kNearInteger from
// every integer truncates to the same sample as the direct one; the rare
// product closer to an integer is weighed directly.
constexpr double kNearInteger = 1e-8;

double DirectRise(int32_t i, int32_t n) { return 0.5 - 0.5 * std::cos(kHalfWindowPi * i / n); }

double DirectFall(int32_t i, int32_t n) {
  const double fraction = static_cast<double>(i) / n;
  return 0.5 - 0.5 * std::cos((1 - fraction) * kHalfWindowPi);
}

// trunc(weight * sample) when that is sure to equal trunc(exact * sample).
inline bool Settled(double weight, int16_t sample, int16_t& weighed) {
  const double product = weight * sample;
  const auto whole = static_cast<int32_t>(product);
  const double fraction = std::fabs(product - whole);
  weighed = static_cast<int16_t>(whole);
  return fraction > kNearInteger && fraction < 1 - kNearInteger;
}
}  // namespace

void LongHalfWindow::Prepare(int32_t n) {
  if (n == length_) return;
  length_ = n;
  const int32_t blocks = n / kBlock + 1;
  coarseCos_.resize(static_cast<size_t>(blocks));
  coarseSin_.resize(static_cast<size_t>(blocks));
  for (int32_t h = 0; h < blocks; ++h) {
    const double angle = kHalfWindowPi * (static_cast<double>(h) * kBlock) / n;
    coarseCos_[h] = std::cos(angle);
    coarseSin_[h] = std::sin(angle);
  }
  fineCos_.resize(kBlock);
  fineSin_.resize(kBlock);
  for (int32_t l = 0; l < kBlock; ++l) {
    const double angle = kHalfWindowPi * l / n;
    fineCos_[l] = std::cos(angle);
    fineSin_[l] = std::sin(angle);
  }
}

// cos(pi * m / n) by the angle sum, for 0 <= m <= n.
double LongHalfWindow::Cosine(int32_t m) const {
  const int32_t h = m / kBlock;
  const int32_t l = m % kBlock;
  return coarseCos_[h] * fineCos_[l] - coarseSin_[h] * fineSin_[l];
}

void LongHalfWindow::WeighRise(int16_t* samples, int32_t n) {
  Prepare(n);
  for (int32_t i = 0; i < n; ++i) {
    if (samples[i] == 0) continue;  // any weight keeps it 0
    int16_t weighed;
    if (!Settled(0.5 - 0.5 * Cosine(i), samples[i], weighed)) {
      weighed = static_cast<int16_t>(DirectRise(i, n) * samples[i]);
    }
    samples[i] = weighed;
  }
}

void LongHalfWindow::WeighFall(int16_t* samples, int32_t n) {
  Prepare(n);
  for (int32_t i = 0; i < n; ++i) {
    if (samples[i] == 0) continue;
    int16_t weighed;
    // (1 - i/n) pi is pi (n - i) / n.
    if (!Settled(0.5 - 0.5 * Cosine(n - i), samples[i], weighed)) {
      weighed = static_cast<int16_t>(DirectFall(i, n) * samples[i]);
    }
    samples[i] = weighed;
  }
}

}  // namespace talvox
