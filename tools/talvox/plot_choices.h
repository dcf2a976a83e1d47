// The drawing choices the picture shares with the editor's page: which
// boundaries a long view can show, the F0 axis over the speaker's range, the
// amplitude full scale, tick steps.
#pragma once

#include <cstdint>
#include <utility>
#include <string>
#include <vector>

namespace tvx {

// Indices of the positions (ascending x in pixels) kept when each drawn one
// must stand at least minGap pixels right of the previous drawn one.
std::vector<size_t> ThinnedPositions(const std::vector<double>& x, double minGap);

// Low and high ends of an F0 axis in Hz: the voiced values' 2nd to 98th
// percentiles widened by a fifth and rounded to 10 Hz; 50 to 400 Hz when
// fewer than two values are above 0.
std::pair<double, double> SpeakerRange(std::vector<double> f0);

// The smallest power of two at or above the largest magnitude (at least 1,
// at most 32768): the waveform's vertical full scale.
int32_t AmplitudeFullScale(int32_t largestMagnitude);

// 1, 2 or 5 times a power of ten, so that span holds about ticks steps.
double NiceStep(double span, double ticks);

// "12.5", "1:05", "1:02:03" for a tick at seconds with this step.
std::string TimeLabel(double seconds, double step);

}  // namespace tvx
