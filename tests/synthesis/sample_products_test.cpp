// The cycle matching's products in vector lanes against the plain sum, on
// every length and alignment, with the extreme samples whose products and
// sums overflow narrower integers.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "synthesis/sample_products.h"

namespace {

TEST(SampleProducts, LanesGiveThePlainSumForEveryLengthAndAlignment) {
  std::mt19937 random(11);
  std::uniform_int_distribution<int> sample(-32768, 32767);
  std::vector<int16_t> a(4200), b(4200);
  for (size_t i = 0; i < a.size(); ++i) {
    a[i] = static_cast<int16_t>(sample(random));
    b[i] = static_cast<int16_t>(sample(random));
  }
  for (int32_t offset = 0; offset < 9; ++offset) {
    for (int32_t n = 0; n < 70; ++n) {
      ASSERT_EQ(talvox::SampleProductSum(&a[offset], &b[2 * offset], n),
                talvox::sample_products::Scalar(&a[offset], &b[2 * offset], n))
          << offset << " " << n;
    }
  }
  ASSERT_EQ(talvox::SampleProductSum(a.data(), b.data(), 4100),
            talvox::sample_products::Scalar(a.data(), b.data(), 4100));
}

TEST(SampleProducts, FullScaleSumsNeedSixtyFourBits) {
  const std::vector<int16_t> low(4000, -32768), high(4000, 32767);
  EXPECT_EQ(talvox::SampleProductSum(low.data(), low.data(), 4000), int64_t{4000} << 30);
  EXPECT_EQ(talvox::SampleProductSum(low.data(), high.data(), 3999),
            int64_t{-3999} * 32768 * 32767);
}

}  // namespace
