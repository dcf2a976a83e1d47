#include "exported_f0.h"

#include "f0_track.h"

namespace tvx {

std::vector<F0Point> ExportedF0Track(const F0Track& track, int rate) {
  std::vector<F0Point> points;
  for (size_t i = 0; i < track.f0.size(); i++)
    if (track.f0[i] > 0) points.push_back({double(i) * track.hop / rate, double(track.f0[i])});
  return points;
}

}  // namespace tvx
