#include <algorithm>
#include <vector>

#include "dsp/prediction.h"

namespace talvox {

namespace {
// Reflection coefficient of one stage from the current errors; 0 when both
// error energies are 0 (nothing left to predict).
float Reflection(const std::vector<float>& f, const std::vector<float>& b) {
  float num = 0.0f, forwardEnergy = 0.0f, backwardEnergy = 0.0f;
  for (size_t i = 1; i < f.size(); ++i) num += f[i] * b[i - 1];
  for (size_t i = 0; i < f.size(); ++i) forwardEnergy += f[i] * f[i];
  for (size_t i = 1; i < f.size(); ++i) backwardEnergy += b[i - 1] * b[i - 1];
  const float energy = forwardEnergy + backwardEnergy;
  if (energy == 0.0f) return 0.0f;
  return 2.0f * num / energy;
}

// Levinson step: a[m] = k; a[h] and a[m - h] updated in pairs.
void UpdatePredictor(float* a, int32_t m, float k) {
  a[m] = k;
  for (int32_t h = 1; h <= m - h; ++h) {
    const float t = a[h];
    a[h] = a[h] - k * a[m - h];
    if (h < m - h) a[m - h] = a[m - h] - k * t;
  }
}

void UpdateErrors(std::vector<float>& f, std::vector<float>& b, float k) {
  // Walk down so b[i - 1] and f[i] are still the old values when read.
  for (size_t i = f.size() - 1; i >= 1; --i) {
    const float oldF = f[i];
    f[i] = oldF - k * b[i - 1];
    b[i] = b[i - 1] - k * oldF;
  }
  b[0] = -k * f[0];
}
}  // namespace

void LpcLattice(float* coefficients, const int16_t* frame, int32_t length, int32_t order) {
  const int32_t p = std::clamp(order, 1, kMaxPredictionOrder);
  std::vector<float> f(frame, frame + length);
  std::vector<float> b = f;
  float a[kMaxPredictionOrder + 1] = {};
  for (int32_t m = 1; m <= p; ++m) {
    const float k = Reflection(f, b);
    UpdatePredictor(a, m, k);
    UpdateErrors(f, b, k);
  }
  std::copy(a + 1, a + p + 1, coefficients + 1);
}

}  // namespace talvox
