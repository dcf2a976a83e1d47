// The worked values that fix the primitives' arithmetic.
#include <vector>

#include "dsp/filters.h"
#include "test_support.h"

namespace talvox::test {
namespace {

TEST(WorkedValues, ButterworthOrder2At1kHz) {
  double a[10], b[10];
  double g = butt_low_pass(16000, 2, 1000.0, a, b);
  EXPECT_NEAR(a[0], -1.454244, 1e-6);
  EXPECT_NEAR(b[0], 0.574062, 1e-6);
  EXPECT_NEAR(g, 0.0299546, 1e-7);
  ResetFilterState();
  std::vector<int16_t> x = {10000, 0, 0, 0, 0};
  filter(x.data(), 5, 2, g, a, b);
  EXPECT_EQ(x, (std::vector<int16_t>{299, 1034, 1632, 1779, 1651}));
}

TEST(WorkedValues, ChebyshevOrder2At1kHz) {
  double a[10], b[10];
  double g = cheby_low_pass(16000, 2, 1.0, 1000.0, a, b);
  EXPECT_NEAR(a[0], -1.605921, 1e-6);
  EXPECT_NEAR(b[0], 0.703285, 1e-6);
  EXPECT_NEAR(g, 0.0216941, 1e-7);
}

TEST(WorkedValues, HanningWindows) {
  std::vector<int16_t> four(4, 1000), eight(8, 1000), negative(4, -1000);
  Hanning(four.data(), 4);
  Hanning(eight.data(), 8);
  Hanning(negative.data(), 4);
  EXPECT_EQ(four, (std::vector<int16_t>{0, 499, 999, 500}));
  EXPECT_EQ(eight, (std::vector<int16_t>{0, 146, 499, 853, 999, 853, 500, 146}));
  EXPECT_EQ(negative, (std::vector<int16_t>{0, -499, -999, -500}));
}

TEST(WorkedValues, FftOfAnImpulseIsFlat) {
  std::vector<float> re(8, 0.0f), im(8, 0.0f);
  re[0] = 1.0f;
  EXPECT_EQ(fft(re.data(), im.data(), 0, 8), 1);
  for (int k = 0; k < 8; ++k) {
    EXPECT_FLOAT_EQ(re[k], 1.0f);
    EXPECT_FLOAT_EQ(im[k], 0.0f);
  }
}

}  // namespace
}  // namespace talvox::test
