#include "exported_f0.h"

#include "analysis.h"
#include "talvox.h"

namespace tvx {

std::vector<F0Point> ExportedF0Track(int rate) {
  std::vector<int32_t> peaks = CurrentPeaks();
  std::vector<double> voiced = IntervalF0(peaks, rate);
  int32_t* periods = nullptr;
  int32_t periodCount = GetFullModifiedPitch(&periods);
  std::vector<F0Point> track;
  for (size_t k = 0; k < voiced.size(); k++) {
    if (voiced[k] <= 0) continue;
    int32_t period = periods && int32_t(k) < periodCount ? periods[k] : 0;
    double hertz = period > 0 ? double(rate) / period : voiced[k];
    track.push_back({double(peaks[k]) / rate, hertz});
  }
  return track;
}

}  // namespace tvx
