// The cascade keeps its delays in locals during a call and runs its sections
// skewed by one sample each; it must give the bits of the plain per-sample
// recurrence on the shared state, across calls and for every order.
#include <random>
#include <vector>

#include "dsp/filters.h"
#include "dsp/sample_cast.h"
#include "test_support.h"

namespace talvox::test {
namespace {

struct PlainCascade {
  double w0[10] = {}, w1[10] = {}, w2[10] = {};
  void Run(std::vector<int16_t>& x, int order, double gain, const double* a, const double* b) {
    const int h = order / 2;
    for (auto& sample : x) {
      w0[0] = sample * gain;
      for (int j = 0; j < h; ++j) {
        w0[j + 1] = w0[j] + 2 * w1[j] + w2[j] - a[j] * w1[j + 1] - b[j] * w2[j + 1];
      }
      sample = WrapToSample(w0[h]);
      for (int j = 0; j <= h; ++j) {
        w2[j] = w1[j];
        w1[j] = w0[j];
      }
    }
  }
};

TEST(FilterCascadeLocals, SameBitsAsThePlainRecurrenceAcrossCalls) {
  std::mt19937 random(5);
  std::uniform_int_distribution<int> sample(-32768, 32767);
  ResetFilterState();
  PlainCascade plain;
  for (int call = 0; call < 60; ++call) {
    const int order = call % 20;
    double a[10] = {}, b[10] = {};
    const double gain = ButterworthLowPass(16000, order, 300.0 + 50 * call, a, b);
    std::vector<int16_t> x(static_cast<size_t>(1 + call * 37));
    for (auto& v : x) v = static_cast<int16_t>(sample(random));
    std::vector<int16_t> y = x;
    RunFilter(x.data(), static_cast<int32_t>(x.size()), order, gain, a, b);
    plain.Run(y, order, gain, a, b);
    ASSERT_EQ(x, y) << "call " << call << " order " << order;
  }
}

// Calls shorter than the cascade is deep (the skewed stages never reach a
// steady step) and just longer, one after another on the same state.
TEST(FilterCascadeLocals, ShortCallsOnDeepCascadesKeepTheBits) {
  std::mt19937 random(9);
  std::uniform_int_distribution<int> sample(-32768, 32767);
  for (int order : {2, 6, 12, 18, 19}) {
    SCOPED_TRACE(order);
    ResetFilterState();
    PlainCascade plain;
    double a[10] = {}, b[10] = {};
    const double gain = ChebyshevLowPass(16000, order, 0.5, 2000.0, a, b);
    for (int count : {1, 2, 3, 4, 5, 8, 9, 10, 11, 1000, 1, 7}) {
      std::vector<int16_t> x(static_cast<size_t>(count));
      for (auto& v : x) v = static_cast<int16_t>(sample(random));
      std::vector<int16_t> y = x;
      RunFilter(x.data(), count, order, gain, a, b);
      plain.Run(y, order, gain, a, b);
      ASSERT_EQ(x, y) << "count " << count;
    }
  }
}

}  // namespace
}  // namespace talvox::test
