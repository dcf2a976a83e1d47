// _CalculatePeak with the project's own pap.exe on a signal of known period.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "test_support.h"

namespace talvox::test {
namespace {

TEST(CalculatePeakWithPap, OneMarkPerPeriodOnTheStrongestHalfWave) {
  const char* built = std::getenv("TALVOX_BINARY_DIR");
  std::string bin = std::string(built != nullptr ? built : TALVOX_BINARY_DIR) + "/bin";
  if (!FileExists(bin + "/pap.exe")) GTEST_SKIP() << "pap.exe not built";
  std::string path = bin + ":" + std::getenv("PATH");
  ::setenv("PATH", path.c_str(), 1);
  TempDir work;
  ASSERT_EQ(::chdir(work.path().c_str()), 0);

  const int period = 80;
  std::vector<int16_t> x = VoicedSignal(3200, 16000, 3200, period, 8000);
  std::vector<int32_t> peaks(1000);
  int32_t count = _CalculatePeak(x.data(), static_cast<int32_t>(x.size()), 16000, peaks.data());
  EXPECT_NEAR(count, 16000 / period, 4);
  ASSERT_GT(count, 2);
  // Every mark inside the voiced part sits on the same point of its cycle.
  int phase = (peaks[1] - 3200) % period;
  for (int32_t i = 1; i + 1 < count; ++i) {
    EXPECT_EQ(peaks[static_cast<std::size_t>(i)] - peaks[static_cast<std::size_t>(i) - 1], period);
    EXPECT_EQ((peaks[static_cast<std::size_t>(i)] - 3200) % period, phase);
  }
  EXPECT_FALSE(FileExists(work.File("temp.wav")) || FileExists(work.File("pitch.psc")) ||
               FileExists(work.File("temp.pointprocess")));
}

}  // namespace
}  // namespace talvox::test
